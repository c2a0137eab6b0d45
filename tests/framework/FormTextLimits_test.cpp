// The text form reader on hand-edited input at its limits: nesting far too deep for any
// real form, integers at and beyond 64 bits, integers too large for their property.

#include "framework/Filer.h"
#include "framework/FormStreaming.h"
#include "framework/FormText.h"
#include "framework/Properties.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace qor {
namespace {

class TCounter : public TComponent {
public:
    using TComponent::TComponent;
    int Count() const { return FCount; }
    void SetCount(int Value) { FCount = Value; }
    static void Publish(TPublisher<TCounter>& P) {
        P.Integer("Count", &TCounter::Count, &TCounter::SetCount);
    }

private:
    int FCount = 0;
};

std::string Repeat(const std::string& Piece, int Times) {
    std::string out;
    for (int i = 0; i < Times; ++i)
        out += Piece;
    return out;
}

std::string NestedLists(int Depth) {
    return "object A: TCounter\n  Count = " + Repeat("(", Depth) + "1" + Repeat(")", Depth) +
           "\nend\n";
}

std::string NestedObjects(int Depth) {
    return Repeat("object A: TCounter\n", Depth) + Repeat("end\n", Depth);
}

TEST(FormTextLimits, NestingTooDeepIsAnErrorWithItsPosition) {
    struct TCase {
        const char* Name;
        std::string Text;
        int Line, Column;
    };
    const TCase cases[] = {
        // The object is the first level; the 200th list begins at column 10 + 200.
        {"lists 4,500 deep", NestedLists(4500), 2, 10 + 200},
        {"lists 100,000 deep", NestedLists(100000), 2, 10 + 200},
        {"objects 6,000 deep", NestedObjects(6000), 201, 1},
        {"collections", "object A: TCounter\n  Count = " + Repeat("< item X = ", 300), 2, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            ParseFormText(c.Text);
            ADD_FAILURE() << "no error";
        } catch (const EReadError& e) {
            EXPECT_NE(std::string(e.what()).find("nested more than 200 levels"), std::string::npos)
                << e.what();
            EXPECT_EQ(e.Line(), c.Line);
            if (c.Column > 0) {
                EXPECT_EQ(e.Column(), c.Column);
            }
        }
    }
    // Nesting that real forms might use is read.
    EXPECT_NO_THROW(ParseFormText(NestedLists(150)));
    EXPECT_NO_THROW(ParseFormText(NestedObjects(150)));
}

TEST(FormTextLimits, IntegersAtAndBeyondSixtyFourBits) {
    constexpr std::int64_t Min = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
    struct TCase {
        const char* Text;
        bool Ok;
        std::int64_t Value;
    };
    const TCase cases[] = {
        {"-$8000000000000000", true, Min},
        {"-$7FFFFFFFFFFFFFFF", true, -Max},
        {"$7FFFFFFFFFFFFFFF", true, Max},
        {"$FFFFFFFFFFFFFFFF", true, -1}, // a 64-bit pattern keeps its bits
        {"-$8000000000000001", false, 0},
        {"-$FFFFFFFFFFFFFFFF", false, 0},
        {"$10000000000000000", false, 0},
        {"-9223372036854775808", true, Min},
        {"9223372036854775807", true, Max},
        {"9223372036854775808", false, 0},
        {"-9223372036854775809", false, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        const std::string text = std::string("object A: TCounter\n  Count = ") + c.Text + "\nend\n";
        if (!c.Ok) {
            EXPECT_THROW(ParseFormText(text), EReadError);
            continue;
        }
        const TFormNode node = ParseFormText(text);
        ASSERT_EQ(node.Properties.size(), 1u);
        EXPECT_EQ(node.Properties[0].Value.As<std::int64_t>(), c.Value);
    }
}

TEST(FormTextLimits, IntegerPropertyRefusesWhatItCannotHold) {
    RegisterClass<TCounter>("TCounter");
    struct TCase {
        const char* Text;
        bool Ok;
        int Count;
    };
    const TCase cases[] = {
        {"-2147483648", true, std::numeric_limits<int>::min()},
        {"$FFFFFFFF", true, -1}, // a 32-bit pattern
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"-$8000000000000000", false, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        const std::string text = std::string("object A: TCounter\n  Count = ") + c.Text + "\nend\n";
        if (!c.Ok) {
            try {
                ReadComponentText(text);
                ADD_FAILURE() << "no error";
            } catch (const EReadError& e) {
                EXPECT_EQ(e.Line(), 2);
                EXPECT_EQ(e.Column(), 3);
            }
            continue;
        }
        const auto root = ReadComponentText(text);
        EXPECT_EQ(static_cast<TCounter&>(*root).Count(), c.Count);
    }
    // The most negative 64-bit integer is read without overflow, and does not fit an int.
    EXPECT_THROW(LoadComponentFromFile(QOR_TEST_DATA_DIR "/negated-int64-min.qfm"), EReadError);
}

} // namespace
} // namespace qor
