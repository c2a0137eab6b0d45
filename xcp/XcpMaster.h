#pragma once
// An XCP master session over one transport: CONNECT with the slave's parameters, memory
// transfers cut to the slave's packet sizes, and the command timeout with its retries.
//
// Every operation takes the deadline of the whole call; no operation waits past it. One
// command waits at most Timeout / (Retries + 1) for its answer. After a timeout the
// master sends SYNCH (and waits for its error answer, dropping late answers of the old
// command) before it repeats; transfers also set the memory pointer again, since the lost
// answer may belong to a command that did move it.

#include "xcp/XcpProtocol.h"
#include "xcp/XcpTransport.h"

#include <chrono>
#include <memory>
#include <string>

namespace qor::xcp {

struct MasterSettings {
    std::string Host = "127.0.0.1";
    int Port = 5555;
    TransportKind Kind = TransportKind::Udp;
    std::chrono::milliseconds Timeout{300}; // budget of one call of the contract
    int Retries = 2;                        // repetitions of a command that timed out
};

enum class Outcome {
    Ok,
    Timeout,    // no answer within the budget
    LinkDown,   // the socket is gone or the slave refuses it
    SlaveError, // an error packet; its code is in ErrorCode
    BadAnswer,  // an answer too short or with impossible values
    Unsupported // a slave whose address granularity is not one byte
};

struct Result {
    Outcome What = Outcome::Ok;
    std::uint8_t ErrorCode = 0;
    explicit operator bool() const { return What == Outcome::Ok; }
};

class Master {
public:
    explicit Master(MasterSettings Settings, std::unique_ptr<Transport> Link = nullptr);

    // Opens the transport when needed, sends CONNECT and, when the slave offers more,
    // GET_COMM_MODE_INFO.
    Result Connect(Clock::time_point Deadline);
    // DISCONNECT when connected; closes the transport either way.
    Result Disconnect(Clock::time_point Deadline);
    Result GetStatus(SessionStatus& Status, Clock::time_point Deadline);
    // Reads Dest.size() bytes from Address: SHORT_UPLOAD when they fit one answer, else
    // SET_MTA and UPLOADs of at most MAX_CTO - 1 bytes.
    Result Upload(std::uint32_t Address, std::uint8_t Extension, std::span<std::uint8_t> Dest,
                  Clock::time_point Deadline);
    // Writes Source at Address: SET_MTA, then DOWNLOAD packets of at most MAX_CTO - 2 bytes,
    // or blocks of DOWNLOAD and DOWNLOAD_NEXT when the slave offers master block mode.
    Result Download(std::uint32_t Address, std::uint8_t Extension,
                    std::span<const std::uint8_t> Source, Clock::time_point Deadline);

    bool Connected() const { return FConnected; }
    const SlaveInfo& Slave() const { return FSlave; }
    const CommModeInfo& CommMode() const { return FCommMode; }
    const MasterSettings& Settings() const { return FSettings; }
    // The deadline of a call that starts now.
    Clock::time_point CallDeadline() const { return Clock::now() + FSettings.Timeout; }
    // Answers whose counter did not follow the one before (lost or repeated frames).
    int CounterGaps() const { return FCounterGaps; }

private:
    Result Exchange(const Packet& Request, Packet& AnswerOut, Clock::time_point Deadline);
    bool SendPacket(const Packet& Request);
    Result Synch(Clock::time_point Deadline);
    // Runs one step with the retry rule: a timeout leads to SYNCH and a repetition.
    template <class Step> Result WithRetries(Step&& Run, Clock::time_point Deadline);
    Result SetMta(std::uint32_t Address, std::uint8_t Extension, Clock::time_point Deadline);
    Result Expect(const Packet& Request, Clock::time_point Deadline);
    Result DownloadChunk(std::uint32_t Address, std::uint8_t Extension,
                         std::span<const std::uint8_t> Chunk, Clock::time_point Deadline);
    Clock::time_point AttemptDeadline(Clock::time_point Deadline) const;
    Result Lost(Outcome What);

    MasterSettings FSettings;
    std::unique_ptr<Transport> FLink;
    SlaveInfo FSlave;
    CommModeInfo FCommMode;
    bool FConnected = false;
    bool FNeedSynch = false;
    bool FMtaKnown = false;
    std::uint32_t FMta = 0;
    std::uint8_t FMtaExtension = 0;
    std::uint16_t FSendCounter = 0;
    bool FSlaveCounterKnown = false;
    std::uint16_t FSlaveCounter = 0;
    int FCounterGaps = 0;
};

} // namespace qor::xcp
