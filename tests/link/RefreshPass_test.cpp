// The refresh pass, made by the test on the main thread with its own millisecond count,
// against the real simulator library. The worker thread never starts here.

#include "link/LinkMessages.h"
#include "link/QorConnection.h"
#include "link/Refreshthread.h"
#include "tests/framework/TempDir.h"
#include "tests/link/RefreshTargets.h"
#include "tests/support/SimLibrary.h"

#include <fstream>
#include <gtest/gtest.h>

namespace qor::test {
namespace {

constexpr std::uint32_t LivePacket = ddPacket | 0x20;  // the simulator's 5-byte live packet
constexpr std::uint32_t IdleSpeed = ddTwoBytes | 0x05; // value u16, 850
constexpr std::uint32_t SpeedAxis = ddArray | ddTwoBytes | 0x01; // vector u16 x 16

class RefreshPass : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Connection.SetDllName(QOR_ECUSIM_FILE);
        ASSERT_TRUE(Connection.LoadDll());
        Thread.SetConnection(&Connection);
        Thread.SetRunning(true);
        Thread.SetTickSource([this] { return Now; });
        Sim.ClearLog();
    }

    void PassAt(std::uint32_t Tick) {
        Now = Tick;
        Thread.RefreshPass();
    }
    int Calls(std::int32_t Op) const {
        int n = 0;
        for (const QorSimCall& c : Sim.Calls())
            n += c.Op == Op;
        return n;
    }
    const REFRESH_CLIENT& Client(std::size_t Element, std::size_t Index) const {
        return Thread.Elements().at(Element)->Clients.at(Index);
    }

    TSimLibrary Sim{QOR_ECUSIM_FILE};
    TQorConnection Connection{nullptr};
    TRefreshThread Thread{true, tpNormal, 20}; // constructed, not started
    std::uint32_t Now = 0;
    TComponent Form{nullptr};
    TRecordingTarget* Target = new TRecordingTarget(&Form);
    TRecordingControl* Control = new TRecordingControl(&Form);
};

TEST_F(RefreshPass, FirstDeliveryOnceTheCountExceedsTheIntervalToTargetsAndControls) {
    ASSERT_TRUE(Thread.RegisterClient(Target, 100, LivePacket, -1));
    ASSERT_TRUE(Thread.RegisterClient(Control, 100, LivePacket, -1));
    ASSERT_EQ(Thread.Elements().size(), 1u);
    const REFRESH_ELEMENT& element = *Thread.Elements()[0];

    PassAt(100);
    EXPECT_EQ(Calls(qsoReadPacket), 0);
    EXPECT_TRUE(Target->Buffers.empty());
    EXPECT_TRUE(Control->Messages.empty());

    Sim.ClearLog();
    PassAt(101);
    ASSERT_EQ(Sim.Log(),
              std::vector<std::string>({"IsConnected()=1", "ReadPacket(0x820, 64, 5)=1"}))
        << "one read offering room 64 serves both clients";
    std::vector<std::uint8_t> simBytes;
    for (int i = 0; i < 5; ++i) {
        std::int32_t v = 0;
        Sim.GetValue(0x20, i, &v);
        simBytes.push_back(static_cast<std::uint8_t>(v));
    }
    ASSERT_EQ(Target->Buffers, std::vector<const std::uint8_t*>{element.Bytes()});
    EXPECT_EQ(Target->Packets[0], simBytes);
    ASSERT_EQ(Control->Messages.size(), 1u);
    EXPECT_EQ(Control->Messages[0].Msg, WM_DATA_REFRESHED);
    EXPECT_EQ(Control->Messages[0].WParam, reinterpret_cast<WPARAM>(element.Bytes()));
    EXPECT_EQ(Control->Messages[0].LParam, 0);
    EXPECT_EQ(Client(0, 0).LastTick, 101u);
    EXPECT_EQ(Client(0, 1).LastTick, 101u);
}

TEST_F(RefreshPass, ClientsOfOneElementShareOneReadAndKeepTheirOwnIntervals) {
    auto* slow = new TRecordingTarget(&Form);
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(slow, 300, LivePacket, -1);
    ASSERT_EQ(Thread.Elements().size(), 1u);
    const struct {
        std::uint32_t Tick;
        bool Fast, Slow;
    } passes[] = {{101, true, false},
                  {250, true, false},
                  {302, false, true},
                  {352, true, false},
                  {700, true, true}};
    std::size_t fast = 0, slowCount = 0;
    int reads = 0;
    for (const auto& p : passes) {
        SCOPED_TRACE(p.Tick);
        PassAt(p.Tick);
        fast += p.Fast;
        slowCount += p.Slow;
        reads += p.Fast || p.Slow;
        EXPECT_EQ(Target->Buffers.size(), fast);
        EXPECT_EQ(slow->Buffers.size(), slowCount);
        EXPECT_EQ(Calls(qsoReadPacket), reads);
    }
}

TEST_F(RefreshPass, RegisteringAgainKeepsOneClientWithTheNewIntervalAndRestartsItsTiming) {
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.DisableClient(Target, LivePacket, -1);
    PassAt(101);
    EXPECT_TRUE(Target->Buffers.empty()) << "disabled";
    Thread.EnableClient(Target, LivePacket, -1);
    PassAt(102);
    ASSERT_EQ(Target->Buffers.size(), 1u);

    Thread.DisableClient(Target, LivePacket, -1);
    EXPECT_TRUE(Thread.RegisterClient(Target, 50, LivePacket, -1));
    ASSERT_EQ(Thread.Elements()[0]->Clients.size(), 1u);
    EXPECT_EQ(Client(0, 0).LastTick, 0u);
    EXPECT_EQ(Client(0, 0).Interval, 50);
    EXPECT_FALSE(Client(0, 0).Enabled) << "registering again leaves the enabled state";
    Thread.EnableClient(Target, LivePacket, -1);
    PassAt(110); // 8 ms after the last delivery, but the timing restarted from 0
    EXPECT_EQ(Target->Buffers.size(), 2u);
}

TEST_F(RefreshPass, RefusedIntervalsChangeNothing) {
    for (int interval : {0, -1, -1000})
        EXPECT_FALSE(Thread.RegisterClient(Target, interval, LivePacket, -1)) << interval;
    EXPECT_TRUE(Thread.Elements().empty());
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    EXPECT_FALSE(Thread.RegisterClient(Target, 0, LivePacket, -1));
    EXPECT_EQ(Client(0, 0).Interval, 100);
}

TEST_F(RefreshPass, UnregisteringTheLastClientRemovesTheElement) {
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(Control, 100, LivePacket, -1);
    Thread.RegisterClient(Control, 100, IdleSpeed, -1);
    Thread.UnregisterClient(Target, IdleSpeed, -1); // not registered there: nothing happens
    Thread.UnregisterClient(Target, LivePacket, 0);
    ASSERT_EQ(Thread.Elements().size(), 2u);
    Thread.UnregisterClient(Target, LivePacket, -1);
    ASSERT_EQ(Thread.Elements().size(), 2u);
    EXPECT_EQ(Client(0, 0).Target, Control);
    Thread.UnregisterClient(Control, LivePacket, -1);
    ASSERT_EQ(Thread.Elements().size(), 1u);
    EXPECT_EQ(Thread.Elements()[0]->Descriptor, IdleSpeed);

    Thread.RegisterClient(Target, 100, LivePacket, -1);
    ASSERT_EQ(Thread.Elements().size(), 2u);
    EXPECT_EQ(Thread.Elements()[1]->Descriptor, LivePacket) << "a new element at the end";
    PassAt(101);
    EXPECT_EQ(Target->Buffers.size(), 1u);
}

TEST_F(RefreshPass, FailedReadIsRetriedByTheNextDueClientAndOnTheNextPass) {
    auto* second = new TRecordingTarget(&Form);
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(second, 100, LivePacket, -1);
    Sim.FailNext(qsoReadPacket, 1);
    PassAt(101);
    EXPECT_EQ(Calls(qsoReadPacket), 2) << "the second client reads again";
    EXPECT_TRUE(Target->Buffers.empty());
    EXPECT_EQ(Client(0, 0).LastTick, 0u);
    EXPECT_EQ(second->Buffers.size(), 1u);

    Sim.FailNext(qsoReadPacket, 1);
    PassAt(102);
    EXPECT_TRUE(Target->Buffers.empty());
    EXPECT_EQ(Client(0, 0).LastTick, 0u) << "a failed read leaves the timing";
    PassAt(103);
    EXPECT_EQ(Target->Buffers.size(), 1u);
    EXPECT_EQ(second->Buffers.size(), 1u) << "not due again yet";
}

TEST_F(RefreshPass, NothingIsReadOrDeliveredWithoutARunningThreadAndAnOpenLink) {
    TQorConnection unloaded(nullptr);
    unloaded.SetDllName(QOR_ECUSIM_FILE);
    const struct {
        const char* Name;
        std::function<void()> Break;
    } cases[] = {
        {"not running", [&] { Thread.SetRunning(false); }},
        {"no connection", [&] { Thread.SetConnection(nullptr); }},
        {"library not loaded", [&] { Thread.SetConnection(&unloaded); }},
        {"link down", [&] { Sim.SetConnected(0); }},
    };
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(Control, 100, IdleSpeed, -1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Break();
        Sim.ClearLog();
        PassAt(500);
        EXPECT_EQ(Calls(qsoReadPacket) + Calls(qsoReadData), 0);
        EXPECT_TRUE(Target->Buffers.empty());
        EXPECT_TRUE(Control->Messages.empty());
        EXPECT_EQ(Client(0, 0).LastTick, 0u);
        EXPECT_FALSE(unloaded.DllLoaded()) << "a pass never loads the library";
        Sim.SetConnected(1);
        Thread.SetRunning(true);
        Thread.SetConnection(&Connection);
    }
}

TEST_F(RefreshPass, ATargetThatIsNeitherControlNorRefreshTargetIsOnlyTimed) {
    auto* plain = new TComponent(&Form);
    Thread.RegisterClient(plain, 100, LivePacket, -1);
    PassAt(101);
    EXPECT_EQ(Calls(qsoReadPacket), 1);
    EXPECT_EQ(Client(0, 0).LastTick, 101u);
    PassAt(150);
    EXPECT_EQ(Calls(qsoReadPacket), 1);
}

TEST_F(RefreshPass, DueTestSurvivesTheWrapOfTheMillisecondCount) {
    const struct {
        std::uint32_t Last, Now;
        bool Due;
    } cases[] = {
        {0xFFFFF000u, 10u, true},          // LastTick + Interval does not overflow, yet due
        {0xFFFFFF00u, 0x100u, false},      // 512 ms passed
        {0xFFFFFF00u, 0x2E8u, false},      // exactly 1000 ms: not more than the interval
        {0xFFFFFF00u, 0x2E9u, true},       // 1001 ms
        {0xFFFFFC18u, 0xFFFFFFFFu, false}, // 999 ms before the wrap
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Now);
        TRecordingTarget target(nullptr);
        Thread.RegisterClient(&target, 1000, LivePacket, -1);
        PassAt(c.Last);
        ASSERT_EQ(target.Buffers.size(), 1u);
        PassAt(c.Now);
        EXPECT_EQ(target.Buffers.size(), c.Due ? 2u : 1u);
        Thread.UnregisterClient(&target, LivePacket, -1);
    }
}

TEST_F(RefreshPass, RefreshAllServesDisabledAndNotDueClients) {
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(Control, 100000, LivePacket, -1);
    Thread.DisableClient(Target, LivePacket, -1);
    Thread.SetRefreshAll(true);
    PassAt(5);
    EXPECT_EQ(Target->Buffers.size(), 1u);
    EXPECT_EQ(Control->Messages.size(), 1u);
    EXPECT_EQ(Calls(qsoReadPacket), 1);
    Thread.SetRefreshAll(false);
    PassAt(200);
    EXPECT_EQ(Target->Buffers.size(), 1u);
    EXPECT_EQ(Control->Messages.size(), 1u);
}

TEST_F(RefreshPass, ValuesAndArraysAreReadWithReadDataOrReadIndexed) {
    Thread.RegisterClient(Control, 100, IdleSpeed, -1);
    Thread.RegisterClient(Control, 100, SpeedAxis, 3);
    Thread.RegisterClient(Control, 100, SpeedAxis, -1);
    PassAt(101);
    EXPECT_EQ(Sim.Log(),
              std::vector<std::string>({"IsConnected()=1", "ReadData(0x205, 1)=1",
                                        "ReadIndexed(0x301, 3)=1", "ReadData(0x301, 16)=1"}));
    ASSERT_EQ(Control->Messages.size(), 3u);
    auto values = [&](int message) {
        return reinterpret_cast<const std::int32_t*>(Control->Messages[message].WParam);
    };
    EXPECT_EQ(values(0)[0], 850);
    std::int32_t expected = 0;
    Sim.GetValue(0x01, 3, &expected);
    EXPECT_EQ(values(1)[0], expected);
    Sim.GetValue(0x01, 15, &expected);
    EXPECT_EQ(values(2)[15], expected);
}

// A whole vector longer than 64 values must fit the element's buffer.
TEST_F(RefreshPass, ArrayBufferHoldsTheLongestVector) {
    TempDir dir;
    const std::string image = dir.File("long.img");
    {
        std::ofstream out(image);
        out << "vector 1 Long 0x0000 u8 255";
        for (int i = 0; i < 255; ++i)
            out << ' ' << i;
        out << '\n';
    }
    char error[256] = {};
    ASSERT_TRUE(Sim.Reset(image.c_str(), error, sizeof error)) << error;
    Thread.RegisterClient(Control, 100, ddArray | 1, -1);
    PassAt(101);
    ASSERT_EQ(Control->Messages.size(), 1u);
    const auto* values = reinterpret_cast<const std::int32_t*>(Control->Messages[0].WParam);
    EXPECT_EQ(values[254], 254);
}

TEST_F(RefreshPass, SingleValueRegistrationHasRoomForAWholeRowAnswer) {
    // A descriptor without the array bit promises one value, but the library answers
    // ReadIndexed of a map item with the whole row: the buffer must hold it.
    TempDir dir;
    const std::string image = dir.File("wide.img");
    {
        std::ofstream out(image);
        out << "map 3 Wide 0x0000 u8 2 255";
        for (int i = 0; i < 2 * 255; ++i)
            out << ' ' << i % 256;
        out << '\n';
    }
    char error[256] = {};
    ASSERT_TRUE(Sim.Reset(image.c_str(), error, sizeof error)) << error;
    Thread.RegisterClient(Control, 100, 3, 1);
    PassAt(101);
    ASSERT_EQ(Control->Messages.size(), 1u);
    const auto* values = reinterpret_cast<const std::int32_t*>(Control->Messages[0].WParam);
    EXPECT_EQ(values[0], 255);
    EXPECT_EQ(values[254], (255 + 254) % 256);
}

TEST_F(RefreshPass, DeliveriesMayUnregisterAndRegisterClients) {
    auto* late = new TRecordingTarget(&Form);
    // The target leaves its element (and the element would go) while being delivered to,
    // and registers another target in a new element.
    Target->OnDecode = [&] {
        Thread.UnregisterClient(Target, LivePacket, -1);
        Thread.RegisterClient(late, 1, IdleSpeed, -1);
        for (int i = 0; i < 20; ++i) // grows the element list and moves its storage
            Thread.RegisterClient(late, 1, IdleSpeed, i);
    };
    Thread.RegisterClient(Target, 100, LivePacket, -1);
    Thread.RegisterClient(Control, 100, LivePacket, -1);
    PassAt(101);
    EXPECT_EQ(Target->Buffers.size(), 1u);
    EXPECT_EQ(Control->Messages.size(), 1u) << "the client after it is still served";
    ASSERT_EQ(Thread.Elements()[0]->Clients.size(), 1u);
    EXPECT_EQ(Client(0, 0).Target, Control);
    EXPECT_EQ(Client(0, 0).LastTick, 101u);
    EXPECT_EQ(Thread.Elements().size(), 22u);

    Control->Messages.clear();
    Thread.UnregisterClient(Control, LivePacket, -1);
    ASSERT_EQ(Thread.Elements().size(), 21u);
    EXPECT_EQ(Thread.Elements()[0]->Descriptor, IdleSpeed);
}

} // namespace
} // namespace qor::test
