#include "framework/Thread.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace qor {

namespace {

// Nice value offsets per priority; the kernel clamps nice values to -20 ... 19.
int NiceOffset(TThreadPriority Priority) {
    switch (Priority) {
    case tpIdle:
        return 19;
    case tpLowest:
        return 10;
    case tpLower:
        return 5;
    case tpNormal:
        return 0;
    case tpHigher:
        return -5;
    case tpHighest:
        return -10;
    case tpTimeCritical:
        return -20;
    }
    return 0;
}

int CurrentNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0); // on Linux: the calling thread
    return errno == 0 ? nice : 0;
}

} // namespace

TThread::TThread(bool CreateSuspended)
    : FCreateSuspended(CreateSuspended), FBaseNice(CurrentNice()) {
    TMainThreadQueue::Instance(); // the first thread to create threads is the main thread
    FThread = std::thread([this] { ThreadProc(); });
}

TThread::~TThread() {
    Shutdown();
}

void TThread::AfterConstruction() {
    if (!FCreateSuspended)
        Start();
}

void TThread::Start() {
    {
        std::lock_guard lock(FMutex);
        if (FStarted || FClosing)
            return;
        FStarted = true;
    }
    FStateChanged.notify_all();
}

void TThread::ThreadProc() {
    bool started = false;
    {
        std::unique_lock lock(FMutex);
        FKernelId = gettid();
        ApplyPriority();
        FStateChanged.wait(lock, [&] { return FStarted || FClosing; });
        started = FStarted;
    }
    if (started) {
        try {
            Execute();
        } catch (...) {
            std::lock_guard lock(FMutex);
            FFatalException = std::current_exception();
        }
    }
    {
        std::lock_guard lock(FMutex);
        FFinished = true; // from here on the kernel id may go to another thread
    }
    FStateChanged.notify_all();
    TMainThreadQueue::Instance().Wake(); // a WaitFor on the main thread sleeps there
}

void TThread::Suspend() {
    if (std::this_thread::get_id() != FThread.get_id())
        throw EThread("Suspend: a thread can only suspend itself");
    std::unique_lock lock(FMutex);
    if (FResumePending || FTerminated) {
        FResumePending = false;
        return;
    }
    FSuspended = true;
    FStateChanged.wait(lock, [&] { return !FSuspended || FTerminated; });
    FSuspended = false;
}

void TThread::Resume() {
    {
        std::lock_guard lock(FMutex);
        if (!FStarted) {
            FStarted = !FClosing;
        } else if (FSuspended) {
            FSuspended = false;
        } else {
            FResumePending = true;
        }
    }
    FStateChanged.notify_all();
}

bool TThread::Suspended() const {
    std::lock_guard lock(FMutex);
    return !FStarted || FSuspended;
}

void TThread::Terminate() {
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
    }
    FStateChanged.notify_all();
}

int TThread::WaitFor() {
    if (std::this_thread::get_id() == FThread.get_id())
        throw EThread("WaitFor: a thread cannot wait for itself");
    TMainThreadQueue& queue = TMainThreadQueue::Instance();
    if (queue.IsMainThread()) {
        queue.RunUntil([this] { return FFinished.load(); });
    } else {
        std::unique_lock lock(FMutex);
        FStateChanged.wait(lock, [&] { return FFinished.load(); });
    }
    return FReturnValue;
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard lock(FMutex);
    return FFatalException;
}

TThreadPriority TThread::Priority() const {
    std::lock_guard lock(FMutex);
    return FPriority;
}

void TThread::SetPriority(TThreadPriority Value) {
    std::lock_guard lock(FMutex);
    FPriority = Value;
    ApplyPriority();
}

void TThread::ApplyPriority() {
    if (FKernelId == 0 || FFinished)
        return;
    const int nice = std::clamp(FBaseNice + NiceOffset(FPriority), -20, 19);
    // Refused when the process may not raise priority; the requested value stays readable.
    setpriority(PRIO_PROCESS, static_cast<id_t>(FKernelId), nice);
}

void TThread::Synchronize(std::function<void()> Method) {
    TMainThreadQueue::Instance().Send(FSyncChannel, std::move(Method));
}

void TThread::Shutdown() {
    if (!FThread.joinable())
        return;
    {
        std::lock_guard lock(FMutex);
        FClosing = true;
        FTerminated = true; // before the release below: a released worker sees it
        FSuspended = false;
    }
    FStateChanged.notify_all();
    // A worker waiting in Synchronize waits for this thread, which is about to wait for it.
    TMainThreadQueue::Instance().Close(FSyncChannel);
    FThread.join();
}

} // namespace qor
