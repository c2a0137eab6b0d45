// Each operation answers from the item's own shape, and refuses what does not fit without
// touching the caller's buffer or the ECU image.

#include "ecusim/SimImage.h"
#include "tests/ecusim/SimFixture.h"

#include <algorithm>

namespace qor::test {
namespace {

using namespace ecusim::image;

constexpr std::uint32_t PerRow(std::uint32_t n) {
    return n << ddValuesPerRowShift;
}
constexpr std::int32_t Guard = 0x5A5A5A5A;

struct ReadCase {
    const char* Name;
    std::function<bool(TSerInterface&, std::int32_t*)> Call;
    bool Ok;
    std::int32_t Status;
    std::vector<std::int32_t> Expected; // values written; the rest of the buffer untouched
};

TEST_F(SimTest, ReadsAnswerFromTheItemsShape) {
    const std::vector<ReadCase> cases = {
        {"single value",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(IdleSpeed, d); },
         true,
         0,
         {850}},
        {"signed two-byte value",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(InjectorTrim, d); },
         true,
         0,
         {-12}},
        {"whole vector",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadData(ddArray | PerRow(16) | LoadAxis, d);
         },
         true,
         0,
         {10, 16, 22, 28, 34, 40, 46, 52, 58, 64, 70, 76, 82, 88, 94, 100}},
        {"one-column map at once",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(ddArray | CrankingFuel, d); },
         true,
         0,
         {9000, 8200, 7400, 6600, 5800, 5000, 4200, 3400}},
        {"vector without the array bit",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(LoadAxis, d); },
         false,
         qssShapeMismatch,
         {}},
        {"vector with a shorter row",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadData(ddArray | PerRow(8) | LoadAxis, d);
         },
         false,
         qssShapeMismatch,
         {}},
        {"whole 16 x 16 map at once",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(ddArray | IgnitionMap, d); },
         false,
         qssShapeMismatch,
         {}},
        {"unknown serial code",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadData(0x77, d); },
         false,
         qssUnknownCode,
         {}},
        {"map row",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadIndexed(PerRow(16) | IgnitionMap, d, 15);
         },
         true,
         0,
         {-10, -10, -10, -10, -10, -10, -10, -8, -6, -4, -2, 0, 2, 4, 6, 8}},
        {"map row past the last",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadIndexed(ddArray | IgnitionMap, d, 16);
         },
         false,
         qssOutOfRange,
         {}},
        {"map row into a shorter row",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadIndexed(PerRow(12) | IgnitionMap, d, 0);
         },
         false,
         qssShapeMismatch,
         {}},
        {"vector element",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadIndexed(SpeedAxis, d, 3); },
         true,
         0,
         {2000}},
        {"vector element before the first",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadIndexed(SpeedAxis, d, -1); },
         false,
         qssOutOfRange,
         {}},
        {"one-column map element",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadIndexed(CrankingFuel, d, 7); },
         true,
         0,
         {3400}},
        {"map element",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadElement(ddArray | FuelMap, d, 2, 5);
         },
         true,
         0,
         {1500 + 2 * 420 + 5 * 60}},
        {"map element past the last column",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadElement(ddArray | FuelMap, d, 0, 16);
         },
         false,
         qssOutOfRange,
         {}},
        {"element of a packet",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadElement(LivePacket, d, 0, 0); },
         false,
         qssShapeMismatch,
         {}},
        {"signed address read",
         [](TSerInterface& s, std::int32_t* d) {
             return s.ReadAtAddress(ddTwoBytes | ddSigned, 0x0406, d);
         },
         true,
         0,
         {-12}},
        {"unsigned address read",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadAtAddress(ddTwoBytes, 0x0406, d); },
         true,
         0,
         {65524}},
        {"byte address read",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadAtAddress(0, 0x0003, d); },
         true,
         0,
         {1000 >> 8}}, // high byte, little-endian
        {"two bytes at the last address",
         [](TSerInterface& s, std::int32_t* d) { return s.ReadAtAddress(ddTwoBytes, 0xFFFF, d); },
         false,
         qssBadAddress,
         {}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::int32_t> buf(32, Guard);
        EXPECT_EQ(c.Call(*Ser, buf.data()), c.Ok);
        EXPECT_EQ(Ser->GetLastStatus(), c.Status);
        std::vector<std::int32_t> expected = c.Expected;
        expected.resize(buf.size(), Guard);
        EXPECT_EQ(buf, expected);
    }
}

TEST_F(SimTest, WritesLandInTheItemAndItsMemory) {
    const std::int32_t row[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_TRUE(Ser->WriteRow(ddArray | PerRow(16) | IgnitionMap, row, 4));
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(Value(IgnitionMap, 4 * 16 + c), c + 1);
    EXPECT_EQ(Value(IgnitionMap, 5 * 16), 8 - 10) << "the next row stays";

    ASSERT_TRUE(Ser->WriteElement(ddArray | FuelMap, 15, 15, 0xBEEF));
    std::uint8_t bytes[2] = {};
    ASSERT_TRUE(Sim.ReadMemory(0x0200 + 2 * 255, bytes, 2));
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[1], 0xBE);

    ASSERT_TRUE(Ser->WriteAtAddress(ddTwoBytes, 0x0400, 920));
    EXPECT_EQ(Value(IdleSpeed, 0), 920) << "address and item see one memory";

    ASSERT_TRUE(Ser->WriteValue(FanOnTemp, 0x1FF));
    EXPECT_EQ(Value(FanOnTemp, 0), 0xFF) << "cut to the item's width";

    ASSERT_TRUE(Ser->WriteIndexed(CrankingFuel, 6, 4444));
    EXPECT_EQ(Value(CrankingFuel, 6), 4444);
    ASSERT_TRUE(Ser->WriteIndexed(WarmupEnrich, 0, 150));
    EXPECT_EQ(Value(WarmupEnrich, 0), 150);

    const std::int32_t axis[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_TRUE(Ser->WriteData(ddArray | PerRow(8) | WarmupEnrich, axis));
    EXPECT_EQ(Value(WarmupEnrich, 7), 2);
}

TEST_F(SimTest, RefusedWritesChangeNothing) {
    std::vector<std::uint8_t> before(0x10000), after(0x10000);
    ASSERT_TRUE(Sim.ReadMemory(0, before.data(), 0x10000));
    const std::int32_t row[16] = {};
    struct Case {
        const char* Name;
        std::function<bool()> Call;
        std::int32_t Status;
    };
    const std::vector<Case> cases = {
        {"row longer than the caller's",
         [&] { return Ser->WriteRow(PerRow(8) | IgnitionMap, row, 0); }, qssShapeMismatch},
        {"row past the last", [&] { return Ser->WriteRow(IgnitionMap, row, 16); }, qssOutOfRange},
        {"vector shorter than the item",
         [&] { return Ser->WriteData(ddArray | PerRow(4) | WarmupEnrich, row); }, qssShapeMismatch},
        {"whole map at once", [&] { return Ser->WriteData(ddArray | FuelMap, row); },
         qssShapeMismatch},
        {"index into a 2-D map", [&] { return Ser->WriteIndexed(FuelMap, 3, 1); },
         qssShapeMismatch},
        {"element past the last row", [&] { return Ser->WriteElement(FuelMap, 16, 0, 1); },
         qssOutOfRange},
        {"one value into a vector", [&] { return Ser->WriteValue(SpeedAxis, 1); },
         qssShapeMismatch},
        {"value to a packet", [&] { return Ser->WriteValue(LivePacket, 1); }, qssShapeMismatch},
        {"address past the memory", [&] { return Ser->WriteAtAddress(ddTwoBytes, 0xFFFF, 1); },
         qssBadAddress},
        {"unknown code", [&] { return Ser->WriteValue(0x99, 1); }, qssUnknownCode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(c.Call());
        EXPECT_EQ(Ser->GetLastStatus(), c.Status);
    }
    ASSERT_TRUE(Sim.ReadMemory(0, after.data(), 0x10000));
    EXPECT_TRUE(before == after);
}

TEST_F(SimTest, PacketHonoursTheRoomAndReportsItsLength) {
    std::uint8_t bytes[252];
    std::fill(std::begin(bytes), std::end(bytes), 0xAA);
    std::int32_t length = 4;
    EXPECT_FALSE(Ser->ReadPacket(ddPacket | LivePacket, bytes, &length));
    EXPECT_EQ(Ser->GetLastStatus(), qssNoRoom);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(bytes[0], 0xAA);

    length = 64;
    ASSERT_TRUE(Ser->ReadPacket(ddPacket | LivePacket, bytes, &length));
    EXPECT_EQ(length, 5);
    EXPECT_EQ(bytes[5], 0xAA) << "nothing past the packet";

    std::int32_t dest = 0;
    EXPECT_FALSE(Ser->ReadPacket(ddPacket | IdleSpeed, bytes, &length));
    EXPECT_EQ(Ser->GetLastStatus(), qssShapeMismatch);
    EXPECT_FALSE(Ser->ReadData(ddArray | LivePacket, &dest));
}

TEST_F(SimTest, LivePacketMovesAtEveryReadUnlessFrozen) {
    auto read = [&] {
        std::uint8_t b[252] = {};
        std::int32_t length = 251;
        EXPECT_TRUE(Ser->ReadPacket(ddPacket | LivePacket, b, &length));
        return std::vector<std::uint8_t>(b, b + length);
    };
    std::vector<std::uint8_t> first = read();
    bool moved = false;
    for (int i = 0; i < 20; ++i) {
        std::vector<std::uint8_t> p = read();
        moved = moved || p != first;
        const int speed = p[0] | p[1] << 8;
        EXPECT_GE(speed, 700);
        EXPECT_LE(speed, 4500);
        EXPECT_LE(p[2], 100) << "load in percent";
        EXPECT_LE(p[4], 100) << "throttle in percent";
    }
    EXPECT_TRUE(moved);

    Sim.SetLive(0);
    ASSERT_TRUE(Sim.SetValue(LivePacket, 2, 77));
    EXPECT_EQ(read()[2], 77);
    EXPECT_EQ(read()[2], 77);
}

} // namespace
} // namespace qor::test
