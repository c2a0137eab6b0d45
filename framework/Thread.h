#pragma once
// Worker threads: TThread runs its Execute on an OS thread of its own.
//
// Starting. The OS thread is created by the constructor but does not enter Execute before
// the thread is started, because only the most derived class knows when the object is
// complete (a derived class's members must be initialised before Execute reads them):
//   - MakeThread<T>(args...) constructs T and then starts it, unless it was created
//     suspended. This is the usual way.
//   - A thread constructed otherwise starts with AfterConstruction() (unless created
//     suspended), or with Start() or Resume() (always); a class with no further
//     descendants may call AfterConstruction() at the end of its own constructor.
//
// Ending. The destructor drops this thread's queued Synchronize calls, terminates the
// thread, ends its suspension and joins it; a thread that never started does not run
// Execute at all. By the time ~TThread runs, the members of derived classes are gone: a
// derived class whose Execute uses its own members calls Shutdown() first in its own
// destructor, or its owner ends the thread (Terminate, WaitFor) before destroying it.
// The owner frees the thread; a thread never frees itself.

#include "framework/MainThreadQueue.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <utility>

namespace qor {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
public:
    explicit TThread(bool CreateSuspended);
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    virtual ~TThread();

    // Starts the thread unless it was created suspended.
    void AfterConstruction();
    // Lets a thread that has not run yet enter Execute; no effect on a started thread.
    void Start();

    // Called by the thread itself (from Execute): blocks without using the CPU until
    // Resume() or Terminate(). A Resume() that arrives while the thread is not suspended is
    // kept, and the thread's next Suspend() returns at once: a wake-up racing with the
    // thread's decision to suspend is never lost. So a thread that suspends itself re-checks
    // its reason in a loop, as with any condition wait. Raises EThread on another thread.
    void Suspend();
    // Ends the thread's suspension, or starts a thread that has not run yet.
    void Resume();
    // True while the thread has not started or is suspended.
    bool Suspended() const;

    // Asks Execute to end (it polls Terminated()); also ends a suspension.
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }

    // Waits until Execute has returned and returns ReturnValue. On the main thread it runs
    // queued Synchronize calls meanwhile, so that a worker waiting in Synchronize can end.
    // Raises EThread when the thread waits for itself. Does not return for a thread that is
    // never started.
    int WaitFor();
    bool Finished() const { return FFinished.load(); }
    int ReturnValue() const { return FReturnValue.load(); }
    // The exception that escaped Execute, if any.
    std::exception_ptr FatalException() const;

    // Priority of the OS thread, applied as the nice value of the thread relative to that
    // of the thread that created it, as far as the process may: a refused change (raising
    // priority needs privileges) is not an error. Priority() answers the value requested.
    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority Value);

    std::thread::id ThreadID() const { return FThread.get_id(); }

    // Called on the worker: runs Method on the main thread and waits until it has run; an
    // exception thrown by Method is rethrown here. Called on the main thread: runs Method
    // at once. When the thread is being destroyed, Method is dropped (not run) and this
    // returns at once; the thread then finds Terminated() set. When Method itself destroys
    // the thread, the worker is released before Method returns: Method then must not use
    // the worker's locals, so it captures what it needs by value.
    void Synchronize(std::function<void()> Method);

    // Ends the thread as the destructor does: drops its queued Synchronize calls,
    // terminates it, ends its suspension and joins it. Execute does not run when the thread
    // had not started. Must not be called by the thread itself.
    void Shutdown();

protected:
    virtual void Execute() = 0;
    void SetReturnValue(int Value) { FReturnValue = Value; }

private:
    void ThreadProc();
    void ApplyPriority(); // FMutex held

    bool FCreateSuspended;
    mutable std::mutex FMutex;
    std::condition_variable FStateChanged;
    bool FStarted = false;
    bool FClosing = false; // being shut down: a thread not yet started will not run
    bool FSuspended = false;
    bool FResumePending = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FReturnValue{0};
    std::exception_ptr FFatalException;
    TThreadPriority FPriority = tpNormal;
    int FBaseNice = 0;   // nice value of the creating thread, which the thread inherits
    pid_t FKernelId = 0; // the kernel's id of the OS thread, known once it runs
    TSyncChannel FSyncChannel;
    std::thread FThread; // last: started when every other member is ready
};

// Constructs a thread of class T and starts it unless it was created suspended.
template <class T, class... Args> std::unique_ptr<T> MakeThread(Args&&... args) {
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    thread->AfterConstruction();
    return thread;
}

} // namespace qor
