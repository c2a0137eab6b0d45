#include "TempDir.h"
#include "framework/FileErrors.h"
#include "framework/IniFiles.h"
#include "framework/SysUtils.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace qor {
namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& List) {
    Lines lines;
    for (int i = 0; i < List.Count(); ++i)
        lines.push_back(List[i]);
    return lines;
}

// A store without a file, filled from INI text.
class IniText : public TIniFile {
public:
    explicit IniText(std::string_view Text) : TIniFile("") {
        TStringList lines;
        lines.SetText(Text);
        SetStrings(lines);
    }
};

std::string ReadBytes(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The data file mixes CR LF, LF and CR line ends, comments, blanks, a line before the
// first section, a section name repeated in another case and odd headers.
TEST(IniFileTest, ParsesLinesAsTheyAreStored) {
    TIniFile ini(QOR_TEST_DATA_DIR "/parsing.ini");
    TStringList list;
    ini.ReadSections(list);
    EXPECT_EQ(LinesOf(list), (Lines{"A", "a", "Spaced", ""}));
    ini.ReadSectionValues("A", list);
    EXPECT_EQ(LinesOf(list), (Lines{"x= 1", "plain line", "=empty name"}));
    ini.ReadSection("A", list);
    EXPECT_EQ(LinesOf(list), (Lines{"x", "", ""}));
    ini.ReadSectionValues("spaced", list);
    EXPECT_EQ(LinesOf(list), (Lines{"k=v=w", "["})); // a lone '[' is no header

    const struct {
        const char* Section;
        const char* Ident;
        const char* Expected;
    } reads[] = {
        {"A", "X", " 1"},               // the blank after '=' belongs to the value
        {"a", "y", "default"},          // "[a]" is found as the earlier "[A]", which has no y
        {"A", "plain line", "default"}, // a line without '=' has no name
        {"A", "", "empty name"},
        {"Spaced", "k", "v=w"},
        {"", "e", "1"},
        {"A", "orphan", "default"},
    };
    for (const auto& r : reads)
        EXPECT_EQ(ini.ReadString(r.Section, r.Ident, "default"), r.Expected)
            << r.Section << "/" << r.Ident;
}

TEST(IniFileTest, TypedReadsFallBackToTheDefault) {
    IniText ini("[T]\n"
                "hex1=0x1F\nhex2=$1F\ndec=-12\nbad=12abc\nempty=\nbig=2147483648\n"
                "spaced= 42\nwords=true\nzero=0\nminus=-1\n");
    const struct {
        const char* Ident;
        int Integer;      // default -5
        bool BoolIfFalse; // default false
        bool BoolIfTrue;  // default true
    } cases[] = {
        {"hex1", 31, true, true},   {"hex2", 31, true, true},     {"dec", -12, true, true},
        {"bad", -5, false, true},   {"empty", -5, false, true},   {"big", -5, false, true},
        {"spaced", 42, true, true}, {"words", -5, false, true},   {"zero", 0, false, false},
        {"minus", -1, true, true},  {"missing", -5, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ident);
        EXPECT_EQ(ini.ReadInteger("t", c.Ident, -5), c.Integer);
        EXPECT_EQ(ini.ReadBool("T", c.Ident, false), c.BoolIfFalse);
        EXPECT_EQ(ini.ReadBool("T", c.Ident, true), c.BoolIfTrue);
    }
    ini.WriteInteger("T", "dec", -7);
    ini.WriteBool("T", "zero", true);
    ini.WriteBool("T", "minus", false);
    EXPECT_EQ(ini.ReadString("T", "dec", ""), "-7");
    EXPECT_EQ(ini.ReadString("T", "zero", ""), "1");
    EXPECT_EQ(ini.ReadString("T", "minus", ""), "0");
}

TEST(IniFileTest, FloatsFollowTheDecimalSeparator) {
    TFormatSettingsGuard comma({',', '.'});
    IniText ini("[F]\ncomma=1,5\npoint=1.5\nexp= -2,5E-3 \nword=abc\n");
    EXPECT_EQ(ini.ReadFloat("F", "comma", -1), 1.5);
    EXPECT_EQ(ini.ReadFloat("F", "point", -1), -1);
    EXPECT_EQ(ini.ReadFloat("F", "exp", -1), -0.0025);
    EXPECT_EQ(ini.ReadFloat("F", "word", -1), -1);
    EXPECT_EQ(ini.ReadFloat("F", "missing", -1), -1);
    ini.WriteFloat("F", "new", 2.25);
    EXPECT_EQ(ini.ReadString("F", "new", ""), "2,25");
    EXPECT_EQ(ini.ReadFloat("F", "new", -1), 2.25);
}

TEST(IniFileTest, ValueAndSectionExistence) {
    IniText ini("[A]\nx=1\n[Empty]\n[B]\nplain\n[C]\nz=\n");
    const struct {
        const char* Section;
        bool Exists;
    } sections[] = {{"a", true}, {"Empty", false}, {"B", true}, {"C", true}, {"none", false}};
    for (const auto& s : sections)
        EXPECT_EQ(ini.SectionExists(s.Section), s.Exists) << s.Section;
    const struct {
        const char* Section;
        const char* Ident;
        bool Exists;
    } values[] = {{"A", "X", true}, {"A", "y", false},    {"B", "plain", false},
                  {"C", "z", true}, {"none", "x", false}, {"Empty", "x", false}};
    for (const auto& v : values)
        EXPECT_EQ(ini.ValueExists(v.Section, v.Ident), v.Exists) << v.Section << "/" << v.Ident;
}

TEST(IniFileTest, WritesReplaceInPlaceAndAppendNewSections) {
    IniText ini("[S]\na=1\nb=2\nc=3\n[Dup]\nk=first\n[dup]\nk=second\n");
    ini.WriteString("s", "B", "20");
    ini.WriteString("New", "n", "1");
    ini.DeleteKey("S", "a");
    ini.DeleteKey("S", "missing");
    ini.DeleteKey("missing", "a");
    ini.EraseSection("DUP"); // the first of the two
    ini.EraseSection("missing");

    TStringList text;
    ini.GetStrings(text);
    EXPECT_EQ(LinesOf(text),
              (Lines{"[S]", "B=20", "c=3", "", "[dup]", "k=second", "", "[New]", "n=1", ""}));
}

TEST(IniFileTest, SubSectionsAreFoundThroughBackslashes) {
    IniText ini("[A]\n[A\\B]\n[A\\B\\C]\n[a\\D]\n[AB]\n[X\\Y]\n[A\\B]\n");
    const struct {
        const char* Section;
        bool Recurse;
        Lines Sections; // ReadSections(Section)
        Lines Sub;      // ReadSubSections(Section, Recurse)
    } cases[] = {
        {"A", false, {"A\\B", "A\\B\\C", "a\\D", "A\\B"}, {"B", "D"}},
        {"A", true, {"A\\B", "A\\B\\C", "a\\D", "A\\B"}, {"B", "B\\C", "D"}},
        {"a\\b", false, {"A\\B\\C"}, {"C"}},
        {"", false, {"A", "A\\B", "A\\B\\C", "a\\D", "AB", "X\\Y", "A\\B"}, {"A", "AB", "X"}},
        {"",
         true,
         {"A", "A\\B", "A\\B\\C", "a\\D", "AB", "X\\Y", "A\\B"},
         {"A", "A\\B", "A\\B\\C", "a\\D", "AB", "X\\Y"}},
        {"X\\Y", false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + (c.Recurse ? " recursive" : ""));
        TStringList list;
        list.Add("stale");
        ini.ReadSections(c.Section, list);
        EXPECT_EQ(LinesOf(list), c.Sections);
        ini.ReadSubSections(c.Section, list, c.Recurse);
        EXPECT_EQ(LinesOf(list), c.Sub);
    }
}

TEST(IniFileTest, BinaryValuesAndDatesAsText) {
    IniText ini("[V]\nodd=0A1\nbad=0AZZ11\nlower=ff00\n");
    const std::vector<std::uint8_t> bytes = {0x00, 0x1F, 0xAB, 0xFF};
    ini.WriteBinaryStream("V", "bin", bytes);
    EXPECT_EQ(ini.ReadString("V", "bin", ""), "001FABFF");
    const struct {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
    } reads[] = {
        {"bin", bytes}, {"odd", {0x0A}}, {"bad", {0x0A}}, {"lower", {0xFF, 0}}, {"missing", {}}};
    for (const auto& r : reads) {
        std::vector<std::uint8_t> value = {0x55}; // replaced, not appended to
        EXPECT_EQ(ini.ReadBinaryStream("V", r.Name, value), static_cast<int>(r.Bytes.size()));
        EXPECT_EQ(value, r.Bytes) << r.Name;
    }

    const TDateTime when = ComposeDateTime(EncodeDate(2024, 2, 29), EncodeTime(13, 5, 9, 250));
    ini.WriteDateTime("V", "when", when);
    ini.WriteDate("V", "day", when);
    ini.WriteTime("V", "time", when);
    EXPECT_EQ(ini.ReadString("V", "when", ""), "2024-02-29 13:05:09.250");
    EXPECT_EQ(ini.ReadString("V", "day", ""), "2024-02-29");
    EXPECT_EQ(ini.ReadString("V", "time", ""), "13:05:09.250");
    EXPECT_NEAR(ini.ReadDateTime("V", "when", 0), when, 1e-9);
    EXPECT_EQ(ini.ReadDate("V", "day", 0), EncodeDate(2024, 2, 29));
    EXPECT_NEAR(ini.ReadTime("V", "time", 0), EncodeTime(13, 5, 9, 250), 1e-12);
    EXPECT_EQ(ini.ReadDate("V", "time", -1), -1); // a time is not a date
    EXPECT_EQ(ini.ReadTime("V", "odd", -1), -1);
    EXPECT_EQ(ini.ReadDateTime("V", "missing", -1), -1);
}

TEST(IniFileTest, TargetListsAreReplacedWithinAnUpdateBracket) {
    IniText ini("[S]\nk=v\n");
    TStringList list;
    list.Add("old");
    int changes = 0;
    list.SetOnChange([&](TObject*) { ++changes; });
    ini.ReadSection("S", list);
    EXPECT_EQ(LinesOf(list), Lines{"k"});
    EXPECT_EQ(changes, 1);
    ini.ReadSectionValues("missing", list);
    EXPECT_EQ(LinesOf(list), Lines{});
    EXPECT_EQ(list.UpdateCount(), 0);

    list.Add("kept");
    ini.GetStrings(list); // appends
    EXPECT_EQ(LinesOf(list), (Lines{"kept", "[S]", "k=v", ""}));
}

TEST(IniFileTest, FileRoundTrip) {
    test::TempDir dir;
    const std::string path = dir.File("settings.ini");
    {
        TIniFile ini(path); // no file yet: empty
        TStringList sections;
        ini.ReadSections(sections);
        EXPECT_EQ(sections.Count(), 0);
        ini.WriteString("Engine", "Name", " Test rig ");
        ini.WriteInteger("Engine", "Cylinders", 6);
        ini.WriteString("Map\\Ignition", "Rows", "16");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadBytes(path), "[Engine]\r\nName= Test rig \r\nCylinders=6\r\n\r\n"
                               "[Map\\Ignition]\r\nRows=16\r\n\r\n");

    TIniFile back(path);
    EXPECT_EQ(back.ReadString("engine", "name", ""), " Test rig"); // trailing blank trimmed
    EXPECT_EQ(back.ReadInteger("Engine", "Cylinders", 0), 6);
    EXPECT_EQ(back.ReadInteger("Map\\Ignition", "Rows", 0), 16);
    back.Clear();
    back.UpdateFile();
    EXPECT_EQ(ReadBytes(path), "");
}

TEST(IniFileTest, FileFailuresRaiseFileErrors) {
    test::TempDir dir;
    EXPECT_THROW(TIniFile{dir.File("")}, EFOpenError); // a directory cannot be read
    TIniFile ini(dir.File("no/such/dir/x.ini"));
    ini.WriteString("S", "k", "v");
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
}

} // namespace
} // namespace qor
