#include "xcp/XcpFrame.h"

#include <algorithm>

namespace qor::xcp {

std::vector<std::uint8_t> EncodeFrame(std::uint16_t Counter, std::span<const std::uint8_t> Data) {
    const auto length = static_cast<std::uint16_t>(Data.size());
    std::vector<std::uint8_t> out(FrameHeaderSize + Data.size());
    out[0] = static_cast<std::uint8_t>(length);
    out[1] = static_cast<std::uint8_t>(length >> 8);
    out[2] = static_cast<std::uint8_t>(Counter);
    out[3] = static_cast<std::uint8_t>(Counter >> 8);
    std::copy(Data.begin(), Data.end(), out.begin() + FrameHeaderSize);
    return out;
}

void FrameReader::Append(std::span<const std::uint8_t> Bytes) {
    if (FBroken)
        return;
    if (FStart > 0 && FStart == FBuffer.size()) {
        FBuffer.clear();
        FStart = 0;
    }
    FBuffer.insert(FBuffer.end(), Bytes.begin(), Bytes.end());
}

std::optional<Frame> FrameReader::Next() {
    if (FBroken || Pending() < FrameHeaderSize)
        return std::nullopt;
    const std::uint8_t* h = FBuffer.data() + FStart;
    const std::size_t length = static_cast<std::size_t>(h[0] | h[1] << 8);
    if (length == 0 || length > FMaxPacket) {
        FBroken = true;
        return std::nullopt;
    }
    if (Pending() < FrameHeaderSize + length)
        return std::nullopt;
    Frame f;
    f.Counter = static_cast<std::uint16_t>(h[2] | h[3] << 8);
    f.Data.assign(h + FrameHeaderSize, h + FrameHeaderSize + length);
    FStart += FrameHeaderSize + length;
    return f;
}

void FrameReader::Clear() {
    FBuffer.clear();
    FStart = 0;
    FBroken = false;
}

} // namespace qor::xcp
