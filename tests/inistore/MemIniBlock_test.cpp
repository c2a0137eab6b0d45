#include "RawBlock.h"
#include "inistore/MemIniBlock.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace qor {
namespace {

using test::RawBlock;

std::size_t SizeOf(const std::string& Bytes) {
    return MemIniLengthSize + Bytes.size();
}

TEST(MemIniBlockTest, NewBlockHoldsLengthTextAndZeroByte) {
    const std::string text(300, 'x'); // a length above 255 checks the byte order
    TMemIniBlock block(text);
    const std::uint8_t* bytes = block.Get();
    EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{0x2C, 0x01, 0, 0}));
    EXPECT_EQ(MemIniBlockLength(bytes), 300);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 4, 300), text);
    EXPECT_EQ(bytes[304], 0);

    TMemIniBlock empty("");
    EXPECT_EQ(std::vector<int>(empty.Get(), empty.Get() + 5), (std::vector<int>(5, 0)));
}

// Text of blocks read with their size: nothing past the block is read, whatever the
// length field says.
TEST(MemIniBlockTest, TextOfASizedBlockStaysInsideIt) {
    const struct {
        const char* Name;
        std::int32_t Length;
        std::string Bytes;
        std::string Expected;
    } cases[] = {
        {"exact length, zero byte", 3, std::string("abc\0", 4), "abc"},
        {"exact length, no zero byte", 3, "abc", "abc"},
        {"shorter length", 2, "abc", "ab"},
        {"negative, zero byte inside", -1, std::string("ab\0cd", 5), "ab"},
        {"negative, no zero byte", -1, "abcd", "abcd"},
        {"most negative", INT32_MIN, "abcd", "abcd"},
        {"too large", 1000, "abcd", "abcd"},
        {"largest", INT32_MAX, "abcd", "abcd"},
        {"no text", 0, "", ""},
        {"negative, no text", -5, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TMemIniBlock block = RawBlock(c.Length, c.Bytes);
        EXPECT_EQ(MemIniBlockText(block.Get(), SizeOf(c.Bytes)), c.Expected);
    }

    TMemIniBlock shortBlock(AllocMemIniBlock(3)); // too short for the length field
    EXPECT_EQ(MemIniBlockText(shortBlock.Get(), 3), "");
    EXPECT_EQ(MemIniBlockText(nullptr, 100), "");
}

// Without a size the length field is trusted; a negative one reads to the first zero byte.
TEST(MemIniBlockTest, TextOfAnUnsizedBlockFollowsTheLengthField) {
    TMemIniBlock negative = RawBlock(-1, std::string("ab\0cd", 5));
    EXPECT_EQ(MemIniBlockText(negative.Get()), "ab");
    TMemIniBlock shorter = RawBlock(2, "abc");
    EXPECT_EQ(MemIniBlockText(shorter.Get()), "ab");
    TMemIniBlock withZero = RawBlock(4, std::string("a\0bc", 4)); // the length wins
    EXPECT_EQ(MemIniBlockText(withZero.Get()), std::string("a\0bc", 4));
    EXPECT_EQ(MemIniBlockText(nullptr), "");
}

// Moves hand the block on exactly once; the sanitizer build reports a double free or a
// leak.
TEST(MemIniBlockTest, HolderFreesTheBlockItHoldsLast) {
    TMemIniBlock first("one");
    std::uint8_t* const one = first.Get();
    TMemIniBlock second(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), one);

    TMemIniBlock third("three");
    third = std::move(second); // frees "three"
    EXPECT_EQ(third.Get(), one);

    second.Ref() = NewMemIniBlock("set through the variable");
    EXPECT_EQ(MemIniBlockText(second.Get()), "set through the variable");

    std::uint8_t* released = third.Release();
    EXPECT_EQ(third.Get(), nullptr);
    third.Reset(released);
    EXPECT_EQ(MemIniBlockText(third.Get()), "one");
}

} // namespace
} // namespace qor
