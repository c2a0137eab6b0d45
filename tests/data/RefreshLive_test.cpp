// The refresher's real worker thread against the simulator library: live values reach a
// packet component and a control while it runs, nothing while it is stopped, and it ends
// cleanly when destroyed while running. Also run under ThreadSanitizer.

#include "data/PacketData.h"
#include "framework/MainThreadQueue.h"
#include "link/DataRefresher.h"
#include "link/LinkMessages.h"
#include "link/QorConnection.h"
#include "tests/data/TestData.h"
#include "tests/support/TestLink.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace qor::test {
namespace {

using namespace std::chrono_literals;

// Runs queued Synchronize calls on this (main) thread until Condition holds; false after
// a generous limit.
bool PumpUntil(const std::function<bool()>& Condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        CheckSynchronize(5);
    }
    return true;
}

class ThreadRefreshLive : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Connection->SetDllName(Sim.DllPath());
        ASSERT_TRUE(Connection->LoadDll()); // a pass never loads the library
        Refresher->SetConnection(Connection);
        Speed->SetSerialCode(0x20);
        Speed->SetDataLength(2);
        Speed->SetTimeInterval(20);
        Speed->SetActive(true);
        Speed->SetDataRefresher(Refresher);
        Speed->SetOnGetData([this](TObject*) { Speeds.insert(Speed->RawValue()); });
        Refresher->RegisterClient(Control, 20, ddPacket | 0x20, -1);
    }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Connection = new TQorConnection(&Form);
    TDataRefresher* Refresher = new TDataRefresher(&Form);
    TQorPacketData* Speed = new TQorPacketData(&Form);
    TProbeControl* Control = new TProbeControl(&Form);
    std::set<std::int32_t> Speeds; // distinct values delivered
};

TEST_F(ThreadRefreshLive, DeliversLiveValuesOnlyWhileStarted) {
    Refresher->Start();
    ASSERT_TRUE(PumpUntil([&] { return Speeds.size() >= 3 && Control->Messages.size() >= 3; }))
        << "live values arrive while running";
    for (const TMessage& m : Control->Messages)
        EXPECT_EQ(m.Msg, WM_DATA_REFRESHED);

    Refresher->Stop();
    // A pass already queued runs while we pump, but finds the refresher stopped.
    const std::size_t calls = Sim.Calls().size();
    const std::size_t messages = Control->Messages.size();
    const std::size_t speeds = Speeds.size();
    ASSERT_TRUE(PumpUntil([&] { return Refresher->Thread()->Suspended(); }))
        << "a stopped refresher's thread suspends itself";
    for (int i = 0; i < 10; ++i)
        CheckSynchronize(10);
    EXPECT_TRUE(Refresher->Thread()->Suspended());
    EXPECT_EQ(Control->Messages.size(), messages);
    EXPECT_EQ(Speeds.size(), speeds);
    const std::vector<QorSimCall> log = Sim.Calls();
    for (std::size_t i = calls; i < log.size(); ++i)
        EXPECT_NE(log[i].Op, qsoReadPacket) << "no reads while stopped";

    Refresher->Start();
    ASSERT_TRUE(PumpUntil([&] { return Control->Messages.size() >= messages + 2; }))
        << "started again, it delivers again";
}

TEST_F(ThreadRefreshLive, DestroyedWhileRunningEndsCleanly) {
    Refresher->Start();
    ASSERT_TRUE(PumpUntil([&] { return Control->Messages.size() >= 2; }));
    // Let the worker queue a pass that nobody runs, then destroy the refresher under it.
    std::this_thread::sleep_for(60ms);
    delete Refresher;
    EXPECT_EQ(Speed->DataRefresher(), nullptr);
    EXPECT_FALSE(Speed->Active());
    const std::size_t messages = Control->Messages.size();
    for (int i = 0; i < 5; ++i)
        CheckSynchronize(10);
    EXPECT_EQ(Control->Messages.size(), messages) << "no pass after the refresher is gone";
}

} // namespace
} // namespace qor::test
