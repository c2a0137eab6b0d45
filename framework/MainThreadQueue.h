#pragma once
// The main thread and the queue of calls that other threads hand to it (Synchronize).
//
// One queue serves the process. The main thread is the thread that first touched the
// queue, unless a thread claimed that role with SetMainThread(). Worker threads post a call
// and wait until the main thread has run it; the main thread runs queued calls whenever it
// calls CheckSynchronize (the application loop does so; console programs and tests call it
// themselves). A GUI event loop that sleeps between events installs a wake-up hook so that
// a posted call gets it to call CheckSynchronize soon.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qor {

// Raised for misuse of threads and of the main-thread queue, such as running queued calls
// on a thread other than the main thread.
class EThread : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The calls of one sender. Closing it drops the sender's queued calls, releases the threads
// waiting for them and refuses further calls, so that a sender being destroyed neither gets
// its calls run later nor leaves a worker waiting for a main thread that waits for it.
class TSyncChannel {
public:
    TSyncChannel() = default;
    TSyncChannel(const TSyncChannel&) = delete;
    TSyncChannel& operator=(const TSyncChannel&) = delete;

private:
    friend class TMainThreadQueue;
    bool FClosed = false; // guarded by the queue's mutex
};

class TMainThreadQueue {
public:
    // The process's queue. The first thread to ask becomes the main thread.
    static TMainThreadQueue& Instance();

    void SetMainThread();
    bool IsMainThread() const;

    // Runs Call on the main thread and waits until it has run; an exception thrown by Call
    // is rethrown here. Called on the main thread it runs Call at once. Returns false, with
    // Call not run, when Channel is or gets closed before Call ran.
    bool Send(TSyncChannel& Channel, std::function<void()> Call);

    // Main thread only: runs every queued call, including calls queued meanwhile. With a
    // positive timeout it first waits up to that many milliseconds for a call to arrive.
    // Returns true when it ran at least one call.
    bool CheckSynchronize(int TimeoutMs = 0);

    // Main thread only: runs queued calls as they arrive until Done() is true. Whoever makes
    // Done() true calls Wake() afterwards.
    void RunUntil(const std::function<bool()>& Done);
    void Wake();

    // Drops the channel's queued calls, releases their senders (also of a call that is
    // running now) and refuses the channel's later calls.
    void Close(TSyncChannel& Channel);

    // Hook called on the sending thread after each call was queued. Returns the previous.
    std::function<void()> SetWakeup(std::function<void()> Wakeup);

private:
    struct TRequest {
        TSyncChannel* Channel = nullptr;
        std::function<void()> Call;
        std::exception_ptr Error;
        bool Ran = false;
        bool Settled = false; // ran or dropped: the sender stops waiting
    };
    using TRequestPtr = std::shared_ptr<TRequest>;

    TMainThreadQueue();
    void RequireMainThread(const char* Operation) const;
    // Runs the first queued call with the lock released meanwhile.
    void RunFront(std::unique_lock<std::mutex>& Lock);

    std::atomic<std::thread::id> FMainThread;
    mutable std::mutex FMutex;
    std::condition_variable FArrived; // a call was queued, or Wake()
    std::condition_variable FSettled; // some request was settled
    std::deque<TRequestPtr> FQueue;
    std::vector<TRequestPtr> FRunning; // nested when a call runs CheckSynchronize itself
    std::function<void()> FWakeup;
};

// The calling thread becomes the main thread.
void SetMainThread();
bool IsMainThread();
// Runs the queued calls on the main thread; see TMainThreadQueue::CheckSynchronize.
bool CheckSynchronize(int TimeoutMs = 0);
// Installs the hook that wakes the main thread's event loop when a call is queued; it is
// called on the worker thread. Returns the previous hook.
std::function<void()> SetSynchronizeWakeup(std::function<void()> Wakeup);

} // namespace qor
