#include "link/Refreshthread.h"

#include "framework/Control.h"
#include "framework/TickCount.h"
#include "link/LinkMessages.h"
#include "link/QorConnection.h"
#include "link/RefreshTarget.h"

#include <algorithm>
#include <chrono>

namespace qor {

namespace {

constexpr int MinimumInitialPause = 20;
constexpr std::int32_t PacketRoom = 64;   // room a packet read offers
constexpr std::int32_t ArrayValues = 255; // the most values one array read moves
// Room of every element's buffer: 255 values, more than a packet's 256 bytes.
constexpr std::size_t BufferInts = ArrayValues;

} // namespace

TRefreshThread::TRefreshThread(bool CreateStopped, TThreadPriority Priority, int Pause)
    : TThread(false), FTickSource(&GetTickCount) {
    SetPriority(Priority);
    FRunning = !CreateStopped;
    FSleepTime = std::max(Pause, MinimumInitialPause);
}

TRefreshThread::~TRefreshThread() {
    for (TPassFrame* pass = FPasses; pass; pass = pass->Outer)
        pass->ThreadGone = true;
    RequestTermination();
    Shutdown(); // the worker is gone before the members it reads
}

void TRefreshThread::SetSleepTime(int Value) {
    if (Value > 0)
        FSleepTime.store(Value, std::memory_order_relaxed);
}

void TRefreshThread::RequestTermination() {
    Terminate();
    {
        std::lock_guard lock(FPauseMutex);
        FWake = true;
    }
    FPauseWake.notify_all();
}

void TRefreshThread::Execute() {
    while (!Terminated()) {
        if (!FRunning.load()) {
            // A Start racing with this decision leaves a pending resume, so Suspend returns
            // at once and the loop finds Running set.
            Suspend();
            continue;
        }
        Pause();
        if (Terminated())
            break;
        Synchronize([this] { RefreshPass(); });
    }
}

void TRefreshThread::Pause() {
    std::unique_lock lock(FPauseMutex);
    FPauseWake.wait_for(lock, std::chrono::milliseconds(SleepTime()), [this] { return FWake; });
}

REFRESH_ELEMENT* TRefreshThread::FindElement(std::uint32_t Descriptor, int Index) const {
    for (const auto& e : FElements)
        if (e->Descriptor == Descriptor && e->Index == Index)
            return e.get();
    return nullptr;
}

REFRESH_CLIENT* TRefreshThread::FindClient(TComponent* Target, std::uint32_t Descriptor,
                                           int Index) const {
    REFRESH_ELEMENT* element = Target ? FindElement(Descriptor, Index) : nullptr;
    if (!element)
        return nullptr;
    for (REFRESH_CLIENT& c : element->Clients)
        if (c.Target == Target)
            return &c;
    return nullptr;
}

bool TRefreshThread::RegisterClient(TComponent* Target, int Interval, std::uint32_t Descriptor,
                                    int Index) {
    if (Interval <= 0 || !Target)
        return false;
    if (REFRESH_CLIENT* client = FindClient(Target, Descriptor, Index)) {
        client->LastTick = 0;
        client->Interval = Interval;
        return true;
    }
    const REFRESH_CLIENT fresh{true, 0, Interval, Target};
    if (REFRESH_ELEMENT* element = FindElement(Descriptor, Index)) {
        element->Clients.push_back(fresh);
        return true;
    }
    auto element = std::make_unique<REFRESH_ELEMENT>();
    element->Descriptor = Descriptor;
    element->Index = Index;
    if (Descriptor & ddPacket)
        element->Capacity = PacketRoom;
    else if (Descriptor & ddArray)
        element->Capacity = ArrayValues;
    else
        element->Capacity = 1;
    // Whatever the descriptor promises, a library may answer ReadData or ReadIndexed with a
    // whole row (a single value registered for a map item): every buffer has room for the
    // largest answer of any read.
    element->Buffer = std::make_unique<std::int32_t[]>(BufferInts);
    element->Clients.push_back(fresh);
    FElements.push_back(std::move(element));
    return true;
}

void TRefreshThread::UnregisterClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    REFRESH_CLIENT* client = FindClient(Target, Descriptor, Index);
    if (!client)
        return;
    client->Target = nullptr;
    if (FPassDepth > 0)
        FNeedCompact = true; // the pass is walking the lists: drop it once the pass is over
    else
        Compact();
}

void TRefreshThread::EnableClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    if (REFRESH_CLIENT* client = FindClient(Target, Descriptor, Index))
        client->Enabled = true;
}

void TRefreshThread::DisableClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    if (REFRESH_CLIENT* client = FindClient(Target, Descriptor, Index))
        client->Enabled = false;
}

void TRefreshThread::UnregisterTarget(TComponent* Target) {
    if (!Target)
        return;
    bool found = false;
    for (const auto& e : FElements)
        for (REFRESH_CLIENT& c : e->Clients)
            if (c.Target == Target) {
                c.Target = nullptr;
                found = true;
            }
    if (!found)
        return;
    if (FPassDepth > 0)
        FNeedCompact = true;
    else
        Compact();
}

void TRefreshThread::ClearElements() {
    if (FPassDepth > 0) {
        // Called from a delivery: keep the element being walked alive until the pass ends.
        for (const auto& e : FElements)
            for (REFRESH_CLIENT& c : e->Clients)
                c.Target = nullptr;
        FNeedCompact = true;
        return;
    }
    FElements.clear();
}

void TRefreshThread::Compact() {
    FNeedCompact = false;
    for (const auto& e : FElements)
        std::erase_if(e->Clients, [](const REFRESH_CLIENT& c) { return c.Target == nullptr; });
    std::erase_if(FElements, [](const auto& e) { return e->Clients.empty(); });
}

bool TRefreshThread::FetchElement(REFRESH_ELEMENT& Element) {
    TQorConnection* connection = FConnection;
    TSerInterface* link =
        connection && connection->DllLoaded() ? connection->SerInterface() : nullptr;
    if (!link)
        return false;
    if (Element.Descriptor & ddPacket) {
        std::int32_t* length = Element.Buffer.get();
        *length = Element.Capacity;
        return link->ReadPacket(Element.Descriptor, Element.Bytes() + sizeof(std::int32_t), length);
    }
    if (Element.Index < 0)
        return link->ReadData(Element.Descriptor, Element.Buffer.get());
    return link->ReadIndexed(Element.Descriptor, Element.Buffer.get(), Element.Index);
}

void TRefreshThread::RefreshPass() {
    if (!FRunning.load() || !FConnection || !FConnection->DllLoaded())
        return;
    TSerInterface* link = FConnection->SerInterface();
    if (!link || !link->IsConnected())
        return;
    const std::uint32_t now = FTickSource();
    struct TPassGuard {
        TRefreshThread& Thread;
        TPassFrame Frame;
        explicit TPassGuard(TRefreshThread& T) : Thread(T), Frame{T.FPasses} {
            Thread.FPasses = &Frame;
            ++Thread.FPassDepth;
        }
        ~TPassGuard() {
            if (Frame.ThreadGone)
                return;
            Thread.FPasses = Frame.Outer;
            if (--Thread.FPassDepth == 0 && Thread.FNeedCompact)
                Thread.Compact();
        }
    } guard(*this);
    // Indexes, not iterators: a delivery may register clients and so grow the lists.
    // Unregistered clients only lose their target until the pass is over.
    for (std::size_t e = 0; e < FElements.size(); ++e) {
        REFRESH_ELEMENT& element = *FElements[e];
        bool fetched = false;
        for (std::size_t c = 0; c < element.Clients.size(); ++c) {
            const REFRESH_CLIENT& client = element.Clients[c];
            if (!client.Target)
                continue;
            if (!FRefreshAll &&
                (!client.Enabled || now - client.LastTick <= std::uint32_t(client.Interval)))
                continue;
            if (!fetched) {
                fetched = FetchElement(element);
                if (!fetched)
                    continue;
            }
            TComponent* target = client.Target;
            if (auto* control = dynamic_cast<TControl*>(target))
                control->Perform(WM_DATA_REFRESHED, reinterpret_cast<WPARAM>(element.Bytes()), 0);
            else if (auto* data = dynamic_cast<TRefreshTarget*>(target))
                data->DecodePacket(element.Bytes());
            if (guard.Frame.ThreadGone)
                return;
            // The delivery may have grown the list (moving it) or unregistered the client.
            REFRESH_CLIENT& served = element.Clients[c];
            if (served.Target == target)
                served.LastTick = now;
        }
    }
}

} // namespace qor
