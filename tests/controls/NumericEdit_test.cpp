// The numeric edit with real keys typed into its real widget: key filtering, rounding to
// the step, limits on Enter, Esc, focus moves and what entering and leaving do.

#include "ControlTestSupport.h"
#include "controls/NumericEdit.h"
#include "framework/SysUtils.h"
#include "gui/Edit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <limits>
#include <vector>

namespace qor::test {
namespace {

class NumericEditTest : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        Edit = Add<TNumericEdit>("Edit");
        Edit->SetBounds(10, 10, 120, 24);
        Other = Add<TEdit>("Other");
        Other->SetBounds(10, 60, 120, 24);
        Edit->SetOnKeyPress([this](TObject*, char& Key) { KeyPresses.push_back(Key); });
        Edit->SetFocus();
        ASSERT_TRUE(Edit->Focused());
    }
    // Replaces the whole text by typing.
    void Retype(const std::string& Text) {
        Edit->SelectAll();
        Type(Text);
    }
    // Types Text over the whole text and confirms it with Enter.
    std::string Confirmed(const std::string& Text) {
        Retype(Text);
        Press(Qt::Key_Return);
        return Edit->Text();
    }
    void ClickOther() { QTest::mouseClick(Other->Widget(), Qt::LeftButton); }

    TNumericEdit* Edit = nullptr;
    TEdit* Other = nullptr;
    std::vector<char> KeyPresses; // what OnKeyPress received
};

TEST_F(NumericEditTest, StartsAtZero) {
    auto* fresh = Add<TNumericEdit>("Fresh");
    EXPECT_EQ(fresh->Text(), "0");
    EXPECT_EQ(fresh->LastValue(), 0);
    EXPECT_EQ(fresh->Precision(), 0);
    EXPECT_TRUE(fresh->Validation());
    EXPECT_FALSE(fresh->DisableLimit());
}

TEST_F(NumericEditTest, EnterRoundsToTheStep) {
    struct Case {
        double Step;
        const char* Typed;
        const char* Shown;
        double Value;
    };
    const Case cases[] = {
        {0.5, "1.2", "1", 1},      {0.5, "1.3", "1.5", 1.5},  {0.5, "1.25", "1.5", 1.5},
        {0.1, "0.34", "0.3", 0.3}, {0, "1.25", "1.25", 1.25}, {2, "-3", "-2", -2},
        {0, "007", "7", 7},        {0, ".5", "0.5", 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.Step << ", typed " << c.Typed);
        Edit->SetPrecision(c.Step);
        EXPECT_EQ(Confirmed(c.Typed), c.Shown);
        EXPECT_DOUBLE_EQ(Edit->LastValue(), c.Value);
        EXPECT_EQ(Edit->SelText(), Edit->Text()) << "no next control: the text is selected";
    }
    EXPECT_EQ(KeyPresses.back(), '\r') << "OnKeyPress sees the Enter";
}

TEST_F(NumericEditTest, RoundToPrecisionGoesUpHalfWay) {
    Edit->SetPrecision(0.5);
    EXPECT_DOUBLE_EQ(Edit->RoundToPrecision(1.2), 1);
    EXPECT_DOUBLE_EQ(Edit->RoundToPrecision(1.25), 1.5);
    EXPECT_DOUBLE_EQ(Edit->RoundToPrecision(-1.25), -1);
    EXPECT_DOUBLE_EQ(Edit->RoundToPrecision(-1.3), -1.5);
    Edit->SetPrecision(0);
    EXPECT_DOUBLE_EQ(Edit->RoundToPrecision(1.234), 1.234) << "no step, no rounding";
}

TEST_F(NumericEditTest, DecimalSeparatorOnlyWhenTheStepHasAFraction) {
    Edit->SetPrecision(1);
    Retype("1.5");
    EXPECT_EQ(Edit->Text(), "15");
    Edit->SetPrecision(0.1);
    Retype("1.2.3");
    EXPECT_EQ(Edit->Text(), "1.23") << "accepted once";
    Edit->SelectAll();
    Type(".");
    EXPECT_EQ(Edit->Text(), ".") << "a selection holding the separator may be replaced by one";
    Edit->SetPrecision(0);
    Retype("2.5.");
    EXPECT_EQ(Edit->Text(), "2.5");
}

TEST_F(NumericEditTest, MinusSignRules) {
    struct Case {
        double Min, Max;
        bool DisableLimit;
        bool SignAllowed;
    };
    const Case cases[] = {
        {0, 100, false, false}, {0, 0, false, true},    {-10, 10, false, true},
        {0, 100, true, true},   {5, 100, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.Min << " to " << c.Max << (c.DisableLimit ? ", no limits" : ""));
        Edit->SetMaxValue(c.Max);
        Edit->SetMinValue(c.Min);
        Edit->SetDisableLimit(c.DisableLimit);
        Retype("-5");
        EXPECT_EQ(Edit->Text(), c.SignAllowed ? "-5" : "5");
        Edit->SetMinValue(0);
        Edit->SetMaxValue(0);
    }

    // Only as the first character, only once, unless the selection holds the sign.
    Retype("5-");
    EXPECT_EQ(Edit->Text(), "5");
    Press(Qt::Key_Home);
    Type("-");
    EXPECT_EQ(Edit->Text(), "-5");
    Press(Qt::Key_Home);
    Type("-");
    EXPECT_EQ(Edit->Text(), "-5");
    Edit->SetSelStart(0);
    Edit->SetSelLength(1);
    Type("-");
    EXPECT_EQ(Edit->Text(), "-5") << "the selected sign replaced by a new one";
    Edit->SelectAll();
    Type("-");
    EXPECT_EQ(Edit->Text(), "-");
}

TEST_F(NumericEditTest, EnterClampsToTheLimitsAsTheyAre) {
    Edit->SetMaxValue(100);
    EXPECT_EQ(Confirmed("150"), "100");
    EXPECT_EQ(Edit->LastValue(), 100);
    Edit->SetMinValue(20);
    EXPECT_EQ(Confirmed("5"), "20");
    EXPECT_EQ(Edit->LastValue(), 20);
    EXPECT_EQ(Confirmed("50"), "50");

    Edit->SetPrecision(0.5);
    Edit->SetMinValue(0);
    Edit->SetMaxValue(10.3);
    EXPECT_EQ(Confirmed("20"), "10.3") << "not rounded to the step";
    EXPECT_EQ(Confirmed("10.2"), "10") << "inside the limits it is rounded";

    Edit->SetDisableLimit(true);
    EXPECT_EQ(Confirmed("150"), "150");
    Edit->SetDisableLimit(false);
    Edit->SetMinValue(0);
    Edit->SetMaxValue(0);
    EXPECT_EQ(Confirmed("150"), "150") << "limits both 0: no clamping";
    EXPECT_EQ(Confirmed("-7.5"), "-7.5");
}

TEST_F(NumericEditTest, LimitSettersKeepMinimumAtMostMaximum) {
    Edit->SetMaxValue(-10);
    EXPECT_EQ(Edit->MaxValue(), 0) << "below MinValue 0";
    Edit->SetMinValue(-20);
    Edit->SetMaxValue(-10);
    EXPECT_EQ(Edit->MaxValue(), -10);
    Edit->SetMinValue(-5);
    EXPECT_EQ(Edit->MinValue(), -20) << "above MaxValue";
    Edit->SetMinValue(-10);
    EXPECT_EQ(Edit->MinValue(), -10) << "equal is taken";
}

TEST_F(NumericEditTest, EnterOnTextThatIsNoNumberShowsTheLastValue) {
    EXPECT_EQ(Confirmed("3"), "3");
    EXPECT_EQ(Confirmed("-"), "3");
    EXPECT_EQ(Edit->LastValue(), 3);
    Edit->SetMaxValue(2);
    EXPECT_EQ(Confirmed("-"), "2") << "the last value is clamped like any other";
    Retype("");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Return);
    EXPECT_EQ(Edit->Text(), "2") << "an empty text too";
}

TEST_F(NumericEditTest, EscRestoresTheValueOfEntryOrOfTheLastEnter) {
    Other->SetFocus();
    Edit->SetText("7");
    Edit->SetFocus(); // entering takes 7
    Retype("3");
    Press(Qt::Key_Escape);
    EXPECT_EQ(Edit->Text(), "7");
    EXPECT_EQ(Edit->SelText(), "7");
    EXPECT_EQ(Confirmed("4"), "4");
    Retype("9");
    Press(Qt::Key_Escape);
    EXPECT_EQ(Edit->Text(), "4");
    EXPECT_EQ(Edit->LastValue(), 4);
}

TEST_F(NumericEditTest, LeavingWithTheMouseDiscardsOrTakesTheTextByValidation) {
    EXPECT_EQ(Confirmed("7"), "7");
    Retype("5");
    ClickOther();
    ASSERT_TRUE(Other->Focused());
    EXPECT_EQ(Edit->Text(), "7") << "not confirmed with Enter: discarded";
    EXPECT_EQ(Edit->LastValue(), 7);

    Edit->SetValidation(false);
    Edit->SetMaxValue(100);
    Edit->SetPrecision(0.5);
    Edit->SetFocus();
    Retype("500.2");
    ClickOther();
    EXPECT_EQ(Edit->Text(), "500") << "taken rounded, outside the limits";
    EXPECT_EQ(Edit->LastValue(), 500);
}

TEST_F(NumericEditTest, EnteringTakesTheTextWhenItIsANumber) {
    Other->SetFocus();
    Edit->SetText("0012.50");
    Edit->SetFocus();
    EXPECT_EQ(Edit->Text(), "12.5");
    EXPECT_EQ(Edit->LastValue(), 12.5);
    Other->SetFocus();
    Edit->SetText("abc");
    Edit->SetFocus();
    EXPECT_EQ(Edit->Text(), "12.5") << "a text that is no number leaves LastValue";
    Other->SetFocus();
    Edit->SetPrecision(5);
    Edit->SetText("12");
    Edit->SetFocus();
    EXPECT_EQ(Edit->Text(), "10") << "shown rounded";
    EXPECT_EQ(Edit->LastValue(), 10);
}

TEST_F(NumericEditTest, ThousandSeparatorTypesTheDecimalSeparator) {
    TFormatSettingsGuard pointAndComma(TFormatSettings{'.', ','});
    Retype("1,5");
    EXPECT_EQ(Edit->Text(), "1.5");
    Type(",");
    EXPECT_EQ(Edit->Text(), "1.5") << "still only one";

    TFormatSettingsGuard commaAndPoint(TFormatSettings{',', '.'});
    Edit->SetPrecision(0.25);
    Retype("2.7");
    EXPECT_EQ(Edit->Text(), "2,7");
    Press(Qt::Key_Return);
    EXPECT_EQ(Edit->Text(), "2,75") << "shown with the current separator";
    EXPECT_EQ(Edit->LastValue(), 2.75);
}

TEST_F(NumericEditTest, PasteLettersAndOtherControlCharactersAreDiscarded) {
    QGuiApplication::clipboard()->setText("99");
    Retype("12");
    Press(Qt::Key_V, Qt::ControlModifier);
    Type("ab+e ");
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Edit->Text(), "12");
    EXPECT_EQ(KeyPresses, (std::vector<char>{'1', '2'})) << "discarded keys reach no handler";
    Press(Qt::Key_Tab); // Tab types nothing: it moves the focus as usual
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(KeyPresses.size(), 2u);
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Other->Text(), "99") << "a plain edit pastes with the same key";
}

TEST_F(NumericEditTest, EnterUpAndDownMoveAlongTheChain) {
    auto* next = Add<TNumericEdit>("Next");
    auto* prev = Add<TNumericEdit>("Prev");
    auto* far = Add<TNumericEdit>("Far");
    Edit->SetNextControl(next);
    Edit->SetPrevControl(prev);
    next->SetNextControl(far);

    Retype("5");
    Press(Qt::Key_Down);
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(Edit->Text(), "0") << "left without Enter";
    Edit->SetFocus();
    Press(Qt::Key_Up);
    EXPECT_TRUE(prev->Focused());
    Press(Qt::Key_Up);
    EXPECT_TRUE(prev->Focused()) << "no previous control: Up does nothing";
    EXPECT_EQ(prev->Text(), "0");

    Edit->SetFocus();
    EXPECT_EQ(Confirmed("8"), "8");
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(Edit->LastValue(), 8);
    EXPECT_EQ(Edit->Text(), "8") << "still confirmed after leaving";

    // A disabled numeric edit passes the focus on to its own next control.
    next->SetEnabled(false);
    Edit->SetFocus();
    Press(Qt::Key_Down);
    EXPECT_TRUE(far->Focused());
    Edit->SetFocus();
    Press(Qt::Key_Return);
    EXPECT_TRUE(far->Focused());
}

TEST_F(NumericEditTest, IntValueTruncatesTheLastValueWhenTheTextIsNoInteger) {
    Edit->SetText("42");
    EXPECT_EQ(Edit->IntValue(), 42);
    Edit->ShowValue(-3.7);
    Edit->SetText("abc");
    EXPECT_EQ(Edit->IntValue(), -3);
    Edit->ShowValue(9.9);
    Edit->SetText("12.5");
    EXPECT_EQ(Edit->IntValue(), 9);
    Edit->ShowValue(1e20);
    EXPECT_EQ(Edit->IntValue(), std::numeric_limits<int>::max()) << "held to int's range";
    Edit->ShowValue(-1e20);
    EXPECT_EQ(Edit->IntValue(), std::numeric_limits<int>::min());
}

TEST_F(NumericEditTest, ShowValueRoundsAndBecomesTheLastValue) {
    Edit->SetPrecision(0.2);
    Edit->ShowValue(1.31);
    EXPECT_EQ(Edit->Text(), "1.4");
    EXPECT_DOUBLE_EQ(Edit->LastValue(), 1.4);
    Edit->SetText("2.05");
    EXPECT_DOUBLE_EQ(Edit->TextValue(), 2.0);
    Edit->SetText("x");
    EXPECT_DOUBLE_EQ(Edit->TextValue(), 1.4);
}

} // namespace
} // namespace qor::test
