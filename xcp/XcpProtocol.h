#pragma once
// The master's side of the XCP protocol layer: command codes, the request packets it sends
// and the parsing of the slave's answers. Pure functions over bytes, no I/O.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qor::xcp {

using Packet = std::vector<std::uint8_t>;

namespace cmd {
constexpr std::uint8_t Connect = 0xFF;
constexpr std::uint8_t Disconnect = 0xFE;
constexpr std::uint8_t GetStatus = 0xFD;
constexpr std::uint8_t Synch = 0xFC;
constexpr std::uint8_t GetCommModeInfo = 0xFB;
constexpr std::uint8_t SetMta = 0xF6;
constexpr std::uint8_t Upload = 0xF5;
constexpr std::uint8_t ShortUpload = 0xF4;
constexpr std::uint8_t Download = 0xF0;
constexpr std::uint8_t DownloadNext = 0xEF;
} // namespace cmd

// First byte of a packet from the slave.
constexpr std::uint8_t pidPositive = 0xFF;
constexpr std::uint8_t pidError = 0xFE;
constexpr std::uint8_t pidEvent = 0xFD;
constexpr std::uint8_t pidService = 0xFC;

// Error codes of error packets that the master treats specially.
namespace err {
constexpr std::uint8_t CmdSynch = 0x00;
constexpr std::uint8_t CmdBusy = 0x10;
constexpr std::uint8_t CmdUnknown = 0x20;
constexpr std::uint8_t CmdSyntax = 0x21;
constexpr std::uint8_t OutOfRange = 0x22;
constexpr std::uint8_t AccessDenied = 0x24;
constexpr std::uint8_t Sequence = 0x29;
constexpr std::uint8_t Generic = 0x31;
} // namespace err

// The smallest packet sizes a slave may declare.
constexpr int MinCto = 8;
constexpr int MinDto = 8;

enum class ByteOrder { Intel, Motorola };

// What the CONNECT answer says about the slave.
struct SlaveInfo {
    std::uint8_t Resources = 0;
    ByteOrder Order = ByteOrder::Intel;
    int AddressGranularity = 1; // bytes per address
    bool SlaveBlockMode = false;
    bool OptionalInfo = false; // GET_COMM_MODE_INFO has more to say
    int MaxCto = MinCto;
    int MaxDto = MinDto;
    std::uint8_t ProtocolVersion = 0;
    std::uint8_t TransportVersion = 0;
};

// What GET_COMM_MODE_INFO says; only the master block mode matters to us.
struct CommModeInfo {
    bool MasterBlockMode = false;
    int MaxBlockSize = 0;    // packets in one DOWNLOAD block
    int MinSeparationUs = 0; // pause between the packets of a block
};

struct SessionStatus {
    std::uint8_t Status = 0;
    std::uint8_t Protection = 0;
    std::uint16_t ConfigurationId = 0;
};

// Multi-byte parameters in the slave's byte order.
void PutWord(Packet& P, std::uint16_t Value, ByteOrder Order);
void PutDword(Packet& P, std::uint32_t Value, ByteOrder Order);
std::uint16_t GetWord(const std::uint8_t* P, ByteOrder Order);

Packet ConnectRequest(std::uint8_t Mode = 0);
Packet DisconnectRequest();
Packet GetStatusRequest();
Packet SynchRequest();
Packet GetCommModeInfoRequest();
Packet SetMtaRequest(std::uint32_t Address, std::uint8_t Extension, ByteOrder Order);
Packet UploadRequest(std::uint8_t Count);
Packet ShortUploadRequest(std::uint8_t Count, std::uint32_t Address, std::uint8_t Extension,
                          ByteOrder Order);
// DOWNLOAD carries Total, the bytes of the whole block, and the first Data bytes of it.
Packet DownloadRequest(std::uint8_t Total, std::span<const std::uint8_t> Data);
Packet DownloadNextRequest(std::uint8_t Remaining, std::span<const std::uint8_t> Data);

// An answer sorted: positive (with its parameters after the PID), an error packet (with its
// code), or something that is no answer (an event, a service request, an empty packet).
struct Answer {
    enum Kind { Positive, Error, NotAnAnswer } What = NotAnAnswer;
    std::uint8_t ErrorCode = 0;
    std::span<const std::uint8_t> Params;
};
Answer ClassifyAnswer(std::span<const std::uint8_t> P);

// Parsers of positive answers; nullopt when the answer is too short or its values are
// impossible (a MAX_CTO below 8, a granularity that is reserved).
std::optional<SlaveInfo> ParseConnectAnswer(std::span<const std::uint8_t> P);
std::optional<SessionStatus> ParseStatusAnswer(std::span<const std::uint8_t> P, ByteOrder Order);
std::optional<CommModeInfo> ParseCommModeInfoAnswer(std::span<const std::uint8_t> P);
// The Count data bytes of an UPLOAD or SHORT_UPLOAD answer.
std::optional<std::span<const std::uint8_t>> ParseUploadAnswer(std::span<const std::uint8_t> P,
                                                               int Count);

} // namespace qor::xcp
