#include "ecusim/XcpSlave.h"

#include <algorithm>

namespace qor::ecusim {
namespace {

constexpr std::uint8_t Positive = 0xFF;

namespace code {
enum : std::uint8_t {
    Connect = 0xFF,
    Disconnect = 0xFE,
    GetStatus = 0xFD,
    Synch = 0xFC,
    GetCommModeInfo = 0xFB,
    SetMta = 0xF6,
    Upload = 0xF5,
    ShortUpload = 0xF4,
    Download = 0xF0,
    DownloadNext = 0xEF,
};
} // namespace code

enum Error : std::uint8_t {
    CmdSynch = 0x00,
    CmdUnknown = 0x20,
    CmdSyntax = 0x21,
    OutOfRange = 0x22,
    AccessDenied = 0x24,
    Sequence = 0x29,
};

} // namespace

XcpPacket XcpError(std::uint8_t Code) {
    return {0xFE, Code};
}

void XcpSlave::Reset() {
    FConnected = false;
    FMta = 0;
    FMtaExtension = 0;
    FBlockRemaining = 0;
    FBlock.clear();
}

std::uint32_t XcpSlave::Dword(const std::uint8_t* P) const {
    if (FConfig.Motorola)
        return std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 | std::uint32_t(P[2]) << 8 |
               P[3];
    return std::uint32_t(P[3]) << 24 | std::uint32_t(P[2]) << 16 | std::uint32_t(P[1]) << 8 | P[0];
}

void XcpSlave::PutWord(XcpPacket& P, std::uint16_t Value) const {
    const auto hi = static_cast<std::uint8_t>(Value >> 8), lo = static_cast<std::uint8_t>(Value);
    // One byte at a time: GCC 12 reports inserts of short lists falsely at -O3.
    P.push_back(FConfig.Motorola ? hi : lo);
    P.push_back(FConfig.Motorola ? lo : hi);
}

std::optional<XcpPacket> XcpSlave::Handle(std::span<const std::uint8_t> Command) {
    if (Command.empty())
        return std::nullopt;
    if (!FConnected && Command[0] != code::Connect)
        return std::nullopt;
    // Anything but the next packet of a block ends the block.
    if (FBlockRemaining > 0 && Command[0] != code::DownloadNext) {
        FBlockRemaining = 0;
        FBlock.clear();
    }
    return Dispatch(Command);
}

XcpPacket XcpSlave::Connect() {
    FConnected = true;
    FBlockRemaining = 0;
    FBlock.clear();
    // Resources: calibration and paging. Mode: byte order in bit 0, byte granularity,
    // bit 7 when GET_COMM_MODE_INFO has something to say.
    std::uint8_t mode = FConfig.Motorola ? 0x01 : 0x00;
    if (FConfig.MasterBlockMode)
        mode |= 0x80;
    XcpPacket p{Positive, 0x01, mode, static_cast<std::uint8_t>(FConfig.MaxCto)};
    PutWord(p, static_cast<std::uint16_t>(FConfig.MaxDto));
    p.push_back(0x01); // protocol layer version
    p.push_back(0x01); // transport layer version
    return p;
}

XcpPacket XcpSlave::Upload(std::uint32_t Address, std::uint8_t Extension, int Count) {
    if (Count < 1 || Count > FConfig.MaxCto - 1)
        return XcpError(OutOfRange);
    XcpPacket p(static_cast<std::size_t>(Count) + 1);
    p[0] = Positive;
    if (!FMemory.Read(Extension, Address, p.data() + 1, static_cast<std::size_t>(Count)))
        return XcpError(AccessDenied);
    FMta = Address + static_cast<std::uint32_t>(Count);
    FMtaExtension = Extension;
    return p;
}

std::optional<XcpPacket> XcpSlave::Download(std::span<const std::uint8_t> C, bool Next) {
    if (C.size() < 2)
        return XcpError(CmdSyntax);
    const int n = C[1];
    const int perPacket = FConfig.MaxCto - 2;
    std::span<const std::uint8_t> data = C.subspan(2);
    if (Next) {
        if (FBlockRemaining == 0 || n != FBlockRemaining) {
            FBlockRemaining = 0;
            FBlock.clear();
            return XcpError(Sequence);
        }
    } else {
        if (n < 1 || (n > perPacket && !FConfig.MasterBlockMode) ||
            n > perPacket * FConfig.MaxBlockSize)
            return XcpError(OutOfRange);
        FBlock.clear();
        FBlockRemaining = n;
    }
    const std::size_t take = static_cast<std::size_t>(std::min(FBlockRemaining, perPacket));
    if (data.size() < take) {
        FBlockRemaining = 0;
        FBlock.clear();
        return XcpError(CmdSyntax);
    }
    FBlock.insert(FBlock.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(take));
    FBlockRemaining -= static_cast<int>(take);
    if (FBlockRemaining > 0)
        return std::nullopt; // the block goes on
    const bool written = FMemory.Write(FMtaExtension, FMta, FBlock.data(), FBlock.size());
    const std::size_t size = FBlock.size();
    FBlock.clear();
    if (!written)
        return XcpError(AccessDenied);
    FMta += static_cast<std::uint32_t>(size);
    return XcpPacket{Positive};
}

std::optional<XcpPacket> XcpSlave::Dispatch(std::span<const std::uint8_t> C) {
    switch (C[0]) {
    case code::Connect:
        if (C.size() < 2)
            return XcpError(CmdSyntax);
        return Connect();
    case code::Disconnect:
        Reset();
        return XcpPacket{Positive};
    case code::GetStatus: {
        XcpPacket p{Positive, 0x00, 0x00, 0x00};
        PutWord(p, 0);
        return p;
    }
    case code::Synch:
        return XcpError(CmdSynch);
    case code::GetCommModeInfo:
        return XcpPacket{Positive,
                         0x00,
                         static_cast<std::uint8_t>(FConfig.MasterBlockMode ? 0x01 : 0x00),
                         0x00,
                         static_cast<std::uint8_t>(FConfig.MaxBlockSize),
                         static_cast<std::uint8_t>(FConfig.MinSeparation),
                         0x00,
                         0x10};
    case code::SetMta:
        if (C.size() < 8)
            return XcpError(CmdSyntax);
        FMtaExtension = C[3];
        FMta = Dword(&C[4]);
        return XcpPacket{Positive};
    case code::Upload:
        if (C.size() < 2)
            return XcpError(CmdSyntax);
        return Upload(FMta, FMtaExtension, C[1]);
    case code::ShortUpload:
        if (C.size() < 8)
            return XcpError(CmdSyntax);
        return Upload(Dword(&C[4]), C[3], C[1]);
    case code::Download:
        return Download(C, false);
    case code::DownloadNext:
        return Download(C, true);
    default:
        return XcpError(CmdUnknown);
    }
}

} // namespace qor::ecusim
