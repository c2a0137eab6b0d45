#include "xcp/XcpProtocol.h"

#include <algorithm>

namespace qor::xcp {

void PutWord(Packet& P, std::uint16_t Value, ByteOrder Order) {
    const auto lo = static_cast<std::uint8_t>(Value), hi = static_cast<std::uint8_t>(Value >> 8);
    P.push_back(Order == ByteOrder::Intel ? lo : hi);
    P.push_back(Order == ByteOrder::Intel ? hi : lo);
}

void PutDword(Packet& P, std::uint32_t Value, ByteOrder Order) {
    if (Order == ByteOrder::Intel) {
        PutWord(P, static_cast<std::uint16_t>(Value), Order);
        PutWord(P, static_cast<std::uint16_t>(Value >> 16), Order);
    } else {
        PutWord(P, static_cast<std::uint16_t>(Value >> 16), Order);
        PutWord(P, static_cast<std::uint16_t>(Value), Order);
    }
}

std::uint16_t GetWord(const std::uint8_t* P, ByteOrder Order) {
    return Order == ByteOrder::Intel ? static_cast<std::uint16_t>(P[0] | P[1] << 8)
                                     : static_cast<std::uint16_t>(P[0] << 8 | P[1]);
}

Packet ConnectRequest(std::uint8_t Mode) {
    return {cmd::Connect, Mode};
}
Packet DisconnectRequest() {
    return {cmd::Disconnect};
}
Packet GetStatusRequest() {
    return {cmd::GetStatus};
}
Packet SynchRequest() {
    return {cmd::Synch};
}
Packet GetCommModeInfoRequest() {
    return {cmd::GetCommModeInfo};
}

Packet SetMtaRequest(std::uint32_t Address, std::uint8_t Extension, ByteOrder Order) {
    Packet p{cmd::SetMta, 0, 0, Extension};
    PutDword(p, Address, Order);
    return p;
}

Packet UploadRequest(std::uint8_t Count) {
    return {cmd::Upload, Count};
}

Packet ShortUploadRequest(std::uint8_t Count, std::uint32_t Address, std::uint8_t Extension,
                          ByteOrder Order) {
    Packet p{cmd::ShortUpload, Count, 0, Extension};
    PutDword(p, Address, Order);
    return p;
}

namespace {
// A command code, one parameter byte and data bytes.
Packet WithData(std::uint8_t Code, std::uint8_t Param, std::span<const std::uint8_t> Data) {
    Packet p(2 + Data.size());
    p[0] = Code;
    p[1] = Param;
    std::copy(Data.begin(), Data.end(), p.begin() + 2);
    return p;
}
} // namespace

Packet DownloadRequest(std::uint8_t Total, std::span<const std::uint8_t> Data) {
    return WithData(cmd::Download, Total, Data);
}

Packet DownloadNextRequest(std::uint8_t Remaining, std::span<const std::uint8_t> Data) {
    return WithData(cmd::DownloadNext, Remaining, Data);
}

Answer ClassifyAnswer(std::span<const std::uint8_t> P) {
    Answer a;
    if (P.empty())
        return a;
    if (P[0] == pidPositive) {
        a.What = Answer::Positive;
        a.Params = P.subspan(1);
    } else if (P[0] == pidError && P.size() >= 2) {
        a.What = Answer::Error;
        a.ErrorCode = P[1];
        a.Params = P.subspan(2);
    }
    return a;
}

std::optional<SlaveInfo> ParseConnectAnswer(std::span<const std::uint8_t> P) {
    // FF RESOURCE COMM_MODE_BASIC MAX_CTO MAX_DTO(word) PROTOCOL_VERSION TRANSPORT_VERSION
    if (P.size() < 8 || P[0] != pidPositive)
        return std::nullopt;
    SlaveInfo s;
    s.Resources = P[1];
    const std::uint8_t mode = P[2];
    s.Order = (mode & 0x01) ? ByteOrder::Motorola : ByteOrder::Intel;
    const int granularity = (mode >> 1) & 0x03;
    if (granularity == 3)
        return std::nullopt;
    s.AddressGranularity = 1 << granularity;
    s.SlaveBlockMode = (mode & 0x40) != 0;
    s.OptionalInfo = (mode & 0x80) != 0;
    s.MaxCto = P[3];
    s.MaxDto = GetWord(&P[4], s.Order);
    s.ProtocolVersion = P[6];
    s.TransportVersion = P[7];
    if (s.MaxCto < MinCto || s.MaxDto < MinDto)
        return std::nullopt;
    return s;
}

std::optional<SessionStatus> ParseStatusAnswer(std::span<const std::uint8_t> P, ByteOrder Order) {
    // FF SESSION_STATUS PROTECTION_STATUS reserved SESSION_CONFIGURATION_ID(word)
    if (P.size() < 6 || P[0] != pidPositive)
        return std::nullopt;
    return SessionStatus{P[1], P[2], GetWord(&P[4], Order)};
}

std::optional<CommModeInfo> ParseCommModeInfoAnswer(std::span<const std::uint8_t> P) {
    // FF reserved COMM_MODE_OPTIONAL reserved MAX_BS MIN_ST QUEUE_SIZE DRIVER_VERSION
    if (P.size() < 6 || P[0] != pidPositive)
        return std::nullopt;
    CommModeInfo c;
    c.MasterBlockMode = (P[2] & 0x01) != 0;
    c.MaxBlockSize = P[4];
    c.MinSeparationUs = P[5] * 100;
    if (c.MasterBlockMode && c.MaxBlockSize < 1)
        c.MasterBlockMode = false;
    return c;
}

std::optional<std::span<const std::uint8_t>> ParseUploadAnswer(std::span<const std::uint8_t> P,
                                                               int Count) {
    if (Count < 0 || P.empty() || P[0] != pidPositive ||
        P.size() < static_cast<std::size_t>(Count) + 1)
        return std::nullopt;
    return P.subspan(1, static_cast<std::size_t>(Count));
}

} // namespace qor::xcp
