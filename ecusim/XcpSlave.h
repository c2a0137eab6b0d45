#pragma once
// The simulator's XCP slave, protocol side: takes one command packet and gives the answer
// packet (or none), reading and writing the image memory through a small interface. No
// sockets here; XcpServer moves the frames.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qor::ecusim {

using XcpPacket = std::vector<std::uint8_t>;

// How the slave presents itself in its CONNECT and GET_COMM_MODE_INFO answers.
struct XcpSlaveConfig {
    bool Motorola = false;        // byte order of addresses, words and data
    int MaxCto = 255;             // 8 .. 255
    int MaxDto = 1500;            // 8 .. 65535
    bool MasterBlockMode = false; // DOWNLOAD blocks continued with DOWNLOAD_NEXT
    int MaxBlockSize = 8;         // packets in one block
    int MinSeparation = 0;        // in 100 microseconds
};

// The memory the slave serves; false when the range leaves it or its extension is unknown.
class XcpMemory {
public:
    virtual ~XcpMemory() = default;
    virtual bool Read(std::uint8_t Extension, std::uint32_t Address, std::uint8_t* Dest,
                      std::size_t Count) = 0;
    virtual bool Write(std::uint8_t Extension, std::uint32_t Address, const std::uint8_t* Source,
                       std::size_t Count) = 0;
};

class XcpSlave {
public:
    explicit XcpSlave(XcpMemory& Memory) : FMemory(Memory) {}

    void Configure(const XcpSlaveConfig& Config) { FConfig = Config; }
    const XcpSlaveConfig& Config() const { return FConfig; }
    bool Connected() const { return FConnected; }
    // Back to the disconnected state, as after a power cycle.
    void Reset();

    // The answer to one command; none for a command while disconnected (only CONNECT is
    // answered then) and for the packets of a block before its last one.
    std::optional<XcpPacket> Handle(std::span<const std::uint8_t> Command);

private:
    std::optional<XcpPacket> Dispatch(std::span<const std::uint8_t> C);
    XcpPacket Connect();
    XcpPacket Upload(std::uint32_t Address, std::uint8_t Extension, int Count);
    std::optional<XcpPacket> Download(std::span<const std::uint8_t> C, bool Next);
    std::uint32_t Dword(const std::uint8_t* P) const;
    void PutWord(XcpPacket& P, std::uint16_t Value) const;

    XcpMemory& FMemory;
    XcpSlaveConfig FConfig;
    bool FConnected = false;
    std::uint32_t FMta = 0;
    std::uint8_t FMtaExtension = 0;
    // A DOWNLOAD block in progress: the bytes still expected and those collected so far.
    int FBlockRemaining = 0;
    std::vector<std::uint8_t> FBlock;
};

XcpPacket XcpError(std::uint8_t Code);

} // namespace qor::ecusim
