#pragma once
// The worker thread of a data refresher and the registry of what it polls.
//
// The worker only paces: while Running is clear it suspends itself; otherwise it sleeps
// SleepTime milliseconds and hands RefreshPass to the main thread with Synchronize. The
// registry, the connection and every target are touched on the main thread only (by the
// registration calls and by RefreshPass), so the registry needs no lock. The worker reads
// Running and SleepTime, which are atomic.

#include "framework/Component.h"
#include "framework/Thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qor {

class TQorConnection;

// One interested object of an element.
struct REFRESH_CLIENT {
    bool Enabled = true;          // served only while set (unless RefreshAll)
    std::uint32_t LastTick = 0;   // millisecond count at the last delivery; 0 when (re)registered
    std::int32_t Interval = 0;    // milliseconds between deliveries
    TComponent* Target = nullptr; // a control or a refresh target; not owned. Null while it
                                  // waits to be dropped after the pass that unregistered it
};

// One thing read from the library, identified by (Descriptor, Index).
struct REFRESH_ELEMENT {
    std::uint32_t Descriptor = 0;
    std::int32_t Index = -1; // for ReadIndexed; negative for none (packets register -1)
    // Room for 255 values, the most one read of a vector, map row or one-column map moves,
    // whatever the descriptor; a packet uses its first 256 bytes (int32 length, 252 data
    // bytes).
    std::unique_ptr<std::int32_t[]> Buffer;
    // The room a packet read offers (64), or the number of int32 values in Buffer.
    std::int32_t Capacity = 0;
    std::vector<REFRESH_CLIENT> Clients; // in registration order

    std::uint8_t* Bytes() const { return reinterpret_cast<std::uint8_t*>(Buffer.get()); }
};

class TRefreshThread final : public TThread {
public:
    // Milliseconds of the platform's tick count; tests inject their own.
    using TTickSource = std::function<std::uint32_t()>;

    // Running is the opposite of CreateStopped; SleepTime is Pause but at least 20. The
    // thread enters Execute once started (MakeThread starts it).
    TRefreshThread(bool CreateStopped, TThreadPriority Priority, int Pause);
    // Ends the pause and the suspension, waits for the worker, then frees the registry.
    // Called from a delivery of its own pass, it releases the worker that waits for that
    // pass, and the pass stops once the delivery returns.
    ~TRefreshThread() override;
    // True while a pass of this thread is on the stack.
    bool InPass() const { return FPassDepth > 0; }

    // Milliseconds between passes; takes effect at the next pause. 0 or less is ignored.
    int SleepTime() const { return FSleepTime.load(std::memory_order_relaxed); }
    void SetSleepTime(int Value);

    TQorConnection* Connection() const { return FConnection; }
    void SetConnection(TQorConnection* Value) { FConnection = Value; }

    // Passes deliver only while Running. Setting it does not wake a suspended thread:
    // the refresher's Start resumes it.
    bool Running() const { return FRunning.load(); }
    void SetRunning(bool Value) { FRunning.store(Value); }

    // While set, every client is served on every pass, enabled and due or not.
    bool RefreshAll() const { return FRefreshAll; }
    void SetRefreshAll(bool Value) { FRefreshAll = Value; }

    const std::vector<std::unique_ptr<REFRESH_ELEMENT>>& Elements() const { return FElements; }

    // Main thread. Registers Target for (Descriptor, Index) every Interval milliseconds,
    // enabled. A target registered there already keeps its place and its enabled state and
    // gets the new interval and LastTick 0. False (nothing changes) for Interval <= 0.
    bool RegisterClient(TComponent* Target, int Interval, std::uint32_t Descriptor, int Index);
    // Removes Target's registration for (Descriptor, Index); an element left without
    // clients goes with its buffer. Nothing happens when there is no such registration.
    void UnregisterClient(TComponent* Target, std::uint32_t Descriptor, int Index);
    void EnableClient(TComponent* Target, std::uint32_t Descriptor, int Index);
    void DisableClient(TComponent* Target, std::uint32_t Descriptor, int Index);
    // Removes every registration of Target (it is being destroyed).
    void UnregisterTarget(TComponent* Target);
    // Destroys every element.
    void ClearElements();

    // Main thread: one pass. Nothing happens unless Running, with a connection whose
    // library is loaded (a pass never loads it) and whose link is up. Each element with a
    // due client is read once; a due client is one whose Interval has passed since its
    // LastTick (measured by unsigned difference, so the wrap of the count is harmless).
    // Controls get WM_DATA_REFRESHED (WParam: the buffer), refresh targets DecodePacket;
    // any other target nothing. Each served client's LastTick becomes the pass's count. A
    // failed read leaves the client as it was, and the next due client of the element
    // tries again. Deliveries may register and unregister clients.
    void RefreshPass();
    // Reads Element into its buffer through the connection; the library's result.
    bool FetchElement(REFRESH_ELEMENT& Element);

    void SetTickSource(TTickSource Source) { FTickSource = std::move(Source); }

    // Asks the worker to end and cuts its pause short.
    void RequestTermination();

protected:
    void Execute() override;

private:
    REFRESH_ELEMENT* FindElement(std::uint32_t Descriptor, int Index) const;
    REFRESH_CLIENT* FindClient(TComponent* Target, std::uint32_t Descriptor, int Index) const;
    // Drops the clients unregistered during a pass and the elements left without any.
    void Compact();
    // Sleeps SleepTime ms, or less when termination is requested.
    void Pause();

    std::atomic<int> FSleepTime{20};
    std::atomic<bool> FRunning{false};
    bool FRefreshAll = false;
    TQorConnection* FConnection = nullptr;
    std::vector<std::unique_ptr<REFRESH_ELEMENT>> FElements;
    TTickSource FTickSource;
    // One per pass on the stack, innermost first. A delivery may destroy this thread (its
    // refresher, or the form that owns it, is freed by a handler): the destructor marks
    // every running pass, which then returns without touching the thread again.
    struct TPassFrame {
        TPassFrame* Outer = nullptr;
        bool ThreadGone = false;
    };
    TPassFrame* FPasses = nullptr;
    int FPassDepth = 0;        // > 0 while a pass delivers
    bool FNeedCompact = false; // something was unregistered during a pass

    std::mutex FPauseMutex;
    std::condition_variable FPauseWake;
    bool FWake = false; // guarded by FPauseMutex
};

} // namespace qor
