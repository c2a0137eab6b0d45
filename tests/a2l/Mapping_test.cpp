// The mapping onto the data components, checked through the generated form: each
// conversion kind converts raw to physical as the file's formula or table does (at the
// ends of each type's range too) and back, and every item QorCal cannot hold is reported
// with its reason.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"
#include "controls/KeyComboBox.h"
#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "map3d/Qor3DMap.h"

#include <functional>
#include <gtest/gtest.h>

using namespace qor;
using namespace qor::a2l;

namespace {

std::string Module(const std::string& Body) {
    return "ASAP2_VERSION 1 71\n/begin PROJECT P \"\"\n/begin MODULE Ecu \"\"\n"
           "/begin MOD_COMMON \"\" BYTE_ORDER MSB_LAST /end MOD_COMMON\n" +
           Body + "\n/end MODULE\n/end PROJECT\n";
}

TMapping Map(const std::string& Body) {
    return MapProject(ReadA2lText(Module(Body), "test.a2l"));
}

std::string Layout(const std::string& Name, const std::string& Type) {
    return "/begin RECORD_LAYOUT " + Name + " FNC_VALUES 1 " + Type +
           " ROW_DIR DIRECT /end RECORD_LAYOUT\n";
}

// One VALUE characteristic C of Type with conversion CM (Method) and its tables.
std::string Value(const std::string& Type, const std::string& Method, const std::string& Extra = "",
                  const std::string& Keywords = "FORMAT \"%12.6\"") {
    return "/begin CHARACTERISTIC C \"\" VALUE 0x100 RL 0 CM -1e9 1e9 " + Keywords +
           " /end CHARACTERISTIC\n" + Layout("RL", Type) + "/begin COMPU_METHOD CM " + Method +
           " /end COMPU_METHOD\n" + Extra;
}

std::unique_ptr<TComponent> Load(const TMapping& M) {
    return ReadComponentText(M.FormText());
}

template <class T> T& Get(const TComponent& Form, const std::string& Name) {
    T* c = dynamic_cast<T*>(Form.FindComponent(Name));
    if (!c)
        throw std::runtime_error("no component " + Name);
    return *c;
}

} // namespace

TEST(A2lMapping, EveryConversionKindThroughTheGeneratedComponent) {
    struct Case {
        const char* Name;
        const char* Type;
        std::string Method;
        std::string Tables;
        std::vector<int> Raw;
        std::function<double(int)> Physical;
    };
    const auto tab = [](double r, std::vector<std::pair<double, double>> t) {
        for (std::size_t k = 1; k < t.size(); ++k)
            if ((t[k].first >= r) == (t.back().first > t.front().first) || k + 1 == t.size())
                return t[k - 1].second + (t[k].second - t[k - 1].second) * (r - t[k - 1].first) /
                                             (t[k].first - t[k - 1].first);
        return 0.0;
    };
    const Case cases[] = {
        {"identical UBYTE",
         "UBYTE",
         "\"\" IDENTICAL \"\" \"\"",
         "",
         {0, 1, 128, 255},
         [](int r) { return r; }},
        {"identical SWORD",
         "SWORD",
         "\"\" IDENTICAL \"\" \"\"",
         "",
         {-32768, -1, 0, 32767},
         [](int r) { return r; }},
        {"linear UBYTE",
         "UBYTE",
         "\"\" LINEAR \"\" \"\" COEFFS_LINEAR 0.5 -40",
         "",
         {0, 1, 80, 255},
         [](int r) { return 0.5 * r - 40; }},
        {"linear SWORD falling",
         "SWORD",
         "\"\" LINEAR \"\" \"\" COEFFS_LINEAR -0.01 2",
         "",
         {-32768, 0, 32767},
         [](int r) { return -0.01 * r + 2; }},
        {"rational, linear in both directions",
         "UWORD",
         "\"\" RAT_FUNC \"\" \"\" COEFFS 0 4 8 0 0 2",
         "",
         {0, 4, 65535},
         [](int r) { return (r - 4) / 2.0; }},
        {"rational with a divisor",
         "UBYTE",
         "\"\" RAT_FUNC \"\" \"\" COEFFS 0 1 0 0 0.01 1",
         "",
         {0, 1, 50, 99},
         [](int r) { return r / (1 - 0.01 * r); }},
        {"rational SBYTE",
         "SBYTE",
         "\"\" RAT_FUNC \"\" \"\" COEFFS 0 2 0 0 0 1",
         "",
         {-128, -1, 0, 127},
         [](int r) { return r / 2.0; }},
        {"interpolated table UBYTE",
         "UBYTE",
         "\"\" TAB_INTP \"\" \"\" COMPU_TAB_REF T",
         "/begin COMPU_TAB T \"\" TAB_INTP 3 0 -40 100 10 255 87.5 /end COMPU_TAB",
         {0, 50, 100, 200, 255},
         [&](int r) {
             return tab(r, {{0, -40}, {100, 10}, {255, 87.5}});
         }},
        {"interpolated falling table SWORD",
         "SWORD",
         "\"\" TAB_INTP \"\" \"\" COMPU_TAB_REF T",
         "/begin COMPU_TAB T \"\" TAB_INTP 3 -32768 100 0 0 32767 -100 /end COMPU_TAB",
         {-32768, -16384, 0, 32767},
         [&](int r) {
             return tab(r, {{-32768, 100}, {0, 0}, {32767, -100}});
         }},
        {"table without interpolation SBYTE",
         "SBYTE",
         "\"\" TAB_NOINTP \"\" \"\" COMPU_TAB_REF T",
         "/begin COMPU_TAB T \"\" TAB_NOINTP 3 -128 -1 0 0 127 1 /end COMPU_TAB",
         {-128, 0, 127},
         [](int r) { return r < 0   ? -1
                            : r > 0 ? 1
                                    : 0; }},
        {"verbal table UWORD: the text's index",
         "UWORD",
         "\"\" TAB_VERB \"\" \"\" COMPU_TAB_REF V",
         "/begin COMPU_VTAB V \"\" TAB_VERB 3 0 \"off\" 1 \"on\" 65535 \"fault\" /end COMPU_VTAB",
         {0, 1, 65535},
         [](int r) { return r == 65535 ? 2 : r; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TMapping m = Map(Value(c.Type, c.Method, c.Tables));
        ASSERT_TRUE(m.NotHeld.empty()) << m.Report();
        std::unique_ptr<TComponent> form = Load(m);
        TQorNumber& n = Get<TQorNumber>(*form, "C");
        for (int raw : c.Raw) {
            EXPECT_NEAR(n.EcuToUser(raw), c.Physical(raw), 1e-6) << "raw " << raw;
            EXPECT_EQ(n.UserToEcu(c.Physical(raw), nullptr), raw) << "raw " << raw;
        }
    }
}

// The masked bits keep their place in QorCal's raw value; the file's conversion takes
// them shifted down, so the coefficients and tables are scaled to match.
TEST(A2lMapping, BitMaskNarrowsTheMaskAndKeepsTheConversion) {
    const TMapping m = Map(Value("UWORD", "\"\" LINEAR \"\" \"\" COEFFS_LINEAR 2 1", "",
                                 "BIT_MASK 0x0F00 FORMAT \"%8.3\""));
    std::unique_ptr<TComponent> form = Load(m);
    TQorNumber& n = Get<TQorNumber>(*form, "C");
    EXPECT_EQ(n.DataMask(), 0x0F00);
    EXPECT_EQ(n.EcuToUser(0x0300), 7.0);
    EXPECT_EQ(n.EcuToUser(0xF3FF), 7.0) << "bits outside the mask do not count";
    EXPECT_EQ(n.EcuToUser(0x0F00), 31.0);
    EXPECT_EQ(n.UserToEcu(7.0, nullptr), 0x0300);

    const TMapping v = Map(Value(
        "UBYTE", "\"\" TAB_VERB \"\" \"\" COMPU_TAB_REF V",
        "/begin COMPU_VTAB V \"\" TAB_VERB 2 0 \"a\" 3 \"b\" /end COMPU_VTAB", "BIT_MASK 0x30"));
    form = Load(v);
    TQorNumber& verbal = Get<TQorNumber>(*form, "C");
    EXPECT_EQ(verbal.EcuToUser(0x30), 1.0);
    EXPECT_EQ(verbal.UserToEcu(1.0, nullptr), 0x30);
    TKeyComboBox& texts = Get<TKeyComboBox>(*form, "CTexts");
    EXPECT_EQ(texts.Items()->Count(), 2);
    EXPECT_EQ((*texts.Items())[1], "b");
    EXPECT_EQ(texts.DataCode(), verbal.SerialCode());
}

TEST(A2lMapping, WhatIsNotHeldAndWhy) {
    const std::string lin = "\"\" LINEAR \"\" \"\" COEFFS_LINEAR 1 0";
    struct Case {
        std::string Body;
        std::string Reason;
    };
    const Case cases[] = {
        {Value("ULONG", lin), "element type ULONG is wider than 2 bytes"},
        {Value("A_INT64", lin), "element type A_INT64 is wider than 2 bytes"},
        {Value("FLOAT32_IEEE", lin), "element type FLOAT32_IEEE is a floating-point type"},
        {Value("UWORD", "\"\" FORM \"\" \"\" /begin FORMULA \"X1*2\" /end FORMULA"),
         "FORM conversion CM (a formula) is not held"},
        {Value("UWORD", "\"\" RAT_FUNC \"\" \"\" COEFFS 1 2 0 0 0 1"),
         "RAT_FUNC conversion CM has quadratic terms (a or d not 0); only (b p + c) / (e p + f) "
         "is held"},
        {Value("UWORD", "\"\" RAT_FUNC \"\" \"\" COEFFS 0 2 1 0 4 2"),
         "RAT_FUNC conversion CM does not depend on the physical value"},
        {Value("UWORD", "\"\" LINEAR \"\" \"\""), "LINEAR conversion CM has no COEFFS_LINEAR"},
        {Value("UWORD", "\"\" TAB_INTP \"\" \"\" COMPU_TAB_REF T",
               "/begin COMPU_TAB T \"\" TAB_INTP 3 0 0 10 5 20 5 /end COMPU_TAB"),
         "table T of TAB_INTP conversion CM is not strictly monotonic in both columns (needs 2 "
         "points or more)"},
        {Value("UWORD", "\"\" TAB_INTP \"\" \"\" COMPU_TAB_REF Gone"),
         "TAB_INTP conversion CM names no table (COMPU_TAB_REF Gone)"},
        {Value("UBYTE", "\"\" TAB_VERB \"\" \"\" COMPU_TAB_REF R",
               "/begin COMPU_VTAB_RANGE R \"\" 1 0 9 \"low\" /end COMPU_VTAB_RANGE"),
         "COMPU_VTAB_RANGE R gives one text to a range of values; a key combo box needs one "
         "value per text"},
        {Value("UBYTE", lin, "", "BIT_MASK 0x81"), "BIT_MASK 0x81 is not one run of bits"},
        {Value("UBYTE", lin, "", "BIT_MASK 0x100"), "BIT_MASK 0x100 does not fit the element type"},
        {Value("SBYTE", lin, "", "BIT_MASK 0x0F"), "a signed bit field (BIT_MASK 0xF) is not held"},
        {Value("UBYTE", lin, "", "BYTE_ORDER MSB_FIRST"),
         "its BYTE_ORDER differs from the module's (one byte order per ECU is held)"},
        {Value("UBYTE", lin, "", "ECU_ADDRESS_EXTENSION 300"),
         "address extension 300 is outside 0 .. 255"},
        {"/begin CHARACTERISTIC C \"\" VALUE 0 Nowhere 0 NO_COMPU_METHOD 0 1 /end CHARACTERISTIC",
         "record layout Nowhere is not defined"},
        {"/begin CHARACTERISTIC C \"\" ASCII 0 RL 0 NO_COMPU_METHOD 0 1 NUMBER 4 /end "
         "CHARACTERISTIC\n" +
             Layout("RL", "UBYTE"),
         "type ASCII is not held (VALUE, CURVE, MAP, VAL_BLK are)"},
        {"/begin CHARACTERISTIC C \"\" VAL_BLK 0 RL 0 NO_COMPU_METHOD 0 1 NUMBER 300 /end "
         "CHARACTERISTIC\n" +
             Layout("RL", "UBYTE"),
         "1 x 300 values (1 .. 255 rows and columns are held)"},
        {"/begin CHARACTERISTIC C \"\" VALUE 0xFFFFFFFF RL 0 NO_COMPU_METHOD 0 1 /end "
         "CHARACTERISTIC\n" +
             Layout("RL", "UWORD"),
         "it leaves the 32-bit address space"},
    };
    for (const Case& c : cases) {
        const TMapping m = Map(c.Body);
        ASSERT_EQ(m.NotHeld.size(), 1u) << c.Body << m.Report();
        EXPECT_EQ(m.NotHeld[0].Name, "C");
        EXPECT_EQ(m.NotHeld[0].Reason, c.Reason);
        EXPECT_FALSE(m.Find("C"));
        EXPECT_NE(m.Report().find("CHARACTERISTIC C: " + c.Reason), std::string::npos);
    }
}

TEST(A2lMapping, LimitsUnitPrecisionAndReadOnly) {
    const std::string units = "/begin UNIT U \"\" \"km/h\" DERIVED /end UNIT\n";
    const TMapping m =
        Map("/begin CHARACTERISTIC A \"\" VALUE 0 RL 0 CM 10 20 EXTENDED_LIMITS 0 30 READ_ONLY "
            "/end CHARACTERISTIC\n"
            "/begin CHARACTERISTIC B \"\" VALUE 2 RL 0 CM 20 10 PHYS_UNIT \"mph\" FORMAT \"%5.0\" "
            "/end CHARACTERISTIC\n"
            "/begin CHARACTERISTIC C \"\" VALUE 4 RL 0 CM2 0 0 /end CHARACTERISTIC\n" +
            Layout("RL", "UWORD") +
            "/begin COMPU_METHOD CM \"\" IDENTICAL \"%6.2\" \"m/s\" REF_UNIT U /end COMPU_METHOD\n"
            "/begin COMPU_METHOD CM2 \"\" IDENTICAL \"%6.2\" \"m/s\" /end COMPU_METHOD\n" +
            units);
    std::unique_ptr<TComponent> form = Load(m);
    TQorNumber& a = Get<TQorNumber>(*form, "A");
    EXPECT_EQ(a.ValueMin(), 0.0) << "the extended limits";
    EXPECT_EQ(a.ValueMax(), 30.0);
    EXPECT_EQ(a.MeasureUnit(), "km/h") << "the conversion's REF_UNIT";
    EXPECT_DOUBLE_EQ(a.Precision(), 0.01);
    EXPECT_TRUE(a.ReadOnly());
    TQorNumber& b = Get<TQorNumber>(*form, "B");
    EXPECT_EQ(b.ValueMin(), 10.0) << "limits in either order";
    EXPECT_EQ(b.ValueMax(), 20.0);
    EXPECT_EQ(b.MeasureUnit(), "mph");
    EXPECT_EQ(b.Precision(), 1.0) << "the characteristic's FORMAT";
    EXPECT_FALSE(b.ReadOnly());
    TQorNumber& c = Get<TQorNumber>(*form, "C");
    EXPECT_EQ(c.MeasureUnit(), "m/s");
    EXPECT_EQ(c.UserToEcu(1234, nullptr), 1234) << "limits of 0 and 0 clamp nothing";
    EXPECT_EQ(a.DataLength(), 2);
    EXPECT_EQ(a.DataMask(), 0xFFFF);
}

// A curve over an axis kept in its own record, a map over a shared axis and a fixed one,
// stored by columns; items get serial codes by name, whatever their order in the file.
TEST(A2lMapping, CurvesMapsAxesAndSerialCodes) {
    const std::string body =
        "/begin CHARACTERISTIC Warmup \"\" CURVE 0x1000 RL_Curve 0 NO_COMPU_METHOD 0 255\n"
        "  /begin AXIS_DESCR STD_AXIS Coolant CM_Temp 4 -40 215 /end AXIS_DESCR\n"
        "/end CHARACTERISTIC\n"
        "/begin CHARACTERISTIC Ignition \"\" MAP 0x2000 RL_Map 0 NO_COMPU_METHOD -30 60\n"
        "  /begin AXIS_DESCR COM_AXIS Speed NO_COMPU_METHOD 3 0 8000 AXIS_PTS_REF SpeedAxis "
        "/end AXIS_DESCR\n"
        "  /begin AXIS_DESCR FIX_AXIS Load NO_COMPU_METHOD 2 0 100 FIX_AXIS_PAR_DIST 20 30 2 "
        "/end AXIS_DESCR\n"
        "/end CHARACTERISTIC\n"
        "/begin AXIS_PTS SpeedAxis \"\" 0x3000 Speed RL_Axis 0 NO_COMPU_METHOD 3 0 8000 "
        "/end AXIS_PTS\n"
        "/begin MEASUREMENT Speed \"\" UWORD NO_COMPU_METHOD 0 0 0 8000 ECU_ADDRESS 0x800 "
        "/end MEASUREMENT\n"
        "/begin RECORD_LAYOUT RL_Curve NO_AXIS_PTS_X 1 UBYTE AXIS_PTS_X 2 SBYTE INDEX_INCR "
        "DIRECT FNC_VALUES 3 UWORD ROW_DIR DIRECT STATIC_RECORD_LAYOUT /end RECORD_LAYOUT\n"
        "/begin RECORD_LAYOUT RL_Map FNC_VALUES 1 SBYTE COLUMN_DIR DIRECT /end RECORD_LAYOUT\n"
        "/begin RECORD_LAYOUT RL_Axis AXIS_PTS_X 1 UWORD INDEX_INCR DIRECT /end RECORD_LAYOUT\n"
        "/begin COMPU_METHOD CM_Temp \"\" LINEAR \"%4.0\" \"degC\" COEFFS_LINEAR 1 -40 "
        "/end COMPU_METHOD\n";
    const TMapping m = Map(body);
    EXPECT_TRUE(m.NotHeld.empty()) << m.Report();

    const THeldItem* warmup = m.Find("Warmup");
    ASSERT_TRUE(warmup);
    EXPECT_EQ(warmup->Shape, TItemShape::Vector);
    EXPECT_EQ(warmup->Cols, 4);
    // 1 byte of count, 4 one-byte axis points, then the values aligned to 2 bytes.
    EXPECT_EQ(warmup->Address, 0x1006u);
    const THeldItem* warmupAxis = m.Find("Warmup_X");
    ASSERT_TRUE(warmupAxis);
    EXPECT_EQ(warmupAxis->Address, 0x1001u);
    EXPECT_TRUE(warmupAxis->Signed);
    EXPECT_EQ(warmup->ColRef, warmupAxis->Component);

    const THeldItem* ignition = m.Find("Ignition");
    ASSERT_TRUE(ignition);
    EXPECT_EQ(ignition->Rows, 2) << "rows along the second (Y) axis";
    EXPECT_EQ(ignition->Cols, 3) << "columns along the first (X) axis";
    EXPECT_TRUE(ignition->ColumnMajor);
    EXPECT_EQ(ignition->ColRef, "SpeedAxis");
    EXPECT_EQ(ignition->RowRef, "Ignition_Y");

    const std::string description = m.DescriptionText();
    EXPECT_NE(description.find("slave 127.0.0.1 5555 udp\nbyte_order msb_last\n"),
              std::string::npos)
        << description;
    EXPECT_NE(description.find("map    1 Ignition 0x2000 s8 2 3 col\n"), std::string::npos);
    EXPECT_NE(description.find("vector 3 SpeedAxis 0x3000 u16 3\n"), std::string::npos);
    EXPECT_NE(description.find("packet 2 Speed 0x800 2\n"), std::string::npos);
    EXPECT_NE(description.find("vector 4 Warmup 0x1006 u16 4\n"), std::string::npos);
    EXPECT_NE(description.find("vector 5 Warmup_X 0x1001 s8 4\n"), std::string::npos);

    std::unique_ptr<TComponent> form = Load(m);
    TQor3DMap& view = Get<TQor3DMap>(*form, "IgnitionView");
    EXPECT_EQ(view.Data(), &Get<TQorMatrix>(*form, "Ignition"));
    EXPECT_EQ(view.ColRef(), &Get<TQorVector>(*form, "SpeedAxis"));
    EXPECT_EQ(view.RowRef(), &Get<TQorVector>(*form, "Ignition_Y"));
    EXPECT_EQ(view.HorizontalPosition(), &Get<TQorPacketData>(*form, "Speed"));
    TQorVector& load = Get<TQorVector>(*form, "Ignition_Y");
    double v = 0;
    load.GetElementValue(1, v); // no ECU item: the read fails, the value is the held one
    EXPECT_EQ(v, 50.0) << "a fixed axis holds its values itself";
    EXPECT_EQ(Get<TQorPacketData>(*form, "Speed").DataLength(), 2);

    // The same items in another order keep their codes.
    std::string reversed;
    for (std::size_t end = body.size(); end > 0;) {
        std::size_t start = body.rfind("/begin ", end - 1);
        while (start != std::string::npos && start > 0 && body[start - 1] != '\n')
            start = body.rfind("/begin ", start - 1);
        if (start == std::string::npos)
            start = 0;
        reversed += body.substr(start, end - start);
        end = start;
    }
    const TMapping again = Map(reversed);
    EXPECT_EQ(again.DescriptionText(), description);
}

// An item description holds 255 items: the first 255 names get codes, whatever the
// order of the file, and every other item is reported.
TEST(A2lMapping, ItemsBeyondTheSerialCodesAreReported) {
    std::string body = Layout("RL", "UBYTE");
    for (int i = 299; i >= 0; --i) {
        char name[8];
        std::snprintf(name, sizeof name, "C%03d", i);
        body += "/begin CHARACTERISTIC " + std::string(name) + " \"\" VALUE " + std::to_string(i) +
                " RL 0 NO_COMPU_METHOD 0 1 /end CHARACTERISTIC\n";
    }
    const TMapping m = Map(body);
    ASSERT_EQ(m.Items.size(), 255u);
    EXPECT_EQ(m.Items.front().A2lName, "C000");
    EXPECT_EQ(m.Items.front().Code, 1);
    EXPECT_EQ(m.Items.back().A2lName, "C254");
    EXPECT_EQ(m.Items.back().Code, 255);
    ASSERT_EQ(m.NotHeld.size(), 45u);
    for (const TNotHeld& n : m.NotHeld) {
        EXPECT_GE(n.Name, "C255");
        EXPECT_EQ(n.Reason, "no serial code left (an item description holds 255 items)");
    }
}
