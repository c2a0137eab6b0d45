// TQorPacketData: decoding, registration with a data refresher, on-demand reads through
// the refresher's connection. Suites named Thread... use a refresher, whose worker thread
// stays suspended here (the tests make the passes themselves).

#include "data/PacketData.h"
#include "framework/FormStreaming.h"
#include "framework/Properties.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "tests/data/TestData.h"
#include "tests/support/TestLink.h"

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>

namespace qor::test {
namespace {

constexpr std::uint32_t LivePacket = ddPacket | 0x20;

// Records the events of a packet component and the messages its client control gets.
struct TEventLog {
    explicit TEventLog(TQorPacketData& Packet) : Control(nullptr) {
        Packet.SetBeforeGetData([this](TObject*) { Events.push_back("BeforeGetData"); });
        Packet.SetOnGetData([this, &Packet](TObject*) {
            Events.push_back("OnGetData " + std::to_string(Packet.RawValue()));
        });
        Packet.SetOnError([this](TObject*, int Code, bool Writing) {
            Events.push_back("OnError " + std::to_string(Code) + (Writing ? " w" : " r"));
        });
        Packet.AddClient(&Control);
    }
    std::vector<std::string> Events;
    TProbeControl Control;
};

std::array<std::uint8_t, 256> Buffer(std::int32_t Length,
                                     std::initializer_list<std::pair<int, std::uint8_t>> Bytes) {
    std::array<std::uint8_t, 256> b;
    b.fill(0xEE); // what a read would take where nothing was delivered
    std::memcpy(b.data(), &Length, sizeof Length);
    for (auto [at, v] : Bytes)
        b[4 + at] = v;
    return b;
}

TEST(PacketDecode, TakesOneOrTwoLittleEndianBytesAtTheOffset) {
    const struct {
        int Length;
        bool Signed;
        int Offset;
        std::int32_t Delivered;
        std::initializer_list<std::pair<int, std::uint8_t>> Bytes;
        bool Taken;
        std::int32_t Raw;
    } cases[] = {
        {2, true, 3, 5, {{3, 0xFE}, {4, 0xFF}}, true, -2},
        {2, false, 3, 5, {{3, 0xFE}, {4, 0xFF}}, true, 65534},
        {2, true, 0, 5, {{0, 0x34}, {1, 0x12}}, true, 0x1234},
        {1, true, 2, 5, {{2, 0x80}}, true, -128},
        {1, false, 2, 5, {{2, 0x80}}, true, 128},
        {1, true, 0, 1, {{0, 0x7F}}, true, 127},
        {1, false, 251, 252, {{251, 0x05}}, true, 5},
        // Values not wholly inside the delivered bytes are not read.
        {2, false, 4, 5, {{4, 0x01}}, false, 0},
        {1, false, 5, 5, {}, false, 0},
        {1, false, -1, 5, {}, false, 0},
        {1, false, 0, 0, {}, false, 0},
        {1, false, 0, -4, {}, false, 0},
        {1, false, 252, 300, {}, false, 0}, // beyond the 252-byte data area
        {2, false, 251, 252, {}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.Length) + " offset " + std::to_string(c.Offset) +
                     " delivered " + std::to_string(c.Delivered));
        TQorPacketData packet(nullptr);
        packet.SetDataLength(c.Length);
        packet.SetSigned(c.Signed);
        packet.SetOffset(c.Offset);
        TEventLog log(packet);
        const auto buffer = Buffer(c.Delivered, c.Bytes);
        packet.DecodePacket(buffer.data());
        EXPECT_EQ(packet.RawValue(), c.Raw);
        if (c.Taken) {
            EXPECT_EQ(log.Events, std::vector<std::string>(
                                      {"BeforeGetData", "OnGetData " + std::to_string(c.Raw)}));
            ASSERT_EQ(log.Control.Messages.size(), 1u);
            EXPECT_EQ(log.Control.Messages[0].Msg, WM_DATA_CHANGED);
            EXPECT_EQ(log.Control.Messages[0].WParam, reinterpret_cast<WPARAM>(&packet));
        } else {
            EXPECT_TRUE(log.Events.empty());
            EXPECT_TRUE(log.Control.Messages.empty());
        }
        EXPECT_FALSE(packet.DataValid()) << "decoding leaves DataValid";
    }
}

TEST(PacketDecode, NewComponentAndItsStreamDefaults) {
    RegisterDataClasses();
    TQorPacketData packet(nullptr);
    packet.SetName("Speed");
    EXPECT_EQ(packet.DataDescriptor(), 0x800u);
    EXPECT_EQ(packet.TimeInterval(), 1000);
    EXPECT_EQ(packet.Offset(), 0);
    EXPECT_FALSE(packet.Active());
    EXPECT_TRUE(packet.ReadOnly());
    EXPECT_EQ(packet.RawValue(), 0);
    EXPECT_EQ(packet.RowIndex(), -1);
    EXPECT_EQ(packet.ColIndex(), -1);
    EXPECT_EQ(WriteComponentText(packet), "object Speed: TQorPacketData\n  DataMask = 255\n"
                                          "  Coeffs = (1.0 0.0 0.0 1.0)\n"
                                          "  ConversionTable = (0)\nend\n");
    for (int ignored : {10, 19, -1}) {
        packet.SetTimeInterval(ignored);
        EXPECT_EQ(packet.TimeInterval(), 1000);
    }
    EXPECT_FALSE(packet.WriteToEcu());
    EXPECT_FALSE(packet.ApplyDefaults(true));
}

// Polls a condition that nothing reports, with a generous limit.
bool WaitUntil(const std::function<bool()>& Condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class ThreadPacketRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Connection->SetDllName(Sim.DllPath());
        ASSERT_TRUE(Connection->LoadDll());
        Refresher->SetConnection(Connection);
        // The worker suspends itself (created stopped); passes are made here.
        ASSERT_TRUE(WaitUntil([&] { return Refresher->Thread()->Suspended(); }));
        Refresher->Thread()->SetRunning(true);
        Refresher->Thread()->SetTickSource([this] { return Now; });
        Sim.ClearLog();
    }

    void PassAt(std::uint32_t Tick) {
        Now = Tick;
        Refresher->Thread()->RefreshPass();
    }
    const std::vector<std::unique_ptr<REFRESH_ELEMENT>>& Elements(TDataRefresher* R = nullptr) {
        return (R ? R : Refresher)->Thread()->Elements();
    }
    TQorPacketData* NewPacket(int Offset = 0) {
        auto* p = new TQorPacketData(&Form);
        p->SetSerialCode(0x20);
        p->SetOffset(Offset);
        return p;
    }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Connection = new TQorConnection(&Form);
    TDataRefresher* Refresher = new TDataRefresher(&Form);
    std::uint32_t Now = 0;
};

TEST_F(ThreadPacketRefresh, ActiveRegistersOnceAndOnlyTogglesTheClient) {
    TQorPacketData* packet = NewPacket();
    packet->SetActive(true);
    EXPECT_FALSE(packet->Registered()) << "no refresher yet";
    packet->SetDataRefresher(Refresher);
    EXPECT_TRUE(packet->Registered());
    ASSERT_EQ(Elements().size(), 1u);
    const REFRESH_ELEMENT& element = *Elements()[0];
    EXPECT_EQ(element.Descriptor, LivePacket);
    EXPECT_EQ(element.Index, -1);
    ASSERT_EQ(element.Clients.size(), 1u);
    EXPECT_EQ(element.Clients[0].Target, packet);
    EXPECT_EQ(element.Clients[0].Interval, 1000);
    EXPECT_TRUE(element.Clients[0].Enabled);

    packet->SetActive(false);
    ASSERT_EQ(Elements().size(), 1u) << "a deactivated component stays registered";
    EXPECT_FALSE(Elements()[0]->Clients[0].Enabled);
    packet->SetActive(true);
    ASSERT_EQ(Elements()[0]->Clients.size(), 1u) << "not registered twice";
    EXPECT_TRUE(Elements()[0]->Clients[0].Enabled);

    PassAt(1001);
    EXPECT_EQ(Elements()[0]->Clients[0].LastTick, 1001u);
    packet->SetActive(false);
    packet->SetActive(true);
    EXPECT_EQ(Elements()[0]->Clients[0].LastTick, 1001u) << "activation keeps the timing";
    packet->SetTimeInterval(10);
    EXPECT_EQ(Elements()[0]->Clients[0].Interval, 1000);
    packet->SetTimeInterval(20);
    EXPECT_EQ(Elements()[0]->Clients[0].Interval, 20);
    EXPECT_EQ(Elements()[0]->Clients[0].LastTick, 0u) << "registering again restarts the timing";

    delete packet;
    EXPECT_TRUE(Elements().empty()) << "destruction unregisters";
}

TEST_F(ThreadPacketRefresh, InactiveComponentRegistersDisabledAndDesignModeRegistersNothing) {
    TQorPacketData* packet = NewPacket();
    packet->SetDataRefresher(Refresher);
    ASSERT_EQ(Elements().size(), 1u);
    EXPECT_FALSE(Elements()[0]->Clients[0].Enabled);
    PassAt(5000);
    EXPECT_EQ(packet->RawValue(), 0) << "nothing delivered to an inactive component";

    TComponent designed(nullptr);
    designed.SetDesigning(true);
    auto* atDesign = new TQorPacketData(&designed);
    atDesign->SetSerialCode(0x21);
    atDesign->SetDataRefresher(Refresher);
    atDesign->SetActive(true);
    atDesign->SetTimeInterval(50);
    EXPECT_FALSE(atDesign->Registered());
    EXPECT_EQ(Elements().size(), 1u);
}

TEST_F(ThreadPacketRefresh, ChangingTheRefresherMovesTheRegistration) {
    auto* other = new TDataRefresher(&Form);
    TQorPacketData* packet = NewPacket();
    packet->SetTimeInterval(40);
    packet->SetActive(true);
    packet->SetDataRefresher(Refresher);
    packet->SetDataRefresher(other);
    EXPECT_TRUE(Elements().empty());
    ASSERT_EQ(Elements(other).size(), 1u);
    EXPECT_EQ(Elements(other)[0]->Clients[0].Interval, 40);
    EXPECT_TRUE(Elements(other)[0]->Clients[0].Enabled);
    packet->SetDataRefresher(nullptr);
    EXPECT_TRUE(Elements(other).empty());
    EXPECT_FALSE(packet->Registered());
    EXPECT_TRUE(packet->Active());
}

TEST_F(ThreadPacketRefresh, DescriptorChangeMovesTheRegistrationToTheNewKey) {
    const struct {
        const char* Name;
        std::function<void(TQorPacketData&)> Change;
        std::uint32_t Descriptor;
    } cases[] = {
        {"SerialCode", [](TQorPacketData& p) { p.SetSerialCode(0x21); }, 0x821},
        {"DataLength", [](TQorPacketData& p) { p.SetDataLength(2); }, 0xA20},
        {"Signed", [](TQorPacketData& p) { p.SetSigned(true); }, 0xC20},
    };
    for (bool active : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + (active ? " active" : " inactive"));
            TQorPacketData* packet = NewPacket();
            TQorPacketData* neighbour = NewPacket(1); // keeps the old element alive
            neighbour->SetDataRefresher(Refresher);
            packet->SetTimeInterval(60);
            packet->SetActive(active);
            packet->SetDataRefresher(Refresher);
            c.Change(*packet);
            EXPECT_EQ(packet->DataDescriptor(), c.Descriptor);
            ASSERT_EQ(Elements().size(), 2u);
            ASSERT_EQ(Elements()[0]->Clients.size(), 1u) << "gone from the old key";
            EXPECT_EQ(Elements()[0]->Clients[0].Target, neighbour);
            const REFRESH_ELEMENT& moved = *Elements()[1];
            EXPECT_EQ(moved.Descriptor, c.Descriptor);
            ASSERT_EQ(moved.Clients.size(), 1u);
            EXPECT_EQ(moved.Clients[0].Interval, 60);
            EXPECT_EQ(moved.Clients[0].Enabled, active);
            delete packet;
            delete neighbour;
            EXPECT_TRUE(Elements().empty()) << "destruction found the registration";
        }
    }
}

TEST_F(ThreadPacketRefresh, DestroyedRefresherLeavesTheComponentInactiveAndFree) {
    TQorPacketData* packet = NewPacket();
    packet->SetActive(true);
    packet->SetDataRefresher(Refresher);
    delete Refresher;
    Refresher = nullptr;
    EXPECT_EQ(packet->DataRefresher(), nullptr);
    EXPECT_FALSE(packet->Active());
    EXPECT_FALSE(packet->Registered());

    auto* fresh = new TDataRefresher(&Form);
    packet->SetDataRefresher(fresh);
    packet->SetActive(true);
    ASSERT_EQ(Elements(fresh).size(), 1u);
    EXPECT_TRUE(Elements(fresh)[0]->Clients[0].Enabled);
}

TEST_F(ThreadPacketRefresh, ComponentsOfOnePacketShareOneReadPerPass) {
    TQorPacketData* speed = NewPacket(0);
    speed->SetDataLength(2);
    TQorPacketData* speedLow = NewPacket(0); // same serial code, other descriptor
    TQorPacketData* load = NewPacket(2);
    TQorPacketData* coolant = NewPacket(3);
    for (TQorPacketData* p : {speed, speedLow, load, coolant}) {
        p->SetTimeInterval(100);
        p->SetActive(true);
        p->SetDataRefresher(Refresher);
    }
    ASSERT_EQ(Elements().size(), 2u);
    Sim.SetLive(0); // both reads see the same bytes
    PassAt(101);
    EXPECT_EQ(Sim.Log(), std::vector<std::string>({"IsConnected()=1", "ReadPacket(0xA20, 64, 5)=1",
                                                   "ReadPacket(0x820, 64, 5)=1"}));
    std::int32_t b[5];
    for (int i = 0; i < 5; ++i)
        Sim.GetValue(0x20, i, &b[i]);
    EXPECT_EQ(speed->RawValue(), b[0] | (b[1] << 8));
    EXPECT_EQ(load->RawValue(), b[2]);
    EXPECT_EQ(coolant->RawValue(), b[3]);
    EXPECT_EQ(speedLow->RawValue(), b[0]);
}

TEST_F(ThreadPacketRefresh, ReadFromEcuReadsAtOnceThroughTheRefreshersConnection) {
    TQorPacketData* load = NewPacket(2);
    TEventLog log(*load);
    load->SetDataRefresher(Refresher);
    Sim.ClearLog();
    for (int read = 0; read < 2; ++read) { // never answered from the cache
        ASSERT_TRUE(load->ReadFromEcu());
        std::int32_t byte = 0;
        Sim.GetValue(0x20, 2, &byte);
        EXPECT_EQ(load->RawValue(), byte);
        EXPECT_TRUE(load->DataValid());
    }
    EXPECT_EQ(Sim.Log(),
              std::vector<std::string>({"IsConnected()=1", "ReadPacket(0x820, 251, 5)=1",
                                        "GetLastStatus()=0", "IsConnected()=1",
                                        "ReadPacket(0x820, 251, 5)=1", "GetLastStatus()=0"}));
    EXPECT_EQ(log.Events.size(), 4u);

    log.Events.clear();
    log.Control.Messages.clear();
    Sim.FailNext(qsoReadPacket, 1);
    EXPECT_FALSE(load->ReadFromEcu());
    EXPECT_FALSE(load->DataValid());
    EXPECT_EQ(log.Events,
              std::vector<std::string>{"OnError " + std::to_string(Sim.InjectedStatus()) + " r"})
        << "the status word of the refresher's connection";
    ASSERT_EQ(log.Control.Messages.size(), 1u);
    EXPECT_EQ(log.Control.Messages[0].Msg, WM_DATA_STATUS);
    EXPECT_EQ(log.Control.Messages[0].LParam, Sim.InjectedStatus());
}

TEST_F(ThreadPacketRefresh, ReadFromEcuWithoutAWayToTheEcuFailsSilently) {
    TQorPacketData* load = NewPacket(2);
    TEventLog log(*load);
    TQorPacketData* beyond = NewPacket(5); // the live packet has 5 bytes
    TEventLog beyondLog(*beyond);
    beyond->SetDataRefresher(Refresher);
    EXPECT_FALSE(beyond->ReadFromEcu()) << "the value is not in the packet";
    EXPECT_TRUE(beyondLog.Events.empty());

    EXPECT_FALSE(load->ReadFromEcu()) << "no refresher";
    auto* unconnected = new TDataRefresher(&Form);
    load->SetDataRefresher(unconnected);
    EXPECT_FALSE(load->ReadFromEcu()) << "no connection";
    load->SetDataRefresher(Refresher);
    Sim.SetConnected(0);
    Sim.ClearLog();
    EXPECT_FALSE(load->ReadFromEcu()) << "link down";
    EXPECT_EQ(Sim.Log(), std::vector<std::string>{"IsConnected()=0"});
    EXPECT_TRUE(log.Events.empty());
    EXPECT_TRUE(log.Control.Messages.empty());
}

TEST_F(ThreadPacketRefresh, FormRegistersWithTheFinalDescriptorAndInterval) {
    RegisterDataClasses();
    TComponent form(nullptr);
    ReadComponentTextInto(form, "object Form: TComponent\n"
                                "  object Link: TQorConnection\n  end\n"
                                "  object Live: TDataRefresher\n    Connection = Link\n  end\n"
                                "  object Speed: TQorPacketData\n    DataLength = 2\n"
                                "    SerialCode = 32\n    TimeInterval = 50\n    Active = True\n"
                                "    DataRefresher = Live\n  end\n"
                                "end\n");
    auto* live = dynamic_cast<TDataRefresher*>(form.FindComponent("Live"));
    auto* speed = dynamic_cast<TQorPacketData*>(form.FindComponent("Speed"));
    ASSERT_TRUE(live && speed);
    EXPECT_FALSE(live->Running());
    ASSERT_EQ(Elements(live).size(), 1u);
    EXPECT_EQ(Elements(live)[0]->Descriptor, 0xA20u);
    EXPECT_EQ(Elements(live)[0]->Clients[0].Interval, 50);
    EXPECT_TRUE(Elements(live)[0]->Clients[0].Enabled);
}

TEST_F(ThreadPacketRefresh, HandlerThatFreesTheWholeFormStopsThePass) {
    // The form owns the connection, the refresher (with the thread whose pass is running)
    // and both packet components; the first one's OnGetData frees it. The second packet is
    // not delivered to, and nothing freed is touched.
    auto* form = new TComponent(nullptr);
    auto* connection = new TQorConnection(form);
    connection->SetDllName(QOR_ECUSIM_FILE);
    auto* refresher = new TDataRefresher(form);
    refresher->SetConnection(connection);
    ASSERT_TRUE(WaitUntil([&] { return refresher->Thread()->Suspended(); }));
    int second = 0;
    for (int offset : {0, 2}) {
        auto* p = new TQorPacketData(form);
        p->SetSerialCode(0x20);
        p->SetOffset(offset);
        p->SetDataRefresher(refresher);
        p->SetActive(true);
        if (offset == 0)
            p->SetOnGetData([&form](TObject*) { delete std::exchange(form, nullptr); });
        else
            p->SetOnGetData([&second](TObject*) { ++second; });
    }
    ASSERT_TRUE(connection->LoadDll());
    refresher->Thread()->SetRunning(true);
    refresher->Thread()->SetTickSource([] { return 5000u; });
    refresher->Thread()->RefreshPass();
    EXPECT_EQ(form, nullptr) << "no delivery";
    EXPECT_EQ(second, 0);
    delete form;
}

} // namespace
} // namespace qor::test
