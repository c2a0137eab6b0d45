// The interface table as the header lays it out, and as the simulator's object answers it.

#include "ecusim/SimImage.h"
#include "tests/ecusim/SimFixture.h"

#include <cstring>

namespace qor::test {
namespace {

// Table position of a virtual member function, from its pointer-to-member (the Itanium
// C++ ABI stores 1 + the byte offset into the table for virtual functions).
template <class F> int SlotOf(F Member) {
    struct Raw {
        std::uintptr_t Ptr;
        std::ptrdiff_t Adj;
    } raw;
    static_assert(sizeof(Member) == sizeof(raw));
    std::memcpy(&raw, &Member, sizeof raw);
    EXPECT_EQ(raw.Ptr % 2, 1u) << "not a virtual function";
    return static_cast<int>((raw.Ptr - 1) / sizeof(void*));
}

TEST(Contract, OperationsSitAtTheirTablePositions) {
    EXPECT_EQ(SlotOf(&TSerInterface::Reserved00), 0);
    EXPECT_EQ(SlotOf(&TSerInterface::Shutdown), sipShutdown);
    EXPECT_EQ(SlotOf(&TSerInterface::Disconnect), sipDisconnect);
    EXPECT_EQ(SlotOf(&TSerInterface::ReadData), sipReadData);
    EXPECT_EQ(SlotOf(&TSerInterface::ReadIndexed), sipReadIndexed);
    EXPECT_EQ(SlotOf(&TSerInterface::ReadElement), sipReadElement);
    EXPECT_EQ(SlotOf(&TSerInterface::ReadPacket), sipReadPacket);
    EXPECT_EQ(SlotOf(&TSerInterface::ReadAtAddress), sipReadAtAddress);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteData), sipWriteData);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteValue), sipWriteValue);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteIndexed), sipWriteIndexed);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteElement), sipWriteElement);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteRow), sipWriteRow);
    EXPECT_EQ(SlotOf(&TSerInterface::WriteAtAddress), sipWriteAtAddress);
    EXPECT_EQ(SlotOf(&TSerInterface::IsConnected), sipIsConnected);
    EXPECT_EQ(SlotOf(&TSerInterface::GetLastStatus), sipGetLastStatus);
    EXPECT_EQ(sipGetLastStatus + 1, sipSlotCount);
    // The simulator logs each operation under its position: calling every operation
    // through the interface shows that the library's table matches the header's.
    EXPECT_EQ(int(qsoReadPacket), sipReadPacket);
    EXPECT_EQ(int(qsoGetLastStatus), sipGetLastStatus);
}

TEST_F(SimTest, EachOperationThroughTheInterfaceRunsTheOneAtItsPosition) {
    using namespace ecusim::image;
    std::int32_t buf[256] = {};
    std::uint8_t bytes[252] = {};
    std::int32_t length = 251;
    Ser->Shutdown();
    Ser->Disconnect();
    Ser->ReadData(IdleSpeed, buf);
    Ser->ReadIndexed(ddArray | IgnitionMap, buf, 1);
    Ser->ReadElement(ddArray | IgnitionMap, buf, 2, 3);
    Ser->ReadPacket(ddPacket | LivePacket, bytes, &length);
    Ser->ReadAtAddress(0, 0x10, buf);
    Ser->WriteData(IdleSpeed, buf);
    Ser->WriteValue(IdleSpeed, 900);
    Ser->WriteIndexed(LoadAxis, 4, 11);
    Ser->WriteElement(ddArray | IgnitionMap, 5, 6, 7);
    Ser->WriteRow(ddArray | IgnitionMap, buf, 8);
    Ser->WriteAtAddress(0, 0x20, 9);
    Ser->IsConnected();
    Ser->GetLastStatus();
    std::vector<int> ops;
    for (const QorSimCall& c : Sim.Calls())
        ops.push_back(c.Op);
    EXPECT_EQ(ops, (std::vector<int>{sipShutdown, sipDisconnect, sipReadData, sipReadIndexed,
                                     sipReadElement, sipReadPacket, sipReadAtAddress, sipWriteData,
                                     sipWriteValue, sipWriteIndexed, sipWriteElement, sipWriteRow,
                                     sipWriteAtAddress, sipIsConnected, sipGetLastStatus}));
}

} // namespace
} // namespace qor::test
