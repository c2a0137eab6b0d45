#include "RawBlock.h"
#include "framework/FileErrors.h"
#include "inistore/Qormeminifile.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace qor {
namespace {

using test::RawBlock;
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& List) {
    Lines lines;
    for (int i = 0; i < List.Count(); ++i)
        lines.push_back(List[i]);
    return lines;
}

std::string ReadBytes(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BlockBytes(const std::uint8_t* Block, std::size_t Size) {
    return std::string(reinterpret_cast<const char*>(Block), Size);
}

// What UpdateFile renders, read back from the block it hands over.
std::string Rendered(TMemIniData& Ini, TMemIniBlock& Block) {
    Ini.UpdateFile();
    return std::string(MemIniBlockText(Block.Get()));
}

// The Part's example: a comment line, blanks around '=', and a second section whose name
// differs from the first only in case.
constexpr const char* kTwoSections = "[A]\r\n x = 1\r\n; note\r\n[a]\r\ny=2";

// The data file mixes CR LF, LF and CR line ends, comments, a line before the first
// section, blanks and tabs, a line without '=' and one starting with '=', a lone '[' and
// an empty section name.
TEST(MemIniDataTest, ParsesTheBlockIntoSectionsAndLinesAsStored) {
    TMemIniBlock block(ReadBytes(QOR_TEST_DATA_DIR "/mixed.ini"));
    TMemIniData ini(block.Ref());
    TStringList list;
    ini.ReadSections(list);
    EXPECT_EQ(LinesOf(list), (Lines{"A", "a", "Spaced", ""}));
    ini.ReadSectionValues("A", list);
    EXPECT_EQ(LinesOf(list), (Lines{"x= 1", "plain line", "=empty name"}));
    ini.ReadSection("A", list);
    EXPECT_EQ(LinesOf(list), (Lines{"x", "", ""}));
    ini.ReadSectionValues("spaced", list);
    EXPECT_EQ(LinesOf(list), (Lines{"k=v=w", "["}));

    const struct {
        const char* Section;
        const char* Ident;
        const char* Expected;
    } reads[] = {
        {"A", "X", " 1"},               // the blank after '=' belongs to the value
        {"a", "y", "default"},          // "a" finds the first section, "A", which has no y
        {"a", "x", " 1"},               //
        {"SPACED", "K", "v=w"},         // the value runs from the first '='
        {"", "e", "1"},                 // "[]" is a section with an empty name
        {"A", "orphan", "default"},     // lines before the first section are dropped
        {"A", "empty name", "default"}, // a line starting with '=' has no name
        {"A", "plain line", "default"}, // a line without '=' has no name either
        {"Missing", "x", "default"},
        {"A", "", "empty name"}, // the empty name is that of the line starting with '='
    };
    for (const auto& r : reads) {
        EXPECT_EQ(ini.ReadString(r.Section, r.Ident, "default"), r.Expected)
            << "[" << r.Section << "] " << r.Ident;
        // TryReadString answers as ValueExists and ReadString together, in one look-up.
        std::string value = "untouched";
        const bool found = ini.TryReadString(r.Section, r.Ident, value);
        EXPECT_EQ(found, ini.ValueExists(r.Section, r.Ident))
            << "[" << r.Section << "] " << r.Ident;
        EXPECT_EQ(value, found ? ini.ReadString(r.Section, r.Ident, "") : "untouched")
            << "[" << r.Section << "] " << r.Ident;
    }
    EXPECT_FALSE(ini.CaseSensitive());

    // SetStrings parses a list of lines the same way.
    TStringList lines;
    lines.SetText(ReadBytes(QOR_TEST_DATA_DIR "/mixed.ini"));
    TMemIniBlock other("[Old]\r\nk=v");
    TMemIniData fromList(other.Ref());
    fromList.SetStrings(lines);
    EXPECT_EQ(Rendered(fromList, other), Rendered(ini, block));
}

TEST(MemIniDataTest, RoundTripKeepsSectionsAndValuesAndDropsComments) {
    TMemIniBlock block(kTwoSections);
    TMemIniData ini(block.Ref());
    EXPECT_EQ(Rendered(ini, block), "[A]\r\nx= 1\r\n\r\n[a]\r\ny=2\r\n\r\n");

    TMemIniData again(block.Ref());
    EXPECT_EQ(again.ReadString("A", "x", ""), " 1");
    EXPECT_EQ(Rendered(again, block), "[A]\r\nx= 1\r\n\r\n[a]\r\ny=2\r\n\r\n");
}

TEST(MemIniDataTest, WriteStringReplacesInPlaceOrAppends) {
    TMemIniBlock block("[S]\r\na=1\r\nb=2\r\nc=3\r\n[T]\r\nz=0\r\n[s]\r\na=other");
    TMemIniData ini(block.Ref());
    ini.WriteString("s", "B", " two "); // first section, first key of that name, in place
    ini.WriteString("S", "d", "4");     // new key: end of the section
    ini.WriteString("New", "k", "v");   // new section: end of the store
    ini.WriteString("T", "eq", "x=y");  // nothing is split or trimmed
    EXPECT_EQ(Rendered(ini, block), "[S]\r\na=1\r\nB= two \r\nc=3\r\nd=4\r\n\r\n"
                                    "[T]\r\nz=0\r\neq=x=y\r\n\r\n"
                                    "[s]\r\na=other\r\n\r\n"
                                    "[New]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ini.ReadString("S", "b", ""), " two ");
    EXPECT_EQ(ini.ReadString("T", "EQ", ""), "x=y");
}

TEST(MemIniDataTest, EraseSectionAndDeleteKeyRemoveTheFirstMatchOnly) {
    TMemIniBlock block("[S]\r\nk=1\r\nK=2\r\nm=3\r\n[T]\r\nt=1\r\n[s]\r\nk=4");
    TMemIniData ini(block.Ref());
    ini.DeleteKey("s", "K");
    ini.DeleteKey("S", "missing");
    ini.DeleteKey("Missing", "k");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2"); // the second "k" is found now
    ini.EraseSection("s");
    ini.EraseSection("Missing");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "4"); // the section found before is gone
    EXPECT_EQ(Rendered(ini, block), "[T]\r\nt=1\r\n\r\n[s]\r\nk=4\r\n\r\n");
    ini.EraseSection("S");
    ini.DeleteKey("T", "t");
    EXPECT_EQ(Rendered(ini, block), "[T]\r\n\r\n"); // an empty section stays
}

// A map saved one key per cell: 65,025 lines in one section. The look-ups must still find
// the right lines after writes and deletes in the middle of the section.
TEST(MemIniDataTest, LargeSectionStaysConsistentUnderWritesAndDeletes) {
    constexpr int kSide = 255;
    auto key = [](int r, int c) { return "Map" + std::to_string(r) + "_" + std::to_string(c); };
    TMemIniBlock block;
    TMemIniData ini(block.Ref());
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            ini.WriteString("Map", key(r, c), std::to_string(r * kSide + c));
    for (int r = 1; r < kSide; r += 2)
        ini.DeleteKey("Map", key(r, r)); // middle deletes, each followed by look-ups
    for (int r = 0; r < kSide; ++r)
        ini.WriteString("Map", key(r, kSide - 1 - r), "w"); // rewrites, and re-appends

    TMemIniData parsed(block.Ref());
    ini.UpdateFile();
    parsed.LoadValues();
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            std::string expected = std::to_string(r * kSide + c);
            if (c == kSide - 1 - r)
                expected = "w";
            else if (r == c && r % 2 == 1)
                expected = "gone";
            ASSERT_EQ(ini.ReadString("Map", key(r, c), "gone"), expected) << key(r, c);
            ASSERT_EQ(parsed.ReadString("Map", key(r, c), "gone"), expected) << key(r, c);
        }
    TStringList names;
    parsed.ReadSection("Map", names);
    EXPECT_EQ(names.Count(), kSide * kSide - kSide / 2 + 1); // (127,127) came back
    EXPECT_EQ(names[names.Count() - 1], key(127, 127));
}

// A list that fails on the Limit-th line added and counts its update brackets.
class FailingList : public TStringList {
public:
    explicit FailingList(int Limit) : FLimit(Limit) {}
    void Insert(int Index, const std::string& S) override {
        if (Count() + 1 >= FLimit)
            throw std::runtime_error("list full");
        TStringList::Insert(Index, S);
    }

private:
    int FLimit;
};

TEST(MemIniDataTest, ListFillsCloseTheirUpdateBracketEvenWhenTheyFail) {
    TMemIniBlock block("[S]\r\na=1\r\nb=2\r\nc=3");
    TMemIniData ini(block.Ref());
    const struct {
        const char* Name;
        std::function<void(TStrings&)> Fill;
    } fills[] = {
        {"ReadSection", [&](TStrings& s) { ini.ReadSection("S", s); }},
        {"ReadSectionValues", [&](TStrings& s) { ini.ReadSectionValues("S", s); }},
        {"GetStrings", [&](TStrings& s) { ini.GetStrings(s); }},
    };
    for (const auto& f : fills) {
        SCOPED_TRACE(f.Name);
        FailingList list(3);
        EXPECT_THROW(f.Fill(list), std::runtime_error);
        EXPECT_EQ(list.UpdateCount(), 0);
        FailingList roomy(100);
        f.Fill(roomy);
        EXPECT_EQ(roomy.UpdateCount(), 0);
        EXPECT_GE(roomy.Count(), 3);
    }
}

TEST(MemIniDataTest, ListReadsClearTheTargetButGetStringsAppends) {
    TMemIniBlock block("[S]\r\na=1\r\nplain\r\n[T]");
    TMemIniData ini(block.Ref());
    TStringList list;
    list.Add("old");
    ini.ReadSection("S", list);
    EXPECT_EQ(LinesOf(list), (Lines{"a", ""}));
    ini.ReadSection("Missing", list);
    EXPECT_EQ(LinesOf(list), Lines{});
    list.Add("old");
    ini.ReadSectionValues("s", list);
    EXPECT_EQ(LinesOf(list), (Lines{"a=1", "plain"}));
    ini.ReadSectionValues("Missing", list);
    EXPECT_EQ(LinesOf(list), Lines{});
    list.Add("old");
    ini.ReadSections(list);
    EXPECT_EQ(LinesOf(list), (Lines{"S", "T"}));

    list.Clear();
    list.Add("old");
    ini.GetStrings(list);
    EXPECT_EQ(LinesOf(list), (Lines{"old", "[S]", "a=1", "plain", "", "[T]", ""}));
}

TEST(MemIniDataTest, UpdateFileWritesExactBlocks) {
    TMemIniBlock empty;
    TMemIniData none(empty.Ref()); // a null block gives an empty store
    none.UpdateFile();
    ASSERT_NE(empty.Get(), nullptr);
    EXPECT_EQ(BlockBytes(empty.Get(), 5), std::string(5, '\0'));

    TMemIniBlock block("[S]\nk=v");
    const std::uint8_t* const old = block.Get();
    TMemIniData ini(block.Ref());
    ini.UpdateFile(); // frees the old block: the sanitizer build reports a leak otherwise
    EXPECT_NE(block.Get(), old);
    EXPECT_EQ(BlockBytes(block.Get(), 17), std::string("\x0C\0\0\0[S]\r\nk=v\r\n\r\n\0", 17));
}

// Blocks whose length field is negative, given as exactly allocated fixtures: the
// AddressSanitizer build reports any read past the end of the block.
TEST(MemIniDataTest, NegativeLengthReadsToTheZeroByteOrTheEndOfTheBlock) {
    const std::string zeroInside("[S]\r\nk=v\0[T]\r\nx=1", 17);
    TMemIniBlock withZero = RawBlock(-1, zeroInside);
    TMemIniData unsized(withZero.Ref());
    EXPECT_EQ(Rendered(unsized, withZero), "[S]\r\nk=v\r\n\r\n");

    TMemIniBlock withZeroSized = RawBlock(-7, zeroInside);
    TMemIniData sized(withZeroSized.Ref(), 4 + zeroInside.size());
    EXPECT_EQ(Rendered(sized, withZeroSized), "[S]\r\nk=v\r\n\r\n");

    const std::string noZero = "[S]\r\nk=v\r\n[T]\r\nx=1";
    TMemIniBlock cut = RawBlock(-1, noZero);
    TMemIniData cutIni(cut.Ref(), 4 + noZero.size());
    EXPECT_EQ(cutIni.ReadString("T", "x", ""), "1");

    TMemIniBlock tooLong = RawBlock(1 << 30, noZero);
    TMemIniData tooLongIni(tooLong.Ref(), 4 + noZero.size());
    EXPECT_EQ(tooLongIni.ReadString("T", "x", ""), "1");

    // After UpdateFile the store knows the size of the block it wrote: reloading it stays
    // inside even when the caller has since spoilt its length field and zero byte.
    tooLongIni.UpdateFile();
    const std::size_t written = 4 + static_cast<std::size_t>(MemIniBlockLength(tooLong.Get())) + 1;
    std::memset(tooLong.Get(), 0xFF, 4);
    tooLong.Get()[written - 1] = ';';
    tooLongIni.WriteString("T", "x", "changed");
    tooLongIni.LoadValues();
    EXPECT_EQ(tooLongIni.ReadString("T", "x", ""), "1");
    // A block that the caller puts in place is read with the size it gives.
    tooLong = RawBlock(-1, "[U]\r\nu=2");
    tooLongIni.LoadValues(4 + 8);
    TStringList sections;
    tooLongIni.ReadSections(sections);
    EXPECT_EQ(LinesOf(sections), Lines{"U"});
}

// Typed reads, ValueExists, SectionExists and the sub-section listing come from the base
// class on top of the store's string operations.
TEST(MemIniDataTest, BaseClassOperationsWorkOnTheStore) {
    TMemIniBlock block("[Engine]\r\nplain\r\n[Engine\\Maps]\r\nn=0x1F\r\n[Empty]");
    TMemIniData store(block.Ref());
    TCustomIniFile& ini = store;
    EXPECT_EQ(ini.ReadInteger("engine\\maps", "N", 0), 31);
    ini.WriteInteger("Engine", "Count", -5);
    ini.WriteBool("Engine", "On", true);
    ini.WriteFloat("Engine", "Gain", 2.5);
    const std::vector<std::uint8_t> bytes{0x00, 0xAB, 0xFF};
    ini.WriteBinaryStream("Engine", "Raw", bytes);
    EXPECT_EQ(ini.ReadInteger("Engine", "count", 0), -5);
    EXPECT_TRUE(ini.ReadBool("Engine", "On", false));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Engine", "Gain", 0), 2.5);
    std::vector<std::uint8_t> read;
    EXPECT_EQ(ini.ReadBinaryStream("Engine", "Raw", read), 3);
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(ini.ReadString("Engine", "Raw", ""), "00ABFF");

    EXPECT_TRUE(ini.ValueExists("ENGINE", "gain"));
    EXPECT_FALSE(ini.ValueExists("Engine", "n"));
    EXPECT_FALSE(ini.ValueExists("Missing", "gain"));
    EXPECT_TRUE(ini.ValueExists("Engine", "")); // "plain" has an empty name
    EXPECT_FALSE(ini.ValueExists("Engine\\Maps", ""));
    EXPECT_TRUE(ini.SectionExists("engine"));
    EXPECT_FALSE(ini.SectionExists("Empty")); // no lines
    EXPECT_FALSE(ini.SectionExists("Missing"));

    TStringList below;
    ini.ReadSections("Engine", below);
    EXPECT_EQ(LinesOf(below), Lines{"Engine\\Maps"});
    ini.ReadSubSections("", below);
    EXPECT_EQ(LinesOf(below), (Lines{"Engine", "Empty"}));
}

TEST(MemIniDataTest, SaveToFileWritesTheTextWithCrLf) {
    TMemIniBlock block("[S]\nk = v\n[T]\n");
    TMemIniData ini(block.Ref());
    const auto dir = std::filesystem::temp_directory_path();
    const std::string file = (dir / ("qor-meminifile-" + std::to_string(::getpid()))).string();
    ini.SaveToFile(file);
    EXPECT_EQ(ReadBytes(file), "[S]\r\nk= v\r\n\r\n[T]\r\n\r\n");
    std::filesystem::remove(file);
    EXPECT_THROW(ini.SaveToFile(file + "/no/such/dir/x.ini"), EFCreateError);
}

TEST(MemIniDataTest, LoadValuesDiscardsChangesAndClearEmpties) {
    TMemIniBlock block("[S]\r\nk=v");
    TMemIniData ini(block.Ref());
    ini.WriteString("S", "k", "changed");
    ini.AddSection("S").Add("extra=1"); // a second "S", never found by name
    EXPECT_EQ(ini.ReadString("S", "extra", "none"), "none");
    ini.LoadValues();
    EXPECT_EQ(Rendered(ini, block), "[S]\r\nk=v\r\n\r\n");
    ini.Clear();
    EXPECT_EQ(Rendered(ini, block), "");
    block.Reset();
    ini.WriteString("S", "k", "v");
    ini.LoadValues(); // a null block: empty
    EXPECT_EQ(Rendered(ini, block), "");
}

} // namespace
} // namespace qor
