// Image files: the text format, its strict errors, and the environment variable that
// names the image a freshly loaded library starts with.

#include "tests/ecusim/SimFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace qor::test {
namespace {

namespace fs = std::filesystem;

class ImageTest : public SimTest {
protected:
    void TearDown() override {
        SimTest::TearDown();
        fs::remove_all(Dir);
    }
    std::string Write(const std::string& Name, const std::string& Text) {
        fs::create_directories(Dir);
        std::ofstream(Dir / Name) << Text;
        return (Dir / Name).string();
    }
    fs::path Dir = fs::temp_directory_path() / ("qor-ecusim-" + std::to_string(getpid()));
};

TEST_F(ImageTest, FileImageReplacesTheBuiltInOne) {
    char error[256] = {};
    ASSERT_EQ(Sim.Reset(QOR_TEST_DATA_DIR "/small.img", error, sizeof error), 1) << error;
    QorSimItem item{};
    ASSERT_TRUE(Sim.GetItem(0x13, &item));
    EXPECT_EQ(item.Kind, qsiMap);
    EXPECT_EQ(item.Rows, 2);
    EXPECT_EQ(item.Cols, 3);
    EXPECT_EQ(item.Width, 1);
    EXPECT_EQ(item.Signed, 1);
    EXPECT_EQ(item.Address, 0x20u);
    EXPECT_FALSE(Sim.GetItem(0x03, &item)) << "nothing of the built-in image is left";

    std::int32_t axis[4] = {};
    ASSERT_TRUE(Ser->ReadData(ddArray | 0x12, axis));
    EXPECT_EQ(std::vector<std::int32_t>(axis, axis + 4),
              (std::vector<std::int32_t>{10, 20, 30, 40}));
    std::int32_t row[3] = {};
    ASSERT_TRUE(Ser->ReadIndexed(0x13, row, 0));
    EXPECT_EQ(std::vector<std::int32_t>(row, row + 3), (std::vector<std::int32_t>{-5, 0, 5}));
    std::uint8_t packet[8] = {};
    std::int32_t length = 8;
    ASSERT_TRUE(Ser->ReadPacket(ddPacket | 0x14, packet, &length));
    EXPECT_EQ(length, 3);
    EXPECT_EQ(packet[2], 255);
    length = 8;
    ASSERT_TRUE(Ser->ReadPacket(ddPacket | 0x15, packet, &length));
    EXPECT_EQ(length, 5);
    std::int32_t word = 0;
    ASSERT_TRUE(Ser->ReadAtAddress(ddTwoBytes, 0x100, &word));
    EXPECT_EQ(word, 0xADDE);
}

TEST_F(ImageTest, BadFilesAreRefusedWithTheLine) {
    const struct {
        const char* Text;
        const char* Error;
    } cases[] = {
        {"value 1 A 0 u8 1\nvalue 1 B 2 u8 1\n", "line 2: serial code 1 is used twice"},
        {"vector 1 A 0 u16 3 1 2\nvalue 2 B 9 u8 1\n", "line 2: item A expects 3 values, got 2"},
        {"map 1 M 0 u8 2 2 1 2 3\n", "line 1: item M expects 4 values, got 3 at the end"},
        {"vector 1 A 0 u8 2 1 2 3\n", "line 1: item A takes only 2 values"},
        {"value 1 A 0 s8 128\n", "line 1: value 128 is outside -128 .. 127"},
        {"value 1 A 0 u16 -1\n", "line 1: value -1 is outside 0 .. 65535"},
        {"\n\nvalue 1 A 0 u32 1\n", "line 3: type 'u32' is not one of u8 s8 u16 s16"},
        {"value 1 A 0 u8 12x\n", "line 1: value '12x' is not a number"},
        {"value 300 A 0 u8 1\n", "line 1: serial code 300 is outside 0 .. 255"},
        {"map 1 M 0 u8 0 2\n", "line 1: rows 0 is outside 1 .. 255"},
        {"value 1 A 0 u16 1\nvalue 2 B 1 u8 1\n", "line 2: item B overlaps item A"},
        {"value 1 A 0xFFFF u16 1\n", "line 1: item A does not fit into the memory"},
        {"packet 1 P 0 253\n", "line 1: length 253 is outside 1 .. 252"},
        {"value 1 9A 0 u8 1\n", "line 1: '9A' is not a name"},
        {"table 1 A 0\n", "line 1: unknown statement 'table'"},
        {"value 1 A 0\n", "line 1: expected: value <code> <name> <address> <type> <value>"},
        {"bytes 0xFFFF 1 2\n", "line 1: bytes leave the memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        std::string path = Write("bad.img", c.Text);
        char error[256] = {};
        EXPECT_EQ(Sim.Reset(path.c_str(), error, sizeof error), 0);
        EXPECT_NE(std::string(error).find(c.Error), std::string::npos) << error;
    }
    std::int32_t v = 0;
    EXPECT_TRUE(Ser->ReadData(0x05, &v)) << "a bad file keeps the image there was";
    EXPECT_EQ(v, 850);
    char error[256] = {};
    EXPECT_EQ(Sim.Reset((Dir / "missing.img").c_str(), error, sizeof error), 0);
    EXPECT_NE(std::string(error).find("cannot be opened"), std::string::npos);
}

// A copy of the library under a new name is a second, fresh simulator that reads the
// environment variable when it starts.
TEST_F(ImageTest, EnvironmentNamesTheStartImage) {
    fs::create_directories(Dir);
    auto startWith = [&](const std::string& Image, const std::string& Copy) {
        fs::copy_file(QOR_ECUSIM_FILE, Dir / Copy);
        setenv("QOR_ECUSIM_IMAGE", Image.c_str(), 1);
        auto lib = std::make_unique<TSimLibrary>((Dir / Copy).string());
        unsetenv("QOR_ECUSIM_IMAGE");
        return lib;
    };
    auto good = startWith(QOR_TEST_DATA_DIR "/small.img", "good.so");
    std::int32_t v = 0;
    EXPECT_TRUE(good->GetValue(0x11, 0, &v));
    EXPECT_EQ(v, 900);

    auto bad = startWith(Write("bad.img", "value 1 A 0 u8 999\n"), "bad.so");
    auto create =
        reinterpret_cast<TCreateClassInstance>(dlsym(bad->Handle(), CreateClassInstanceName));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create(), nullptr) << "a library with a bad image makes no object";
}

} // namespace
} // namespace qor::test
