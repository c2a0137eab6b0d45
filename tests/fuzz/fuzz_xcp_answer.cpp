// Fuzz target: bytes from the network as the master reads them. A UDP datagram or a TCP
// stream goes through the frame reader; every frame through each answer parser.

#include "xcp/XcpFrame.h"
#include "xcp/XcpProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace qor::xcp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FrameReader reader(255);
    // Fed in two pieces, as a stream may arrive.
    const std::size_t half = Size / 2;
    reader.Append({Data, half});
    for (int piece = 0; piece < 2; ++piece) {
        while (std::optional<Frame> f = reader.Next()) {
            std::span<const std::uint8_t> p = f->Data;
            if (p.size() + FrameHeaderSize > Size)
                std::abort();
            ClassifyAnswer(p);
            if (auto s = ParseConnectAnswer(p); s && (s->MaxCto < MinCto || s->MaxDto < MinDto))
                std::abort();
            ParseStatusAnswer(p, ByteOrder::Intel);
            ParseStatusAnswer(p, ByteOrder::Motorola);
            ParseCommModeInfoAnswer(p);
            const int count = p.empty() ? 0 : p[p.size() - 1];
            if (auto d = ParseUploadAnswer(p, count);
                d && d->size() != static_cast<std::size_t>(count))
                std::abort();
        }
        if (piece == 0)
            reader.Append({Data + half, Size - half});
    }
    return 0;
}
