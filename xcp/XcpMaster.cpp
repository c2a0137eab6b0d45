#include "xcp/XcpMaster.h"

#include <algorithm>
#include <thread>

namespace qor::xcp {

Master::Master(MasterSettings Settings, std::unique_ptr<Transport> Link)
    : FSettings(std::move(Settings)),
      FLink(Link ? std::move(Link) : MakeTransport(FSettings.Kind)) {
    FSettings.Retries = std::max(0, FSettings.Retries);
}

Clock::time_point Master::AttemptDeadline(Clock::time_point Deadline) const {
    const auto slice = FSettings.Timeout / (FSettings.Retries + 1);
    return std::min(Deadline, Clock::now() + std::max(slice, std::chrono::milliseconds(1)));
}

Result Master::Lost(Outcome What) {
    FConnected = false;
    FMtaKnown = false;
    if (What == Outcome::LinkDown)
        FLink->Close();
    return {What};
}

bool Master::SendPacket(const Packet& Request) {
    return FLink->Send(EncodeFrame(FSendCounter++, Request));
}

Result Master::Exchange(const Packet& Request, Packet& AnswerOut, Clock::time_point Deadline) {
    if (!SendPacket(Request))
        return {Outcome::LinkDown};
    const Clock::time_point until = AttemptDeadline(Deadline);
    for (;;) {
        Frame f;
        switch (FLink->Receive(f, until)) {
        case ReceiveResult::Timeout:
            FNeedSynch = true;
            return {Outcome::Timeout};
        case ReceiveResult::Closed:
            return {Outcome::LinkDown};
        case ReceiveResult::Got:
            break;
        }
        if (FSlaveCounterKnown && f.Counter != static_cast<std::uint16_t>(FSlaveCounter + 1))
            ++FCounterGaps;
        FSlaveCounterKnown = true;
        FSlaveCounter = f.Counter;
        const Answer a = ClassifyAnswer(f.Data);
        if (a.What == Answer::NotAnAnswer)
            continue; // events and service requests are not what the command waits for
        AnswerOut = std::move(f.Data);
        if (a.What == Answer::Error)
            return {Outcome::SlaveError, a.ErrorCode};
        return {Outcome::Ok};
    }
}

Result Master::Synch(Clock::time_point Deadline) {
    if (!SendPacket(SynchRequest()))
        return {Outcome::LinkDown};
    const Clock::time_point until = AttemptDeadline(Deadline);
    for (;;) {
        Frame f;
        switch (FLink->Receive(f, until)) {
        case ReceiveResult::Timeout:
            return {Outcome::Timeout};
        case ReceiveResult::Closed:
            return {Outcome::LinkDown};
        case ReceiveResult::Got:
            break;
        }
        FSlaveCounterKnown = true;
        FSlaveCounter = f.Counter;
        const Answer a = ClassifyAnswer(f.Data);
        // Everything before the answer to SYNCH is a late answer to an abandoned command.
        if (a.What == Answer::Error && a.ErrorCode == err::CmdSynch) {
            FNeedSynch = false;
            return {Outcome::Ok};
        }
    }
}

template <class Step> Result Master::WithRetries(Step&& Run, Clock::time_point Deadline) {
    if (!FConnected)
        return {Outcome::LinkDown};
    for (int attempt = 0; attempt <= FSettings.Retries; ++attempt) {
        if (Clock::now() >= Deadline)
            break;
        if (FNeedSynch) {
            Result s = Synch(Deadline);
            if (s.What == Outcome::LinkDown)
                return Lost(Outcome::LinkDown);
            if (!s)
                continue;
            FMtaKnown = false;
        }
        Result r = Run();
        if (r.What == Outcome::Timeout) {
            FMtaKnown = false;
            continue;
        }
        if (r.What == Outcome::LinkDown)
            return Lost(Outcome::LinkDown);
        if (r.What == Outcome::SlaveError && r.ErrorCode == err::CmdBusy) {
            // The slave asks for patience: wait a little and repeat, within the budget.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            --attempt;
            FMtaKnown = false;
            continue;
        }
        if (!r)
            FMtaKnown = false;
        return r;
    }
    return Lost(Outcome::Timeout);
}

Result Master::Expect(const Packet& Request, Clock::time_point Deadline) {
    Packet answer;
    return Exchange(Request, answer, Deadline);
}

Result Master::Connect(Clock::time_point Deadline) {
    FConnected = false;
    FMtaKnown = false;
    FNeedSynch = false;
    FSlaveCounterKnown = false;
    std::string error;
    if (!FLink->IsOpen() && !FLink->Open(FSettings.Host, FSettings.Port, Deadline, error))
        return {Outcome::LinkDown};
    FLink->Drain();
    Result r{Outcome::Timeout};
    Packet answer;
    bool repeated = false;
    for (int attempt = 0; attempt <= FSettings.Retries && Clock::now() < Deadline; ++attempt) {
        repeated = attempt > 0;
        r = Exchange(ConnectRequest(), answer, Deadline);
        if (r.What != Outcome::Timeout)
            break;
    }
    if (r.What == Outcome::LinkDown)
        return Lost(Outcome::LinkDown);
    if (!r)
        return r;
    std::optional<SlaveInfo> info = ParseConnectAnswer(answer);
    if (!info)
        return {Outcome::BadAnswer};
    if (info->AddressGranularity != 1)
        return {Outcome::Unsupported};
    FSlave = *info;
    FCommMode = {};
    // A repeated CONNECT may still be answered late: the first command synchronises.
    FNeedSynch = repeated;
    FConnected = true;
    if (FSlave.OptionalInfo) {
        Packet modeAnswer;
        Result m = WithRetries(
            [&] { return Exchange(GetCommModeInfoRequest(), modeAnswer, Deadline); }, Deadline);
        if (m) {
            if (auto mode = ParseCommModeInfoAnswer(modeAnswer))
                FCommMode = *mode;
        } else if (m.What != Outcome::SlaveError) {
            return m; // an unknown command just means no block mode; silence is a lost link
        }
    }
    return {Outcome::Ok};
}

Result Master::Disconnect(Clock::time_point Deadline) {
    Result r{Outcome::Ok};
    if (FConnected)
        r = WithRetries([&] { return Expect(DisconnectRequest(), Deadline); }, Deadline);
    FConnected = false;
    FLink->Close();
    return r;
}

Result Master::GetStatus(SessionStatus& Status, Clock::time_point Deadline) {
    Packet answer;
    Result r =
        WithRetries([&] { return Exchange(GetStatusRequest(), answer, Deadline); }, Deadline);
    if (!r)
        return r;
    std::optional<SessionStatus> s = ParseStatusAnswer(answer, FSlave.Order);
    if (!s)
        return {Outcome::BadAnswer};
    Status = *s;
    return r;
}

Result Master::SetMta(std::uint32_t Address, std::uint8_t Extension, Clock::time_point Deadline) {
    if (FMtaKnown && FMta == Address && FMtaExtension == Extension)
        return {Outcome::Ok};
    Result r = Expect(SetMtaRequest(Address, Extension, FSlave.Order), Deadline);
    FMtaKnown = r.What == Outcome::Ok;
    FMta = Address;
    FMtaExtension = Extension;
    return r;
}

Result Master::Upload(std::uint32_t Address, std::uint8_t Extension, std::span<std::uint8_t> Dest,
                      Clock::time_point Deadline) {
    if (Dest.empty())
        return {FConnected ? Outcome::Ok : Outcome::LinkDown};
    const std::size_t most = static_cast<std::size_t>(FSlave.MaxCto - 1);
    std::size_t done = 0;
    while (done < Dest.size()) {
        const std::size_t n = std::min(most, Dest.size() - done);
        const std::uint32_t at = Address + static_cast<std::uint32_t>(done);
        const bool shortForm = Dest.size() <= most;
        Packet answer;
        Result r = WithRetries(
            [&]() -> Result {
                if (shortForm)
                    return Exchange(ShortUploadRequest(static_cast<std::uint8_t>(n), at, Extension,
                                                       FSlave.Order),
                                    answer, Deadline);
                if (Result m = SetMta(at, Extension, Deadline); !m)
                    return m;
                return Exchange(UploadRequest(static_cast<std::uint8_t>(n)), answer, Deadline);
            },
            Deadline);
        if (!r)
            return r;
        std::optional<std::span<const std::uint8_t>> data =
            ParseUploadAnswer(answer, static_cast<int>(n));
        if (!data) {
            FMtaKnown = false;
            return {Outcome::BadAnswer};
        }
        std::copy(data->begin(), data->end(), Dest.begin() + static_cast<std::ptrdiff_t>(done));
        done += n;
        FMtaKnown = true;
        FMta = at + static_cast<std::uint32_t>(n);
        FMtaExtension = Extension;
    }
    return {Outcome::Ok};
}

Result Master::DownloadChunk(std::uint32_t Address, std::uint8_t Extension,
                             std::span<const std::uint8_t> Chunk, Clock::time_point Deadline) {
    if (Result m = SetMta(Address, Extension, Deadline); !m)
        return m;
    const std::size_t perPacket = static_cast<std::size_t>(FSlave.MaxCto - 2);
    const auto total = static_cast<std::uint8_t>(Chunk.size());
    std::size_t sent = std::min(perPacket, Chunk.size());
    Packet request = DownloadRequest(total, Chunk.first(sent));
    // A block: DOWNLOAD opens it, DOWNLOAD_NEXT packets carry the rest, and only the last
    // packet is answered.
    while (sent < Chunk.size()) {
        if (!SendPacket(request))
            return {Outcome::LinkDown};
        if (FCommMode.MinSeparationUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(FCommMode.MinSeparationUs));
        const std::size_t n = std::min(perPacket, Chunk.size() - sent);
        request = DownloadNextRequest(static_cast<std::uint8_t>(Chunk.size() - sent),
                                      Chunk.subspan(sent, n));
        sent += n;
    }
    Result r = Expect(request, Deadline);
    if (!r && Chunk.size() > perPacket)
        FNeedSynch = true; // a refused block may be answered more than once
    if (r) {
        FMta = Address + static_cast<std::uint32_t>(Chunk.size());
        FMtaKnown = true;
    }
    return r;
}

Result Master::Download(std::uint32_t Address, std::uint8_t Extension,
                        std::span<const std::uint8_t> Source, Clock::time_point Deadline) {
    const std::size_t perPacket = static_cast<std::size_t>(FSlave.MaxCto - 2);
    std::size_t chunk = perPacket;
    if (FCommMode.MasterBlockMode)
        chunk = std::min<std::size_t>(255,
                                      perPacket * static_cast<std::size_t>(FCommMode.MaxBlockSize));
    for (std::size_t done = 0; done < Source.size();) {
        const std::size_t n = std::min(chunk, Source.size() - done);
        const std::uint32_t at = Address + static_cast<std::uint32_t>(done);
        Result r = WithRetries(
            [&] { return DownloadChunk(at, Extension, Source.subspan(done, n), Deadline); },
            Deadline);
        if (!r)
            return r;
        done += n;
    }
    return {Outcome::Ok};
}

} // namespace qor::xcp
