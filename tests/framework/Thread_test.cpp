#include "framework/Thread.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>

namespace qor {
namespace {

using namespace std::chrono_literals;

// Aborts the test program when a test hangs, so that a deadlock fails fast with a message
// instead of running into the test driver's timeout.
class TWatchdog {
public:
    explicit TWatchdog(std::chrono::seconds Limit)
        : FThread([this, Limit] {
              std::unique_lock lock(FMutex);
              if (!FStopped.wait_for(lock, Limit, [&] { return FStop; })) {
                  std::fputs("test still running after the watchdog's limit: deadlock?\n", stderr);
                  std::abort();
              }
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
        }
        FStopped.notify_all();
        FThread.join();
    }

private:
    std::mutex FMutex;
    std::condition_variable FStopped;
    bool FStop = false;
    std::thread FThread;
};

class TThreadTest : public ::testing::Test {
private:
    TWatchdog FWatchdog{120s};
};

// Polls a condition that no notification reports (such as Suspended()) with a generous
// limit; false when the limit passed.
bool WaitUntil(const std::function<bool()>& Condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs queued calls on this (main) thread until the condition holds; false on time-out.
bool SynchronizeUntil(const std::function<bool()>& Condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        CheckSynchronize(10);
    }
    return true;
}

// A thread whose Execute runs a test's lambda; its result becomes ReturnValue.
class TLambdaThread : public TThread {
public:
    using TBody = std::function<int(TLambdaThread&)>;
    TLambdaThread(bool CreateSuspended, TBody Body)
        : TThread(CreateSuspended), FBody(std::move(Body)) {}
    ~TLambdaThread() override { Shutdown(); } // FBody must outlive the worker

protected:
    void Execute() override { SetReturnValue(FBody(*this)); }

private:
    TBody FBody;
};

// A thread that reads its own members, which must be initialised before it runs.
class TGreetingThread : public TThread {
public:
    TGreetingThread(bool CreateSuspended, std::string AGreeting)
        : TThread(CreateSuspended), Greeting(std::move(AGreeting)) {}
    ~TGreetingThread() override { Shutdown(); }

    std::string Greeting;
    std::string Seen;

protected:
    void Execute() override { Seen = Greeting; }
};

int ThreadNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : -100;
}

class ThreadStart : public TThreadTest {};

TEST_F(ThreadStart, ExecuteSeesTheCompleteDerivedObject) {
    auto thread = MakeThread<TGreetingThread>(false, "hello");
    thread->WaitFor();
    EXPECT_EQ(thread->Seen, "hello");
}

TEST_F(ThreadStart, CreatedSuspendedRunsOnlyWhenStartedOrResumed) {
    for (const bool byResume : {false, true}) {
        SCOPED_TRACE(byResume ? "Resume" : "Start");
        auto thread = MakeThread<TGreetingThread>(true, "before");
        EXPECT_TRUE(thread->Suspended());
        // Had Execute run already, it would have seen (and raced with) the old value.
        thread->Greeting = "after";
        if (byResume)
            thread->Resume();
        else
            thread->Start();
        thread->WaitFor();
        EXPECT_EQ(thread->Seen, "after");
        EXPECT_TRUE(thread->Finished());
        EXPECT_FALSE(thread->Suspended());
    }
}

TEST_F(ThreadStart, ThreadNeverStartedDoesNotRunExecute) {
    // Not created suspended but never given AfterConstruction either: still not started.
    for (const bool createSuspended : {true, false}) {
        std::atomic<bool> ran{false};
        {
            TLambdaThread thread(createSuspended, [&](TLambdaThread&) {
                ran = true;
                return 0;
            });
            EXPECT_TRUE(thread.Suspended());
        }
        EXPECT_FALSE(ran) << "createSuspended " << createSuspended;
    }
}

class ThreadMainThread : public TThreadTest {};

TEST_F(ThreadMainThread, SetMainThreadMovesTheRole) {
    SetMainThread();
    EXPECT_TRUE(IsMainThread());
    std::thread other([] {
        EXPECT_FALSE(IsMainThread());
        SetMainThread();
        EXPECT_TRUE(IsMainThread());
    });
    other.join();
    EXPECT_FALSE(IsMainThread());
    SetMainThread();
    EXPECT_TRUE(IsMainThread());
}

class ThreadSynchronize : public TThreadTest {};

TEST_F(ThreadSynchronize, RunsOnTheMainThreadWhileTheWorkerWaits) {
    const std::thread::id mainId = std::this_thread::get_id();
    std::thread::id callThread;
    bool workerIsMain = true;
    bool callIsMain = false;
    int value = 0; // plain: the worker reads it after Synchronize returned
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        workerIsMain = IsMainThread();
        self.Synchronize([&] {
            callThread = std::this_thread::get_id();
            callIsMain = IsMainThread();
            value = 42;
        });
        return value;
    });
    ASSERT_TRUE(SynchronizeUntil([&] { return thread->Finished(); }));
    EXPECT_EQ(thread->WaitFor(), 42); // the worker saw the call's effect: it had waited
    EXPECT_EQ(callThread, mainId);
    EXPECT_TRUE(callIsMain);
    EXPECT_FALSE(workerIsMain);
    EXPECT_FALSE(CheckSynchronize());
}

TEST_F(ThreadSynchronize, ExceptionOfTheCallReachesTheWorker) {
    std::string message;
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        try {
            self.Synchronize([] { throw std::out_of_range("cell 3 out of range"); });
        } catch (const std::out_of_range& e) {
            message = e.what();
            return 1;
        }
        return 0;
    });
    bool finished = false;
    EXPECT_NO_THROW(finished = SynchronizeUntil([&] { return thread->Finished(); }));
    ASSERT_TRUE(finished);
    EXPECT_EQ(thread->WaitFor(), 1);
    EXPECT_EQ(message, "cell 3 out of range");
}

TEST_F(ThreadSynchronize, OnTheMainThreadRunsAtOnce) {
    TLambdaThread thread(true, [](TLambdaThread&) { return 0; });
    std::thread::id callThread;
    thread.Synchronize([&] { callThread = std::this_thread::get_id(); });
    EXPECT_EQ(callThread, std::this_thread::get_id());
    EXPECT_THROW(thread.Synchronize([] { throw std::runtime_error("at once"); }),
                 std::runtime_error);
    EXPECT_FALSE(CheckSynchronize()); // nothing went through the queue
}

TEST_F(ThreadSynchronize, WaitForOnTheMainThreadRunsQueuedCalls) {
    int calls = 0;
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        for (int i = 0; i < 3; ++i)
            self.Synchronize([&] { ++calls; });
        return calls;
    });
    EXPECT_EQ(thread->WaitFor(), 3); // no CheckSynchronize: WaitFor runs them
    EXPECT_EQ(calls, 3);
}

TEST_F(ThreadSynchronize, WakeupHookRunsOnTheWorkerAfterTheCallIsQueued) {
    std::mutex mutex;
    std::condition_variable woken;
    bool wakeupCalled = false;
    std::thread::id wakeupThread;
    auto previous = SetSynchronizeWakeup([&] {
        std::lock_guard lock(mutex);
        wakeupCalled = true;
        wakeupThread = std::this_thread::get_id();
        woken.notify_all();
    });
    bool ran = false;
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        self.Synchronize([&] { ran = true; });
        return 0;
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(woken.wait_for(lock, 30s, [&] { return wakeupCalled; }));
    }
    EXPECT_TRUE(CheckSynchronize()); // no waiting: the call was queued before the hook
    EXPECT_TRUE(ran);
    thread->WaitFor();
    EXPECT_NE(wakeupThread, std::this_thread::get_id());
    SetSynchronizeWakeup(previous);
}

class ThreadMisuse : public TThreadTest {};

TEST_F(ThreadMisuse, RaisesEThread) {
    auto thread = MakeThread<TLambdaThread>(false, [](TLambdaThread& self) {
        int raised = 0;
        try {
            self.WaitFor(); // would wait for ever
        } catch (const EThread&) {
            ++raised;
        }
        try {
            CheckSynchronize(); // main-thread calls must not run on a worker
        } catch (const EThread&) {
            ++raised;
        }
        while (!self.Terminated())
            self.Suspend();
        return raised;
    });
    EXPECT_THROW(thread->Suspend(), EThread); // only the thread itself suspends
    thread->Terminate();
    EXPECT_EQ(thread->WaitFor(), 2);
}

class ThreadSuspend : public TThreadTest {};

TEST_F(ThreadSuspend, SelfSuspendedThreadWaitsForResume) {
    std::atomic<int> passes{0};
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        for (int i = 0; i < 3; ++i) {
            self.Suspend();
            ++passes;
        }
        return passes.load();
    });
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WaitUntil([&] { return thread->Suspended(); })) << "round " << i;
        EXPECT_EQ(passes, i); // blocked in Suspend, not past it
        thread->Resume();
    }
    EXPECT_EQ(thread->WaitFor(), 3);
    EXPECT_FALSE(thread->Suspended());
}

TEST_F(ThreadSuspend, ResumeBeforeSuspendIsNotLost) {
    std::promise<void> resumed;
    auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
        resumed.get_future().wait();
        self.Suspend(); // the earlier Resume lets it pass
        return 7;
    });
    thread->Resume();
    resumed.set_value();
    EXPECT_TRUE(WaitUntil([&] { return thread->Finished(); }));
    EXPECT_EQ(thread->ReturnValue(), 7);
}

TEST_F(ThreadSuspend, SuspendedThreadEndsWhenTerminatedOrDestroyed) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "terminated");
        std::atomic<bool> sawTerminated{false};
        auto thread = MakeThread<TLambdaThread>(false, [&](TLambdaThread& self) {
            while (!self.Terminated())
                self.Suspend();
            sawTerminated = true;
            return 5;
        });
        ASSERT_TRUE(WaitUntil([&] { return thread->Suspended(); }));
        if (destroy) {
            thread.reset(); // no Resume needed: the destructor ends the suspension
        } else {
            thread->Terminate();
            EXPECT_EQ(thread->WaitFor(), 5);
        }
        EXPECT_TRUE(sawTerminated);
    }
}

class ThreadTerminate : public TThreadTest {};

TEST_F(ThreadTerminate, WaitForReturnsTheReturnValueOnAnyThread) {
    for (const bool fromMain : {true, false}) {
        SCOPED_TRACE(fromMain ? "main thread" : "other thread");
        auto thread = MakeThread<TLambdaThread>(false, [](TLambdaThread& self) {
            while (!self.Terminated())
                std::this_thread::sleep_for(1ms);
            return 42;
        });
        EXPECT_FALSE(thread->Terminated());
        thread->Terminate();
        EXPECT_TRUE(thread->Terminated());
        int result = 0;
        if (fromMain) {
            result = thread->WaitFor();
        } else {
            std::thread waiter([&] { result = thread->WaitFor(); });
            waiter.join();
        }
        EXPECT_EQ(result, 42);
        EXPECT_TRUE(thread->Finished());
        EXPECT_FALSE(thread->FatalException());
    }
}

TEST_F(ThreadTerminate, ExceptionEscapingExecuteIsKept) {
    auto thread = MakeThread<TLambdaThread>(
        false, [](TLambdaThread&) -> int { throw std::runtime_error("worker failed"); });
    thread->WaitFor();
    ASSERT_TRUE(thread->FatalException());
    try {
        std::rethrow_exception(thread->FatalException());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "worker failed");
    }
}

// What a worker did around its Synchronize calls; lives outside the thread object, which
// is destroyed while the worker still runs.
struct TSyncRecord {
    std::atomic<int> CallsRun{0};
    std::atomic<bool> SawTerminated{false};
    std::atomic<bool> Returned{false};
};

// Calls Synchronize twice. It has no Shutdown of its own, so the base destructor ends it;
// Execute copies its members first, since they are gone once the destructor has begun.
class TSyncingThread : public TThread {
public:
    TSyncingThread(TSyncRecord& Record, std::function<void()> Call)
        : TThread(true), FRecord(Record), FCall(std::move(Call)) {}

protected:
    void Execute() override {
        TSyncRecord& record = FRecord;
        std::function<void()> call = FCall;
        // By value: a call that destroys this thread outlives the worker's locals.
        Synchronize([call, &record] {
            call();
            ++record.CallsRun;
        });
        record.SawTerminated = Terminated();
        Synchronize([&] { ++record.CallsRun; }); // refused at once once destroyed
        record.Returned = true;
    }

private:
    TSyncRecord& FRecord;
    std::function<void()> FCall;
};

class ThreadDestroy : public TThreadTest {};

TEST_F(ThreadDestroy, DestroyingWhileSynchronizeIsQueuedDropsTheCall) {
    std::mutex mutex;
    std::condition_variable woken;
    bool queued = false;
    auto previous = SetSynchronizeWakeup([&] {
        std::lock_guard lock(mutex);
        queued = true;
        woken.notify_all();
    });
    TSyncRecord record;
    bool callRan = false;
    auto thread = std::make_unique<TSyncingThread>(record, [&] { callRan = true; });
    thread->Start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(woken.wait_for(lock, 30s, [&] { return queued; }));
    }
    thread.reset(); // the worker waits for this thread: the destructor must release it
    SetSynchronizeWakeup(previous);
    EXPECT_FALSE(CheckSynchronize()); // nothing left in the queue
    EXPECT_FALSE(callRan);
    EXPECT_EQ(record.CallsRun, 0);
    EXPECT_TRUE(record.SawTerminated);
    EXPECT_TRUE(record.Returned);
}

TEST_F(ThreadDestroy, SynchronizedCallMayDestroyItsOwnThread) {
    TSyncRecord record;
    std::unique_ptr<TSyncingThread> thread;
    bool destroyed = false;
    thread = std::make_unique<TSyncingThread>(record, [&] {
        thread.reset(); // joins the worker, which waits for this very call
        destroyed = true;
    });
    thread->Start();
    ASSERT_TRUE(SynchronizeUntil([&] { return destroyed; }));
    EXPECT_TRUE(record.SawTerminated);
    EXPECT_TRUE(record.Returned);
    EXPECT_EQ(record.CallsRun, 1); // the first call completed; the second was refused
}

class ThreadPriority : public TThreadTest {};

TEST_F(ThreadPriority, RequestedValueIsKeptBeforeAndAfterStart) {
    const TThreadPriority all[] = {tpIdle,   tpLowest,  tpLower,       tpNormal,
                                   tpHigher, tpHighest, tpTimeCritical};
    auto waiting = [](TLambdaThread& self) {
        while (!self.Terminated())
            self.Suspend();
        return 0;
    };
    for (const bool started : {false, true}) {
        auto thread = MakeThread<TLambdaThread>(!started, waiting);
        EXPECT_EQ(thread->Priority(), tpNormal);
        for (TThreadPriority p : all) {
            EXPECT_NO_THROW(thread->SetPriority(p));
            EXPECT_EQ(thread->Priority(), p) << "started " << started << ", priority " << p;
        }
    }
}

TEST_F(ThreadPriority, LowerPriorityReachesTheOsThread) {
    const int base = ThreadNice();
    if (base >= 19)
        GTEST_SKIP() << "already at the lowest priority";
    for (const bool beforeStart : {true, false}) {
        SCOPED_TRACE(beforeStart ? "set before start" : "set while running");
        std::promise<void> prioritySet;
        auto thread = MakeThread<TLambdaThread>(beforeStart, [&](TLambdaThread&) {
            prioritySet.get_future().wait();
            return ThreadNice();
        });
        thread->SetPriority(tpLowest);
        prioritySet.set_value();
        thread->Start();
        EXPECT_GT(thread->WaitFor(), base);
        EXPECT_EQ(ThreadNice(), base); // the creating thread keeps its own
    }
}

} // namespace
} // namespace qor
