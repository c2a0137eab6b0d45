#include "TempDir.h"
#include "framework/FileErrors.h"
#include "framework/StringList.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qor {
namespace {

std::vector<std::string> LinesOf(const TStrings& List) {
    std::vector<std::string> lines;
    for (int i = 0; i < List.Count(); ++i)
        lines.push_back(List[i]);
    return lines;
}

void Fill(TStrings& List, const std::vector<std::string>& Lines) {
    List.Clear();
    for (const std::string& line : Lines)
        List.Add(line);
}

std::string ReadBytes(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StringListTest, NamesAndValuesSplitAtTheFirstEquals) {
    TStringList plain;
    THashedStringList hashed;
    for (TStrings* list : {static_cast<TStrings*>(&plain), static_cast<TStrings*>(&hashed)}) {
        SCOPED_TRACE(list == &plain ? "TStringList" : "THashedStringList");
        Fill(*list, {"a=1", "b==2", "=3", "plain", "c=", "B=shadowed"});
        const struct {
            const char* Name;
            const char* Value;
        } lines[] = {{"a", "1"}, {"b", "=2"}, {"", "3"}, {"", ""}, {"c", ""}, {"B", "shadowed"}};
        for (int i = 0; i < list->Count(); ++i) {
            EXPECT_EQ(list->Names(i), lines[i].Name) << i;
            EXPECT_EQ(list->ValueFromIndex(i), lines[i].Value) << i;
        }
        EXPECT_EQ(list->Values("B"), "=2");
        EXPECT_EQ(list->IndexOfName("B"), 1);
        EXPECT_EQ(list->IndexOfName(""), 2);       // "=3": an empty name before '='
        EXPECT_EQ(list->IndexOfName("plain"), -1); // no '=': no name at all
        EXPECT_EQ(list->IndexOfName("b="), -1);    // "b==2" is named "b"
        EXPECT_EQ(list->IndexOf("PLAIN"), 3);
        EXPECT_EQ(list->Values("missing"), "");
    }
}

TEST(StringListTest, SetValuesReplacesAppendsAndDeletes) {
    THashedStringList list;
    Fill(list, {"a=1", "b=2", "c=3"});
    list.SetValues("B", "20"); // replaced in place, under the name given
    list.SetValues("d", "4");
    list.SetValues("a", "");
    list.SetValues("missing", "");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"B=20", "c=3", "d=4"}));
    EXPECT_EQ(list.IndexOfName("d"), 2);
    EXPECT_EQ(list.IndexOfName("a"), -1);
}

TEST(StringListTest, FirstMatchWinsAmongCaseVariants) {
    TStringList plain;
    THashedStringList hashed;
    for (TStringList* list : {&plain, static_cast<TStringList*>(&hashed)}) {
        SCOPED_TRACE(list == &plain ? "TStringList" : "THashedStringList");
        Fill(*list, {"x=0", "Key=1", "KEY=2", "key=3", "Key=1"});
        EXPECT_EQ(list->IndexOfName("kEy"), 1);
        EXPECT_EQ(list->IndexOf("key=1"), 1);
        list->SetCaseSensitive(true);
        EXPECT_EQ(list->IndexOfName("key"), 3);
        EXPECT_EQ(list->IndexOfName("kEy"), -1);
        EXPECT_EQ(list->IndexOf("KEY=2"), 2);
        list->SetCaseSensitive(false);
        list->Delete(1);
        EXPECT_EQ(list->IndexOfName("key"), 1);
        EXPECT_EQ(list->IndexOf("key=1"), 3);
    }
}

// Each case fills a hashed list, looks every probe up so that both indexes are built,
// edits it, and checks the look-ups against a plain list given the same edit and
// against the expected positions.
TEST(HashedStringListTest, IndexesFollowEdits) {
    using Expect = std::vector<std::pair<std::string, int>>;
    const struct {
        const char* Name;
        std::vector<std::string> Lines;
        std::function<void(TStringList&)> Edit;
        Expect ByName;
        Expect ByLine;
    } cases[] = {
        {"insert in the middle",
         {"a=1", "b=2", "c=3", "d=4", "e=5"},
         [](TStringList& l) { l.Insert(2, "x=0"); },
         {{"x", 2}, {"a", 0}, {"b", 1}, {"c", 3}, {"e", 5}},
         {{"x=0", 2}, {"E=5", 5}}},
        {"insert an earlier duplicate",
         {"a=1", "b=1", "c=1"},
         [](TStringList& l) { l.Insert(1, "C=9"); },
         {{"c", 1}, {"b", 2}},
         {{"c=1", 3}, {"c=9", 1}}},
        {"insert at the end",
         {"a=1", "b=2"},
         [](TStringList& l) { l.Insert(2, "a=3"); },
         {{"a", 0}},
         {{"a=3", 2}}},
        {"delete in the middle",
         {"a=1", "b=2", "c=3", "d=4"},
         [](TStringList& l) { l.Delete(1); },
         {{"b", -1}, {"a", 0}, {"c", 1}, {"d", 2}},
         {{"b=2", -1}, {"d=4", 2}}},
        {"delete the first of duplicates",
         {"k=1", "x=1", "K=2"},
         [](TStringList& l) { l.Delete(0); },
         {{"k", 1}, {"x", 0}},
         {{"k=1", -1}, {"k=2", 1}}},
        {"delete, delete the last, append",
         {"k0=0", "k1=1", "k2=2", "k3=3", "k4=4"},
         [](TStringList& l) {
             l.Delete(3);
             l.Delete(3);
             l.Add("n=5");
             l.Add("m=6");
         },
         {{"k4", -1}, {"k3", -1}, {"n", 3}, {"m", 4}},
         {{"k4=4", -1}, {"m=6", 4}}},
        {"replace the name part",
         {"a=1", "b=2", "c=3"},
         [](TStringList& l) {
             l.SetStrings(1, "z=2");
             l.SetStrings(2, "A=3");
         },
         {{"b", -1}, {"z", 1}, {"a", 0}},
         {{"b=2", -1}, {"A=3", 2}}},
        {"replace a name by an earlier duplicate's",
         {"a=1", "b=2", "a=3"},
         [](TStringList& l) { l.SetStrings(0, "q=1"); },
         {{"a", 2}, {"q", 0}},
         {{"a=1", -1}}},
        {"replace the value only",
         {"a=1", "b=2"},
         [](TStringList& l) { l.SetStrings(1, "B=22"); },
         {{"b", 1}},
         {{"b=2", -1}, {"b=22", 1}}},
        {"replace by a line without a name",
         {"a=1", "b=2"},
         [](TStringList& l) { l.SetStrings(1, "plain"); },
         {{"b", -1}, {"plain", -1}},
         {{"plain", 1}}},
        {"edits after a middle insert",
         {"a=1", "b=2", "c=3", "d=4"},
         [](TStringList& l) {
             l.Insert(1, "n=0");
             l.SetStrings(4, "z=4");
             l.Add("b=9");
             l.SetStrings(0, "d=1");
         },
         {{"d", 0}, {"z", 4}, {"b", 2}, {"a", -1}, {"n", 1}},
         {{"b=9", 5}, {"d=4", -1}}},
        {"clear, then add",
         {"a=1", "b=2"},
         [](TStringList& l) {
             l.Clear();
             l.Add("b=5");
         },
         {{"b", 0}, {"a", -1}},
         {{"b=2", -1}, {"b=5", 0}}},
        {"sort",
         {"c=3", "a=1", "b=2"},
         [](TStringList& l) { l.Sort(); },
         {{"a", 0}, {"b", 1}, {"c", 2}},
         {{"c=3", 2}}},
        {"case sensitivity on",
         {"Key=1", "key=2"},
         [](TStringList& l) { l.SetCaseSensitive(true); },
         {{"key", 1}, {"Key", 0}, {"KEY", -1}},
         {{"key=2", 1}, {"KEY=2", -1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        THashedStringList hashed;
        TStringList plain;
        Fill(hashed, c.Lines);
        Fill(plain, c.Lines);

        std::set<std::string> probes;
        for (const std::string& line : c.Lines)
            probes.insert(line);
        for (const auto& [key, index] : c.ByName)
            probes.insert(key);
        for (const auto& [key, index] : c.ByLine)
            probes.insert(key);
        for (const std::string& probe : probes) {
            const std::string name = probe.substr(0, probe.find('='));
            hashed.IndexOf(probe);
            hashed.IndexOfName(name);
        }

        c.Edit(hashed);
        c.Edit(plain);
        ASSERT_EQ(LinesOf(hashed), LinesOf(plain));
        for (const auto& [key, index] : c.ByName)
            EXPECT_EQ(hashed.IndexOfName(key), index) << "name " << key;
        for (const auto& [key, index] : c.ByLine)
            EXPECT_EQ(hashed.IndexOf(key), index) << "line " << key;
        for (const std::string& probe : probes) {
            const std::string name = probe.substr(0, probe.find('='));
            EXPECT_EQ(hashed.IndexOf(probe), plain.IndexOf(probe)) << "line " << probe;
            EXPECT_EQ(hashed.IndexOfName(name), plain.IndexOfName(name)) << "name " << name;
        }
    }
}

// Random edits and look-ups in random order, on few keys so that duplicates and case
// variants abound; the plain list's linear search is the reference.
TEST(HashedStringListTest, AgreesWithLinearSearchUnderRandomEdits) {
    const std::vector<std::string> names = {"a", "A", "b", "B", "ab", "aB", ""};
    const std::vector<std::string> values = {"1", "2", ""};
    std::vector<std::string> probes;
    for (const std::string& n : names)
        for (const std::string& v : values)
            probes.push_back(n + "=" + v);
    probes.insert(probes.end(), names.begin(), names.end());

    std::mt19937 random(20240611);
    const auto pick = [&](std::size_t n) { return static_cast<int>(random() % n); };
    const auto line = [&] { return probes[static_cast<std::size_t>(pick(probes.size()))]; };

    THashedStringList hashed;
    TStringList plain;
    int longest = 0;
    for (int step = 0; step < 6000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const int count = plain.Count();
        const int op = pick(1000);
        if (op < 280) {
            const std::string s = line();
            hashed.Add(s);
            plain.Add(s);
        } else if (op < 450) {
            const int at = pick(static_cast<std::size_t>(count) + 1);
            const std::string s = line();
            hashed.Insert(at, s);
            plain.Insert(at, s);
        } else if (op < 730 && count > 0) {
            const int at = pick(static_cast<std::size_t>(count));
            hashed.Delete(at);
            plain.Delete(at);
        } else if (op < 930 && count > 0) {
            const int at = pick(static_cast<std::size_t>(count));
            const std::string s = line();
            hashed.SetStrings(at, s);
            plain.SetStrings(at, s);
        } else if (op < 950) {
            hashed.SetCaseSensitive(!hashed.CaseSensitive());
            plain.SetCaseSensitive(hashed.CaseSensitive());
        } else if (op < 960) {
            hashed.Sort();
            plain.Sort();
        } else if (op < 962) {
            hashed.Clear();
            plain.Clear();
        }
        longest = std::max(longest, plain.Count());
        // Look up only now and then, so that several edits pile up between look-ups.
        if (pick(3) == 0) {
            const std::string probe = line();
            const std::string name = probe.substr(0, probe.find('='));
            ASSERT_EQ(hashed.IndexOf(probe), plain.IndexOf(probe)) << probe;
            ASSERT_EQ(hashed.IndexOfName(name), plain.IndexOfName(name)) << name;
        }
    }
    EXPECT_GT(longest, 50); // the edits reached well beyond a handful of lines
}

TEST(HashedStringListTest, IndexFollowsAnEditWhoseChangeHandlerRaises) {
    THashedStringList list;
    Fill(list, {"a=1", "b=2"});
    ASSERT_EQ(list.IndexOfName("b"), 1);
    list.SetOnChange([](TObject*) { throw std::runtime_error("handler failed"); });
    EXPECT_THROW(list.SetStrings(1, "c=2"), std::runtime_error);
    EXPECT_THROW(list.Insert(0, "b=0"), std::runtime_error);
    EXPECT_EQ(list.IndexOfName("b"), 0);
    EXPECT_EQ(list.IndexOfName("c"), 2);
}

TEST(StringListTest, UpdateBracketsNestAndReportOnce) {
    TStringList list;
    std::vector<std::string> events;
    list.SetOnChanging([&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        events.push_back("changing");
    });
    list.SetOnChange([&](TObject*) { events.push_back("change " + std::to_string(list.Count())); });

    list.Add("a");
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change 1"}));
    events.clear();

    list.BeginUpdate();
    list.BeginUpdate();
    EXPECT_EQ(list.UpdateCount(), 2);
    list.Add("b");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(list.UpdateCount(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"changing"}));
    list.Add("c");
    list.EndUpdate();
    EXPECT_EQ(list.UpdateCount(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change 2"}));

    events.clear();
    list.EndUpdate(); // unmatched: ignored
    EXPECT_EQ(list.UpdateCount(), 0);
    list.SetText("x\r\ny\r\nz");
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change 3"}));
}

TEST(StringListTest, TextSplitsAtEveryKindOfLineBreak) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* Text;
        Lines Expected;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n", {"a", "b", "c"}},
        {"\r\n", {""}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\n\r b", {"a", "", " b"}},
    };
    TStringList list;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        list.SetText(c.Text);
        EXPECT_EQ(LinesOf(list), c.Expected);
    }
    Fill(list, {"a", "", "b=1"});
    EXPECT_EQ(list.Text(), "a\r\n\r\nb=1\r\n");
}

TEST(StringListTest, FilesHoldCrLfLinesByteForByte) {
    test::TempDir dir;
    const std::string path = dir.File("lines.txt");
    TStringList list;
    Fill(list, {"[S]", "k=\xE9t\xE9", "", "last"});
    list.SaveToFile(path);
    EXPECT_EQ(ReadBytes(path), "[S]\r\nk=\xE9t\xE9\r\n\r\nlast\r\n");

    THashedStringList back;
    back.Add("old");
    back.LoadFromFile(path);
    EXPECT_EQ(LinesOf(back), LinesOf(list));
    EXPECT_EQ(back.IndexOfName("K"), 1);
}

TEST(StringListTest, FileFailuresRaiseFileErrors) {
    test::TempDir dir;
    TStringList list;
    list.Add("a");
    EXPECT_THROW(list.SaveToFile(dir.File("no/such/dir/x.txt")), EFCreateError);
    try {
        list.LoadFromFile(dir.File("missing.txt"));
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
    }
    EXPECT_EQ(LinesOf(list), std::vector<std::string>{"a"}); // untouched
}

TEST(StringListTest, IndexesOutsideTheListRaise) {
    THashedStringList list;
    Fill(list, {"a", "b"});
    EXPECT_THROW(list.Strings(2), EStringListError);
    EXPECT_THROW(list.Strings(-1), EStringListError);
    EXPECT_THROW(list.SetStrings(2, "x"), EStringListError);
    EXPECT_THROW(list.Delete(2), EStringListError);
    EXPECT_THROW(list.Insert(3, "x"), EStringListError);
    list.Insert(2, "c");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.IndexOf("c"), 2);
}

TEST(StringListTest, AssignAndAddStringsCopyLines) {
    TStringList source;
    Fill(source, {"a=1", "b=2"});
    THashedStringList target;
    Fill(target, {"old=0"});
    target.Assign(source);
    EXPECT_EQ(LinesOf(target), LinesOf(source));
    EXPECT_EQ(target.IndexOfName("old"), -1);
    target.AddStrings(target); // from itself: each line once more
    EXPECT_EQ(LinesOf(target), (std::vector<std::string>{"a=1", "b=2", "a=1", "b=2"}));
    EXPECT_EQ(target.IndexOf("B=2"), 1);
    target.Assign(target);
    EXPECT_EQ(target.Count(), 4);
}

} // namespace
} // namespace qor
