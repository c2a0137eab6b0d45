#pragma once
// The Ethernet frame around an XCP packet: a 16-bit length and a 16-bit counter, both
// least significant byte first whatever the slave's byte order, then the packet. One UDP
// datagram may hold several frames; a TCP stream is a run of them.

#include "xcp/XcpProtocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qor::xcp {

constexpr std::size_t FrameHeaderSize = 4;
// Longest packet a frame may carry; anything longer is taken for garbage.
constexpr std::size_t MaxFramePacket = 0xFFFF;

struct Frame {
    std::uint16_t Counter = 0;
    Packet Data;
};

std::vector<std::uint8_t> EncodeFrame(std::uint16_t Counter, std::span<const std::uint8_t> Data);

// Collects bytes and hands out whole frames. A header with length 0 or above the limit
// makes the reader broken: the rest of its input cannot be trusted (a UDP receiver drops
// the datagram, a TCP receiver closes the stream).
class FrameReader {
public:
    explicit FrameReader(std::size_t MaxPacket = MaxFramePacket) : FMaxPacket(MaxPacket) {}

    void Append(std::span<const std::uint8_t> Bytes);
    // The next whole frame, or nullopt when more bytes are needed or the reader is broken.
    std::optional<Frame> Next();
    bool Broken() const { return FBroken; }
    // Bytes of an incomplete frame waiting for the rest.
    std::size_t Pending() const { return FBuffer.size() - FStart; }
    void Clear();

private:
    std::size_t FMaxPacket;
    std::vector<std::uint8_t> FBuffer;
    std::size_t FStart = 0;
    bool FBroken = false;
};

} // namespace qor::xcp
