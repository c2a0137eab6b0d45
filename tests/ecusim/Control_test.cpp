// The control API: call log, fault injection, status word, link state, version and
// object creation.

#include "ecusim/SimImage.h"
#include "tests/ecusim/SimFixture.h"

namespace qor::test {
namespace {

using namespace ecusim::image;

TEST_F(SimTest, LogHoldsEveryCallWithItsArgumentsInOrder) {
    std::int32_t buf[16] = {};
    std::uint8_t bytes[8] = {};
    std::int32_t length = 8;
    Ser->IsConnected();
    Ser->ReadIndexed(0x1000 | ddArray | IgnitionMap, buf, 3);
    Ser->GetLastStatus();
    Ser->WriteElement(ddArray | FuelMap, 1, 2, 345);
    Ser->WriteRow(ddArray | IgnitionMap, buf, 16);
    Ser->ReadPacket(ddPacket | LivePacket, bytes, &length);
    Ser->WriteAtAddress(ddTwoBytes, 0x900, -2);
    Ser->ReadData(ddArray | SpeedAxis, buf);
    EXPECT_EQ(Sim.Log(), (std::vector<std::string>{
                             "IsConnected()=1",
                             "ReadIndexed(0x1103, 3)=0", // 0x1000: one value per row
                             "GetLastStatus()=64",
                             "WriteElement(0x104, 1, 2, 345)=1",
                             "WriteRow(0x103, 16, 0)=0",
                             "ReadPacket(0x820, 8, 5)=1",
                             "WriteAtAddress(0x200, 2304, -2)=1",
                             "ReadData(0x101, 16)=1",
                         }));
    Sim.ClearLog();
    EXPECT_EQ(Sim.CallCount(), 0);
}

TEST_F(SimTest, ObserverSeesEachCallAfterItIsLogged) {
    struct Seen {
        std::vector<std::string> Calls;
        TSimLibrary* Lib;
    } seen{{}, &Sim};
    Sim.SetObserver(
        [](const QorSimCall* c, void* ctx) {
            auto* s = static_cast<Seen*>(ctx);
            // The lock is free again: the observer may use the control API.
            s->Calls.push_back(TSimLibrary::Format(*c) + " #" +
                               std::to_string(s->Lib->CallCount()));
        },
        &seen);
    Ser->WriteValue(IdleSpeed, 800);
    Ser->Disconnect();
    Sim.SetObserver(nullptr, nullptr);
    Ser->Shutdown();
    EXPECT_EQ(seen.Calls,
              (std::vector<std::string>{"WriteValue(0x5, 800)=1 #1", "Disconnect()=1 #2"}));
}

TEST_F(SimTest, FailNextCountsDownPerOperation) {
    std::int32_t v = 0;
    Sim.FailNext(qsoReadData, 2);
    EXPECT_FALSE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_EQ(Ser->GetLastStatus(), qssInjected);
    EXPECT_TRUE(Ser->WriteValue(IdleSpeed, 990)) << "other operations are not touched";
    EXPECT_FALSE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_EQ(v, 990);
    EXPECT_EQ(Ser->GetLastStatus(), 0);

    Sim.FailNext(qsoAnyData, 1);
    EXPECT_FALSE(Ser->WriteAtAddress(0, 0x900, 1));
    EXPECT_TRUE(Ser->WriteAtAddress(0, 0x900, 1));
}

TEST_F(SimTest, FailSerialCodeFailsEveryCallForThatCodeOnly) {
    std::int32_t v = 0;
    Sim.FailSerialCode(RevLimit, 1);
    EXPECT_FALSE(Ser->ReadData(RevLimit, &v));
    EXPECT_FALSE(Ser->WriteValue(RevLimit, 1));
    EXPECT_EQ(Ser->GetLastStatus(), qssInjected);
    EXPECT_EQ(Value(RevLimit, 0), 6800);
    EXPECT_TRUE(Ser->ReadData(IdleSpeed, &v));
    Sim.FailSerialCode(RevLimit, 0);
    EXPECT_TRUE(Ser->ReadData(RevLimit, &v));
}

TEST_F(SimTest, LinkDownFailsDataOperations) {
    std::int32_t v = 0;
    Sim.SetConnected(0);
    EXPECT_FALSE(Ser->IsConnected());
    EXPECT_FALSE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_FALSE(Ser->WriteAtAddress(0, 0x900, 1));
    EXPECT_EQ(Ser->GetLastStatus(), qssNotConnected);
    Sim.SetConnected(1);
    EXPECT_TRUE(Ser->IsConnected());
    EXPECT_TRUE(Ser->ReadData(IdleSpeed, &v));
}

TEST_F(SimTest, ForcedStatusWordHoldsUntilCleared) {
    std::int32_t v = 0;
    Sim.SetStatusWord(stDataUsable);
    EXPECT_TRUE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_EQ(Ser->GetLastStatus(), stDataUsable);
    EXPECT_FALSE(Ser->ReadData(0x99, &v));
    EXPECT_EQ(Ser->GetLastStatus(), stDataUsable);
    Sim.ClearStatusWord();
    EXPECT_EQ(Ser->GetLastStatus(), qssUnknownCode);
}

TEST_F(SimTest, VersionCreationAndDestructionFollowTheControls) {
    VersionRecord r;
    EXPECT_EQ(Version(&r), 1);
    EXPECT_EQ(r.Major, 5u);
    Sim.SetVersion(6, 2, 1, 9, 1);
    EXPECT_EQ(Version(&r), 1);
    EXPECT_EQ(r.Major, 6u);
    EXPECT_EQ(r.Build, 9u);
    Sim.SetVersion(7, 0, 0, 0, 0);
    EXPECT_EQ(Version(&r), 0);

    EXPECT_EQ(Sim.InstanceCount(), 1);
    Sim.SetCreateFails(1);
    EXPECT_EQ(Create(), nullptr);
    Sim.SetCreateFails(0);
    TSerInterface* second = Create();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Sim.InstanceCount(), 2);
    EXPECT_EQ(Destroy(second), 1);
    EXPECT_EQ(Destroy(second), 0) << "an object is destroyed once";
    EXPECT_EQ(Sim.InstanceCount(), 1);
}

TEST_F(SimTest, ResetBringsBackTheStartState) {
    Sim.SetValue(IdleSpeed, 0, 1);
    Sim.SetConnected(0);
    Sim.FailNext(qsoAnyData, 5);
    Sim.SetStatusWord(9);
    Sim.ResetDefault();
    std::int32_t v = 0;
    EXPECT_TRUE(Ser->ReadData(IdleSpeed, &v));
    EXPECT_EQ(v, 850);
    EXPECT_EQ(Ser->GetLastStatus(), 0);
    EXPECT_EQ(Sim.Log().front(), "ReadData(0x5, 1)=1") << "the log starts afresh";
}

} // namespace
} // namespace qor::test
