// A refresher destroyed while it works: from inside one of its own deliveries (a handler
// frees it), with the pass made directly and with the real worker thread, and with a pass
// still queued for the main thread when it is destroyed.

#include "framework/MainThreadQueue.h"
#include "framework/Thread.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "tests/link/RefreshTargets.h"
#include "tests/support/SimLibrary.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace qor::test {
namespace {

constexpr std::uint32_t LivePacket = ddPacket | 0x20; // the simulator's 5-byte live packet
constexpr std::uint32_t IdleSpeed = ddTwoBytes | 0x05;

class ThreadRefresherGone : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Connection.SetDllName(QOR_ECUSIM_FILE);
        ASSERT_TRUE(Connection.LoadDll());
        Refresher->SetConnection(&Connection);
        First = new TRecordingTarget(&Targets);
        Second = new TRecordingTarget(&Targets);
        ASSERT_TRUE(Refresher->RegisterClient(First, 20, LivePacket, -1));
        ASSERT_TRUE(Refresher->RegisterClient(Second, 20, LivePacket, -1));
        ASSERT_TRUE(Refresher->RegisterClient(Second, 20, IdleSpeed, -1));
    }
    void TearDown() override { delete Refresher; }

    // The first delivery frees the refresher; nothing of it may be used afterwards.
    void FreeRefresherOnFirstDelivery() {
        First->OnDecode = [this] {
            delete Refresher;
            Refresher = nullptr;
        };
    }

    TSimLibrary Sim{QOR_ECUSIM_FILE};
    TQorConnection Connection{nullptr};
    TComponent Targets{nullptr};
    TDataRefresher* Refresher = new TDataRefresher(nullptr);
    TRecordingTarget* First = nullptr;
    TRecordingTarget* Second = nullptr;
};

TEST_F(ThreadRefresherGone, PassMadeDirectlyStopsOnceADeliveryFreedItsRefresher) {
    FreeRefresherOnFirstDelivery();
    TRefreshThread* thread = Refresher->Thread();
    thread->SetRunning(true); // the worker stays suspended: only this pass runs
    thread->SetTickSource([] { return 1000u; });
    thread->RefreshPass();
    EXPECT_EQ(Refresher, nullptr);
    EXPECT_EQ(First->Buffers.size(), 1u);
    EXPECT_TRUE(Second->Buffers.empty()) << "delivered by a refresher that was gone";
}

TEST_F(ThreadRefresherGone, WorkerWaitingForThePassIsReleased) {
    // The worker waits in Synchronize for the pass that frees the refresher; the
    // destructor must neither wait for it for ever nor leave it running.
    FreeRefresherOnFirstDelivery();
    Refresher->SetSleepTime(5);
    Refresher->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Refresher && std::chrono::steady_clock::now() < deadline)
        CheckSynchronize(10);
    ASSERT_EQ(Refresher, nullptr) << "no pass was delivered";
    EXPECT_TRUE(Second->Buffers.empty());
    // Nothing of the refresher is left to run: no call comes in any more.
    EXPECT_FALSE(CheckSynchronize(50));
}

TEST_F(ThreadRefresherGone, PassQueuedAtDestructionDeliversNothing) {
    // The worker has handed a pass to the main thread and waits for it when the refresher
    // is destroyed. The destructor serves that pass while it waits for the worker: with
    // the registry emptied first, the pass finds nothing to deliver.
    std::atomic<bool> queued{false};
    const auto previous = SetSynchronizeWakeup([&] { queued = true; });
    Refresher->SetSleepTime(5);
    Refresher->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!queued && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(queued) << "the worker queued no pass";
    delete Refresher;
    Refresher = nullptr;
    SetSynchronizeWakeup(previous);
    EXPECT_TRUE(First->Buffers.empty());
    EXPECT_TRUE(Second->Buffers.empty());
}

} // namespace
} // namespace qor::test
