// The reader on a file with every block it keeps (and some it skips), on the lexical
// forms of strings and numbers, on /include, and on every kind of malformed input.

#include "../framework/TempDir.h"
#include "a2l/A2lReader.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace qor::a2l;

namespace {

// A module around Body; Body starts on line 4.
std::string Module(const std::string& Body) {
    return "ASAP2_VERSION 1 71\n/begin PROJECT P \"\"\n/begin MODULE M \"\"\n" + Body +
           "\n/end MODULE\n/end PROJECT\n";
}

TModule ReadModule(const std::string& Body) {
    TProject p = ReadA2lText(Module(Body), "test.a2l");
    EXPECT_EQ(p.Modules.size(), 1u);
    return p.Modules.at(0);
}

void Write(const std::string& Path, const std::string& Text) {
    std::ofstream(Path) << Text;
}

} // namespace

TEST(A2lReader, EveryBlockOfTheFixture) {
    const TProject p = ReadA2l(QOR_TEST_DATA_DIR "/blocks.a2l");
    EXPECT_EQ(p.Name, "Engine");
    EXPECT_EQ(p.VersionMinor, 61);
    ASSERT_EQ(p.Modules.size(), 1u);
    const TModule& m = p.Modules[0];
    EXPECT_EQ(m.ModCommon.ByteOrder, TByteOrder::MsbFirst);
    EXPECT_EQ(m.ModCommon.AlignmentWord, 2);
    EXPECT_EQ(m.ModPar.Epk, "EPK_1.0");
    EXPECT_EQ(m.ModPar.AddrEpk, (std::vector<std::uint32_t>{0x1F00, 0x2F00}));
    ASSERT_EQ(m.ModPar.MemorySegments.size(), 1u);
    EXPECT_EQ(m.ModPar.MemorySegments[0].Address, 0x4000u);
    EXPECT_EQ(m.ModPar.MemorySegments[0].Size, 0x1000u);

    ASSERT_EQ(m.Transports.size(), 2u);
    EXPECT_FALSE(m.Transports[0].Tcp);
    EXPECT_EQ(m.Transports[0].Port, 5555);
    EXPECT_EQ(m.Transports[0].Address, "127.0.0.1");
    EXPECT_TRUE(m.Transports[1].Tcp);
    EXPECT_EQ(m.Transports[1].HostName, "ecu.local");

    const TCharacteristic* idle = m.FindCharacteristic("Idle");
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->Type, TCharacteristicType::Value);
    EXPECT_EQ(idle->Address, 0x4000u);
    EXPECT_EQ(idle->Deposit, "RL_UW");
    EXPECT_EQ(idle->Conversion, "CM_Lin");
    EXPECT_EQ(idle->Limits.Lower, 500);
    EXPECT_EQ(idle->Limits.Upper, 2000);
    EXPECT_EQ(idle->AddressExtension, 1);
    EXPECT_EQ(idle->BitMask, 0x0FF0u);
    ASSERT_TRUE(idle->ExtendedLimits);
    EXPECT_EQ(idle->ExtendedLimits->Upper, 3000);
    EXPECT_EQ(idle->Format, "%6.1");
    EXPECT_EQ(idle->PhysUnit, "rpm");
    EXPECT_TRUE(idle->ReadOnly);
    EXPECT_EQ(idle->ByteOrder, TByteOrder::MsbLast);

    const TAxisDescr& curveAxis = m.FindCharacteristic("Curve1")->Axes.at(0);
    EXPECT_EQ(curveAxis.Attribute, TAxisAttribute::Std);
    EXPECT_EQ(curveAxis.MaxAxisPoints, 8);
    EXPECT_EQ(curveAxis.ExtendedLimits->Lower, -1);
    EXPECT_EQ(curveAxis.PhysUnit, "1/min");
    EXPECT_TRUE(curveAxis.ReadOnly);
    EXPECT_EQ(curveAxis.ByteOrder, TByteOrder::MsbFirst);

    const TCharacteristic* map1 = m.FindCharacteristic("Map1");
    ASSERT_EQ(map1->Axes.size(), 2u);
    EXPECT_EQ(map1->Axes[0].Attribute, TAxisAttribute::Com);
    EXPECT_EQ(map1->Axes[0].AxisPtsRef, "SpeedPts");
    ASSERT_TRUE(map1->Axes[1].FixPar);
    EXPECT_EQ(map1->Axes[1].FixPar->Offset, 10);
    EXPECT_EQ(map1->Axes[1].FixPar->Shift, 2);
    EXPECT_EQ(map1->Axes[1].FixPar->Count, 4);
    const TCharacteristic* map2 = m.FindCharacteristic("Map2");
    ASSERT_TRUE(map2->Axes[0].FixParDist);
    EXPECT_EQ(map2->Axes[0].FixParDist->Distance, 2.5);
    EXPECT_EQ(map2->Axes[1].FixParList, (std::vector<double>{1, 2.5, -4}));

    EXPECT_EQ(m.FindCharacteristic("Blk")->MatrixDim, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(m.FindCharacteristic("Blk2")->Number, 6);
    EXPECT_EQ(m.FindCharacteristic("Text")->Type, TCharacteristicType::Other);
    EXPECT_EQ(m.FindCharacteristic("Text")->TypeName, "ASCII");

    const TAxisPts* pts = m.FindAxisPts("SpeedPts");
    ASSERT_TRUE(pts);
    EXPECT_EQ(pts->Address, 0x5000u);
    EXPECT_EQ(pts->Deposit, "RL_Axis");
    EXPECT_EQ(pts->MaxAxisPoints, 16);
    EXPECT_EQ(pts->AddressExtension, 2);
    EXPECT_EQ(pts->ExtendedLimits->Upper, 9000);
    EXPECT_EQ(pts->Format, "%4.0");
    EXPECT_TRUE(pts->ReadOnly);
    EXPECT_EQ(pts->ByteOrder, TByteOrder::MsbLast);

    const TRecordLayout* rlMap = m.FindRecordLayout("RL_Map");
    EXPECT_EQ(rlMap->FncValues->Type, TDataType::SByte);
    EXPECT_EQ(rlMap->FncValues->IndexMode, TIndexMode::ColumnDir);
    EXPECT_EQ(rlMap->FncValues->Addressing, "DIRECT");
    const TRecordLayout* rlAxis = m.FindRecordLayout("RL_Axis");
    EXPECT_FALSE(rlAxis->FncValues);
    EXPECT_EQ(rlAxis->NoAxisPtsX->Type, TDataType::UByte);
    EXPECT_EQ(rlAxis->AxisPtsX->Position, 2);
    EXPECT_EQ(rlAxis->AxisPtsX->Type, TDataType::UWord);
    EXPECT_FALSE(rlAxis->AxisPtsX->Increasing);
    EXPECT_EQ(rlAxis->NoAxisPtsY->Position, 3);
    EXPECT_EQ(rlAxis->AxisPtsY->Type, TDataType::SWord);
    EXPECT_EQ(rlAxis->OtherEntries, (std::vector<std::string>{"SRC_ADDR_X"}));
    EXPECT_TRUE(rlAxis->StaticLayout);
    EXPECT_FALSE(rlMap->StaticLayout);

    EXPECT_EQ(m.FindCompuMethod("CM_Ident")->Type, TConversionType::Identical);
    const TCompuMethod* lin = m.FindCompuMethod("CM_Lin");
    EXPECT_EQ(lin->Type, TConversionType::Linear);
    EXPECT_EQ(lin->CoeffsLinear, (std::array<double, 2>{0.5, -40}));
    EXPECT_EQ(lin->RefUnit, "U_rpm");
    EXPECT_EQ(lin->Unit, "rpm");
    EXPECT_EQ(lin->Format, "%6.2");
    EXPECT_EQ(m.FindCompuMethod("CM_Rat")->Coeffs, (std::array<double, 6>{0, 2, 1, 0, 0, 4}));
    EXPECT_EQ(m.FindCompuMethod("CM_Tab")->CompuTabRef, "T_Tab");
    EXPECT_EQ(m.FindCompuMethod("CM_NoIntp")->Type, TConversionType::TabNoIntp);
    EXPECT_EQ(m.FindCompuMethod("CM_Verb")->Type, TConversionType::TabVerb);
    const TCompuMethod* form = m.FindCompuMethod("CM_Form");
    EXPECT_EQ(form->Formula, "X1 * 2");
    EXPECT_EQ(form->FormulaInv, "X1 / 2");

    const TCompuTab* tab = m.FindCompuTab("T_Tab");
    EXPECT_EQ(tab->In, (std::vector<double>{0, 100, 200}));
    EXPECT_EQ(tab->Out, (std::vector<double>{0, 50, 150.5}));
    EXPECT_EQ(tab->DefaultNumeric, -1);
    EXPECT_EQ(m.FindCompuTab("T_NoIntp")->Type, TConversionType::TabNoIntp);
    const TCompuTab* verb = m.FindCompuTab("T_Verb");
    EXPECT_EQ(verb->TabKind, TCompuTab::Kind::Verbal);
    EXPECT_EQ(verb->Texts, (std::vector<std::string>{"off", "on", "say \"auto\""}));
    EXPECT_EQ(verb->DefaultValue, "?");
    const TCompuTab* range = m.FindCompuTab("T_Range");
    EXPECT_EQ(range->TabKind, TCompuTab::Kind::VerbalRange);
    EXPECT_EQ(range->In, (std::vector<double>{0, 10}));
    EXPECT_EQ(range->InMax, (std::vector<double>{9, 255}));
    EXPECT_EQ(range->Texts[1], "high \"x\"");

    EXPECT_EQ(m.FindUnit("U_rpm")->Display, "1/min");
    const TMeasurement* speed = m.FindMeasurement("EngineSpeed");
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->Type, TDataType::UWord);
    EXPECT_EQ(speed->Address, 0x800u);
    EXPECT_EQ(speed->BitMask, 0xFFFFu);
    EXPECT_EQ(speed->ByteOrder, TByteOrder::MsbFirst);
    EXPECT_EQ(speed->ArraySize, 2);
    EXPECT_EQ(speed->MatrixDim, (std::vector<int>{2}));
    EXPECT_TRUE(speed->ReadWrite);
}

TEST(A2lReader, ByteOrderSpellings) {
    const std::pair<const char*, TByteOrder> cases[] = {
        {"MSB_FIRST", TByteOrder::MsbFirst},          {"MSB_LAST", TByteOrder::MsbLast},
        {"BIG_ENDIAN", TByteOrder::MsbFirst},         {"LITTLE_ENDIAN", TByteOrder::MsbLast},
        {"MSB_FIRST_MSW_LAST", TByteOrder::MsbFirst}, {"MSB_LAST_MSW_FIRST", TByteOrder::MsbLast}};
    for (const auto& [word, order] : cases) {
        const TModule m = ReadModule(std::string("/begin MOD_COMMON \"\" BYTE_ORDER ") + word +
                                     " /end MOD_COMMON");
        EXPECT_EQ(m.ModCommon.ByteOrder, order) << word;
    }
}

TEST(A2lReader, StringsNumbersAndComments) {
    struct Case {
        const char* Written;
        const char* Text;
    };
    const Case strings[] = {{R"("plain")", "plain"},
                            {R"("a ""quoted"" word")", "a \"quoted\" word"},
                            {R"("a \"quoted\" word")", "a \"quoted\" word"},
                            {R"("back\\slash")", "back\\slash"},
                            {"\"two\nlines\"", "two\nlines"},
                            {R"("")", ""}};
    for (const Case& c : strings) {
        const TModule m =
            ReadModule(std::string("/begin UNIT U \"\" ") + c.Written + " DERIVED /end UNIT");
        EXPECT_EQ(m.Units.at(0).Display, c.Text) << c.Written;
    }
    const std::pair<const char*, double> numbers[] = {
        {"42", 42},   {"-7", -7},      {"+3", 3},     {"0x1F", 31},      {"0XfF", 255},
        {"1.5", 1.5}, {"-.25", -0.25}, {"1e3", 1000}, {"2.5E-2", 0.025}, {"-1.0e+2", -100}};
    for (const auto& [written, value] : numbers) {
        const TModule m = ReadModule(std::string("/begin COMPU_METHOD C \"\" LINEAR \"\" \"\" "
                                                 "COEFFS_LINEAR ") +
                                     written + " 0 /end COMPU_METHOD");
        EXPECT_EQ(m.CompuMethods.at(0).CoeffsLinear->at(0), value) << written;
    }
    const TModule m = ReadModule("/* a /begin in a comment /end X */ // and /end MODULE here\n"
                                 "/begin UNIT U /* inside */ \"\" \"d\" // line comment\n"
                                 " DERIVED /end UNIT");
    EXPECT_EQ(m.Units.at(0).Display, "d");
}

TEST(A2lReader, IncludesRelativeToTheIncludingFile) {
    qor::test::TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    Write(dir.File("main.a2l"), Module("/include \"sub/part.a2l\"\n/include tail.a2l"));
    Write(dir.File("sub/part.a2l"), "/begin UNIT A \"\" \"a\" DERIVED /end UNIT\n"
                                    "/include \"deeper.a2l\"");
    Write(dir.File("sub/deeper.a2l"), "/begin UNIT B \"\" \"b\" DERIVED /end UNIT");
    Write(dir.File("tail.a2l"), "/begin UNIT C \"\" \"c\" DERIVED /end UNIT");
    const TProject p = ReadA2l(dir.File("main.a2l"));
    const TModule& m = p.Modules.at(0);
    ASSERT_EQ(m.Units.size(), 3u);
    EXPECT_EQ(m.Units[0].Display, "a");
    EXPECT_EQ(m.Units[1].Display, "b");
    EXPECT_EQ(m.Units[2].Display, "c");
    EXPECT_EQ(p.Files.size(), 4u);
}

TEST(A2lReader, IncludeErrors) {
    qor::test::TempDir dir;
    Write(dir.File("a.a2l"), Module("/include \"b.a2l\""));
    Write(dir.File("b.a2l"), "\n  /include \"a.a2l\"");
    TReadResult r = TryReadA2l(dir.File("a.a2l"));
    EXPECT_FALSE(r.Project);
    EXPECT_EQ(r.Error, dir.File("b.a2l") + ":2:3: /include \"a.a2l\" includes itself (through " +
                           dir.File("a.a2l") + ")");

    Write(dir.File("c.a2l"), Module("/include \"missing.a2l\""));
    r = TryReadA2l(dir.File("c.a2l"));
    EXPECT_EQ(r.Error,
              dir.File("c.a2l") + ":4:1: cannot read the included file " + dir.File("missing.a2l"));

    r = TryReadA2l(dir.File("nothing.a2l"));
    EXPECT_EQ(r.Error, dir.File("nothing.a2l") + ":1:1: cannot read the file");
}

TEST(A2lReader, UnknownBlocksAndKeywordsAreSkipped) {
    const TModule m = ReadModule(
        "/begin FUNCTION F \"\" /begin SUB_FUNCTION G /end SUB_FUNCTION /end FUNCTION\n"
        "/begin IF_DATA ASAP1B_CCP /begin SOURCE \"s\" 1 2 /end SOURCE { ; } /end IF_DATA\n"
        "/begin CHARACTERISTIC C \"\" VALUE 0 RL 0 NO_COMPU_METHOD 0 1\n"
        "  DISPLAY_IDENTIFIER c MONOTONY MON_INCREASE CALIBRATION_ACCESS CALIBRATION\n"
        "  FORMAT \"%3.1\" /begin FUTURE_BLOCK 1 2 /begin X /end X /end FUTURE_BLOCK\n"
        "/end CHARACTERISTIC");
    ASSERT_EQ(m.Characteristics.size(), 1u);
    EXPECT_EQ(m.Characteristics[0].Format, "%3.1");
}

TEST(A2lReader, ErrorsNameFileLineAndColumn) {
    struct Case {
        std::string Text;
        std::string Error;
    };
    const std::string c = "/begin CHARACTERISTIC C \"\" VALUE ";
    const Case cases[] = {
        {Module("/begin UNIT U \"\" \"d\" DERIVED /end UNITS"),
         "test.a2l:4:30: /end UNITS does not close /begin UNIT (opened at test.a2l:4:1)"},
        {Module("/begin MOD_PAR \"\"\n/end MODULE"),
         "test.a2l:5:1: /end MODULE does not close /begin MOD_PAR (opened at test.a2l:4:1)"},
        {Module(c + "0 RL 0 NO_COMPU_METHOD 0\n/end CHARACTERISTIC"),
         "test.a2l:5:1: missing upper limit of CHARACTERISTIC (found /end CHARACTERISTIC)"},
        {Module(c + "0x12G RL 0 NO_COMPU_METHOD 0 1 /end CHARACTERISTIC"),
         "test.a2l:4:34: address of CHARACTERISTIC: bad number '0x12G' (an integer is expected)"},
        {Module(c + "0 RL 0 NO_COMPU_METHOD 0 1.2.3 /end CHARACTERISTIC"),
         "test.a2l:4:59: upper limit of CHARACTERISTIC: bad number '1.2.3'"},
        {Module(c + "0 RL 0 NO_COMPU_METHOD 0 1 BIT_MASK zz /end CHARACTERISTIC"),
         "test.a2l:4:70: BIT_MASK: bad number 'zz'"},
        {Module(c + "0 RL 0 NO_COMPU_METHOD 0 1 /end CHARACTERISTIC\n" + c +
                "0 RL 0 NO_COMPU_METHOD 0 1 /end CHARACTERISTIC"),
         "test.a2l:5:1: CHARACTERISTIC C is defined twice in module M"},
        {"ASAP2_VERSION 1 71\n/begin PROJECT P \"\"\n/begin MODULE M \"\"\n/begin UNIT U",
         "test.a2l:4:14: the file ends inside /begin UNIT (opened at test.a2l:4:1)"},
        {"/begin PROJECT P \"\" /begin MODULE M \"\"",
         "test.a2l:1:39: the file ends inside /begin MODULE (opened at test.a2l:1:21)"},
        {"/begin PROJECT P \"\" /begin MODULE M \"\" /begin GROUP G \"\" /begin X",
         "test.a2l:1:66: the file ends inside /begin X (opened at test.a2l:1:58)"},
        {Module("/begin UNIT U \"open string DERIVED /end UNIT"),
         "test.a2l:4:15: string not closed before the end of the file"},
        {Module("/* open comment"), "test.a2l:4:1: comment not closed before the end of the file"},
        {Module("/begin\n"), "test.a2l:4:1: /begin without a block name"},
        {Module("/begin COMPU_METHOD C \"\" SPLINE \"\" \"\" /end COMPU_METHOD"),
         "test.a2l:4:26: unknown conversion type 'SPLINE'"},
        {Module("/begin RECORD_LAYOUT R FNC_VALUES 1 UINT ROW_DIR DIRECT /end RECORD_LAYOUT"),
         "test.a2l:4:37: unknown data type 'UINT' in FNC_VALUES"},
        {Module("/begin MOD_COMMON \"\" BYTE_ORDER MIDDLE /end MOD_COMMON"),
         "test.a2l:4:33: unknown byte order 'MIDDLE'"},
        {Module("/begin COMPU_TAB T \"\" TAB_INTP 200000 /end COMPU_TAB"),
         "test.a2l:4:32: number of entries of COMPU_TAB: 200000 is outside 0 .. 100000"},
        {Module("/begin COMPU_TAB T \"\" TAB_INTP 2 0 1 /end COMPU_TAB"),
         "test.a2l:4:38: missing input value of COMPU_TAB (found /end COMPU_TAB)"},
        {Module("/begin UNIT 7 \"\" \"\" DERIVED /end UNIT"),
         "test.a2l:4:13: name of UNIT must be a name, not '7'"},
        {Module("/begin UNIT U \"\" u DERIVED /end UNIT"),
         "test.a2l:4:18: display of UNIT must be a string in quotes, not 'u'"},
        {"ASAP2_VERSION 2 0\n/begin PROJECT P \"\" /end PROJECT",
         "test.a2l:1:1: ASAP2 version 2.0 is not read (1.50 to 1.7x are)"},
        {"/end PROJECT", "test.a2l:1:1: /end PROJECT without a /begin"},
        {"ASAP2_VERSION 1 71", "test.a2l:1:19: no /begin PROJECT in the file"},
    };
    for (const Case& k : cases) {
        const TReadResult r = TryReadA2lText(k.Text, "test.a2l");
        EXPECT_FALSE(r.Project) << k.Text;
        EXPECT_EQ(r.Error, k.Error) << k.Text;
    }
}

TEST(A2lReader, NestingAndListsAreBounded) {
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "/begin X ";
    TReadResult r = TryReadA2lText(Module(deep), "test.a2l");
    EXPECT_EQ(r.Error, "test.a2l:4:271: blocks nested deeper than 32");

    std::string list =
        "/begin AXIS_DESCR FIX_AXIS X NO_COMPU_METHOD 3 0 1 /begin FIX_AXIS_PAR_LIST";
    for (int i = 0; i < 11; ++i)
        list += " 1";
    TReaderLimits limits;
    limits.ListItems = 10;
    r = TryReadA2lText(Module("/begin CHARACTERISTIC C \"\" CURVE 0 RL 0 NO_COMPU_METHOD 0 1\n" +
                              list + " /end FIX_AXIS_PAR_LIST /end AXIS_DESCR /end CHARACTERISTIC"),
                       "test.a2l", limits);
    EXPECT_EQ(r.Error, "test.a2l:5:97: FIX_AXIS_PAR_LIST longer than 10");

    limits = {};
    limits.Items = 2;
    r = TryReadA2lText(Module("/begin UNIT A \"\" \"\" DERIVED /end UNIT\n"
                              "/begin UNIT B \"\" \"\" DERIVED /end UNIT\n"
                              "/begin UNIT C \"\" \"\" DERIVED /end UNIT"),
                       "test.a2l", limits);
    EXPECT_EQ(r.Error, "test.a2l:6:1: more than 2 UNIT blocks");
}
