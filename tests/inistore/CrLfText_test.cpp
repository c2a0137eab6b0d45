#include "inistore/CrLfText.h"

#include <gtest/gtest.h>
#include <string>

namespace qor {
namespace {

// Edits anywhere in the list keep the joined text and every line what a plain string list
// holds after the same edits.
TEST(CrLfTextTest, EditsKeepTheTextAndTheLinesInStep) {
    TCrLfText text;
    TStringList expected;
    auto same = [&] {
        ASSERT_EQ(text.Count(), expected.Count());
        for (int i = 0; i < expected.Count(); ++i)
            EXPECT_EQ(text[i], expected[i]) << i;
        EXPECT_EQ(text.Joined(), expected.Text());
    };
    for (TStrings* list : {static_cast<TStrings*>(&text), static_cast<TStrings*>(&expected)}) {
        list->Add("[S]");
        list->Add("");
        list->Insert(1, "k=v");
        list->Insert(0, "first");
        list->Add("last");
    }
    same();
    for (TStrings* list : {static_cast<TStrings*>(&text), static_cast<TStrings*>(&expected)}) {
        list->Delete(1);
        list->Delete(list->Count() - 1);
        list->SetStrings(0, "replaced line");
    }
    same();
    text.Clear();
    expected.Clear();
    same();
    EXPECT_EQ(text.Joined(), "");

    EXPECT_THROW(text.Insert(1, "x"), EStringListError);
    EXPECT_THROW(text.Delete(0), EStringListError);
    EXPECT_THROW(static_cast<void>(text[0]), EStringListError);
}

} // namespace
} // namespace qor
