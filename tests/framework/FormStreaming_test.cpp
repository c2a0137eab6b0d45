#include "framework/FormStreaming.h"
#include "framework/FormText.h"
#include "framework/Properties.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace qor {
namespace {

enum TGadgetKind { gkRound, gkSquare, gkTriangle };
enum TFontStyle { fsBold, fsItalic, fsUnderline };

class TGadgetFont : public TPersistent {
public:
    using inherited = TPersistent;
    int Size() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    unsigned Style() const { return FStyle; }
    void SetStyle(unsigned v) { FStyle = v; }

    static void Publish(TPublisher<TGadgetFont>& p) {
        p.Integer("Size", &TGadgetFont::Size, &TGadgetFont::SetSize, 8)
            .Set("Style", &TGadgetFont::Style, &TGadgetFont::SetStyle,
                 {"fsBold", "fsItalic", "fsUnderline"});
    }

private:
    int FSize = 8;
    unsigned FStyle = 0;
};

// A component with one property of each kind and a defined list property "Points".
class TGadget : public TComponent {
public:
    using inherited = TComponent;
    explicit TGadget(TComponent* Owner) : TComponent(Owner) { ++Alive; }
    ~TGadget() override {
        SetPartner(nullptr);
        --Alive;
    }

    int Count() const { return FCount; }
    void SetCount(int v) {
        FCount = v;
        CountSetWhileLoading = ComponentState().Contains(csLoading);
    }
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }
    TGadgetKind Kind() const { return FKind; }
    void SetKind(TGadgetKind v) { FKind = v; }
    TGadget* Partner() const { return FPartner; }
    void SetPartner(TGadget* v) {
        if (FPartner)
            FPartner->RemoveFreeNotification(this);
        FPartner = v;
        if (FPartner)
            FPartner->FreeNotification(this);
    }
    TGadgetFont* Font() { return &FFont; }

    std::vector<double> Points;
    int LoadedCalls = 0;
    bool CountSetWhileLoading = false;
    bool PartnerKnownInLoaded = false;
    static inline int Alive = 0;

    static void Publish(TPublisher<TGadget>& p) {
        p.Integer("Count", &TGadget::Count, &TGadget::SetCount)
            .Float("Ratio", &TGadget::Ratio, &TGadget::SetRatio)
            .String("Caption", &TGadget::Caption, &TGadget::SetCaption)
            .Bool("Enabled", &TGadget::Enabled, &TGadget::SetEnabled, true)
            .Enum("Kind", &TGadget::Kind, &TGadget::SetKind, {"gkRound", "gkSquare", "gkTriangle"})
            .Component<TGadget>("Partner", &TGadget::Partner, &TGadget::SetPartner)
            .Object("Font", &TGadget::Font);
    }

    void DefineProperties(TFiler& Filer) override {
        TComponent::DefineProperties(Filer);
        Filer.DefineProperty(
            "Points",
            [this](TReader& r) {
                r.ReadListBegin();
                const auto n = r.ReadInteger();
                Points.clear();
                for (std::int64_t i = 0; i < n; ++i)
                    Points.push_back(r.ReadFloat());
                r.ReadListEnd();
            },
            [this](TWriter& w) {
                w.WriteListBegin();
                w.WriteInteger(static_cast<std::int64_t>(Points.size()));
                for (double d : Points)
                    w.WriteFloat(d);
                w.WriteListEnd();
            },
            true);
    }

    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
        PartnerKnownInLoaded = FPartner != nullptr;
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == FPartner)
            FPartner = nullptr;
    }

private:
    int FCount = 0;
    double FRatio = 0;
    std::string FCaption;
    bool FEnabled = true;
    TGadgetKind FKind = gkRound;
    TGadget* FPartner = nullptr;
    TGadgetFont FFont;
};

class FormStreaming : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterClass<TGadgetFont>("TGadgetFont");
        RegisterClass<TGadget>("TGadget");
    }
};

TEST_F(FormStreaming, FreshComponentWritesOnlyItsHeaderAndDefinedProperties) {
    TGadget g(nullptr);
    g.SetName("Plain");
    EXPECT_EQ(WriteComponentText(g), "object Plain: TGadget\n  Points = (0)\nend\n");
}

TEST_F(FormStreaming, RoundTripKeepsValuesResolvesReferencesAndCallsLoadedOnce) {
    TGadget form(nullptr);
    form.SetName("Form");
    form.SetCaption("it's a\r\ntest");
    form.SetEnabled(false);
    auto* a = new TGadget(&form);
    a->SetName("A");
    a->SetCount(-42);
    a->SetRatio(0.1);
    a->SetKind(gkTriangle);
    a->Font()->SetSize(12);
    a->Font()->SetStyle(1u << fsBold | 1u << fsUnderline);
    a->Points = {1.5, -2.25e-300, 1e21, 3};
    auto* b = new TGadget(&form);
    b->SetName("B");
    b->SetRatio(std::numeric_limits<double>::max());
    a->SetPartner(b);
    b->SetPartner(&form);

    const std::string text = WriteComponentText(form);
    EXPECT_NE(text.find("Count = -42"), std::string::npos) << text;
    EXPECT_NE(text.find("Font.Style = [fsBold, fsUnderline]"), std::string::npos) << text;
    EXPECT_EQ(text.find("Enabled = True"), std::string::npos) << "defaults are not written";

    auto read = ReadComponentText(text);
    auto* copy = dynamic_cast<TGadget*>(read.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Caption(), "it's a\r\ntest");
    EXPECT_FALSE(copy->Enabled());
    auto* ca = dynamic_cast<TGadget*>(copy->FindComponent("A"));
    auto* cb = dynamic_cast<TGadget*>(copy->FindComponent("B"));
    ASSERT_TRUE(ca && cb);
    EXPECT_EQ(ca->Count(), -42);
    EXPECT_TRUE(ca->CountSetWhileLoading);
    EXPECT_EQ(ca->Ratio(), 0.1);
    EXPECT_EQ(ca->Kind(), gkTriangle);
    EXPECT_EQ(ca->Font()->Size(), 12);
    EXPECT_EQ(ca->Font()->Style(), 1u << fsBold | 1u << fsUnderline);
    EXPECT_EQ(ca->Points, a->Points);
    EXPECT_EQ(cb->Ratio(), std::numeric_limits<double>::max());
    EXPECT_EQ(ca->Partner(), cb);
    EXPECT_EQ(cb->Partner(), copy);
    for (TGadget* g : {copy, ca, cb}) {
        EXPECT_EQ(g->LoadedCalls, 1) << g->Name();
        EXPECT_FALSE(g->ComponentState().Contains(csLoading));
    }
    EXPECT_TRUE(ca->PartnerKnownInLoaded) << "references are resolved before Loaded";
    EXPECT_EQ(WriteComponentText(*copy), text);
}

TEST_F(FormStreaming, ReadsIntoAnExistingRoot) {
    TGadget form(nullptr);
    ReadComponentTextInto(form, "object Main: TGadget\n  Count = 3\n"
                                "  object Child: TGadget\n    Partner = Main\n  end\nend\n");
    EXPECT_EQ(form.Name(), "Main");
    EXPECT_EQ(form.Count(), 3);
    ASSERT_EQ(form.ComponentCount(), 1);
    EXPECT_EQ(static_cast<TGadget*>(form.Components(0))->Partner(), &form);
    EXPECT_EQ(form.LoadedCalls, 1);
}

TEST(FormText, ParsesEveryValueSyntax) {
    const char* text = "inherited Form: TThing\n"
                       "  I = -12\n"
                       "  H = $1F\n"
                       "  F = 1.5E-3\n"
                       "  S = 'it''s'#13#10'x' +\n    ' y'\n"
                       "  B = true\n"
                       "  N = NIL\n"
                       "  E = gkSquare\n"
                       "  R = Other.Item\n"
                       "  Set = [a, b]\n"
                       "  Empty = []\n"
                       "  L = (1 2.5 'x' (3))\n"
                       "  Bin = {0A0b FF}\n"
                       "  C = <\n    item\n      Width = 3\n    end>\n"
                       "end";
    const TFormNode node = ParseFormText(text);
    EXPECT_EQ(node.Kind, "inherited");
    EXPECT_EQ(node.Name, "Form");
    ASSERT_EQ(node.Properties.size(), 13u);
    auto value = [&](int i) { return node.Properties[static_cast<std::size_t>(i)].Value; };
    EXPECT_EQ(value(0), TValue(-12));
    EXPECT_EQ(value(1), TValue(31));
    EXPECT_EQ(value(2), TValue(1.5e-3));
    EXPECT_EQ(value(3), TValue("it's\r\nx y"));
    EXPECT_EQ(value(4), TValue(true));
    EXPECT_TRUE(value(5).IsNil());
    EXPECT_EQ(value(6), TValue(TIdent{"gkSquare"}));
    EXPECT_EQ(value(7), TValue(TIdent{"Other.Item"}));
    EXPECT_EQ(value(8), TValue(TSetValue{{"a", "b"}}));
    EXPECT_EQ(value(9), TValue(TSetValue{}));
    EXPECT_EQ(value(10), TValue(TValueList{1, 2.5, "x", TValueList{3}}));
    EXPECT_EQ(value(11), TValue(TBinaryValue{{0x0A, 0x0B, 0xFF}}));
    ASSERT_TRUE(value(12).Is<TCollectionValue>());
    EXPECT_EQ(value(12).As<TCollectionValue>().Items.at(0).Values.at(0), TValue(3));
    EXPECT_EQ(node.Properties[3].Line, 5);
    EXPECT_EQ(ParseFormText(RenderFormText(node)).Properties.size(), 13u);
    EXPECT_EQ(RenderFormText(ParseFormText(RenderFormText(node))), RenderFormText(node));
}

TEST(FormText, FloatsReadBackEqual) {
    for (double d :
         {0.0, -0.0, 1.0, 0.1, 1.0 / 3, -2.5e-300, 1e21, 123456789012345678.0,
          std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::infinity()}) {
        const std::string text = "object X: T\n  F = " + FormFloatText(d) + "\nend";
        const TValue v = ParseFormText(text).Properties.at(0).Value;
        if (std::isinf(d)) {
            EXPECT_EQ(v, TValue(TIdent{"Inf"}));
            continue;
        }
        ASSERT_TRUE(v.Is<double>()) << FormFloatText(d);
        EXPECT_EQ(v.As<double>(), d) << FormFloatText(d);
        EXPECT_EQ(std::signbit(v.As<double>()), std::signbit(d));
    }
}

struct MalformedCase {
    const char* Text;
    int Line;
    const char* Message;
};

class FormStreamingErrors : public FormStreaming,
                            public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(FormStreamingErrors, RaiseWithTheLineAndLeaveNothingBehind) {
    const MalformedCase& c = GetParam();
    const int aliveBefore = TGadget::Alive;
    TGadget root(nullptr);
    try {
        ReadComponentTextInto(root, c.Text);
        FAIL() << "no error for: " << c.Text;
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Line(), c.Line) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
    EXPECT_EQ(root.ComponentCount(), 0);
    EXPECT_EQ(TGadget::Alive, aliveBefore + 1);
    EXPECT_FALSE(root.ComponentState().Contains(csLoading));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormStreamingErrors,
    ::testing::Values(
        MalformedCase{"object F: TGadget\n  object A: TGadget\n  end\n  Count = 'x'\nend", 4,
                      "integer"},
        MalformedCase{"object F: TGadget\n  object A: TGadget\n    Partner = Nobody\n  end\nend", 3,
                      "Nobody not found"},
        MalformedCase{"object F: TGadget\n  object A: TGadget\n  end\n  object B: TNoSuch\n"
                      "  end\nend",
                      4, "TNoSuch not found"},
        MalformedCase{"object F: TGadget\n  object A: TGadget\n  end\n  object a: TGadget\n"
                      "  end\nend",
                      4, "already exists"},
        MalformedCase{"object F: TGadget\n  object A: TGadget\n    Colour = 3\n  end\nend", 3,
                      "Colour does not exist"},
        MalformedCase{"object F: TGadget\n  Kind = gkHexagon\nend", 2, "gkHexagon"},
        MalformedCase{"object F: TGadget\n  Points = (2 1.0)\nend", 2, "fewer items"},
        MalformedCase{"object F: TGadget\n  Points = (1 1.0 2.0)\nend", 2, "more items"},
        MalformedCase{"object F: TGadget\n  Caption = 'open\nend", 2, "unterminated"},
        MalformedCase{"object F: TGadget\n  object A: TGadget\n  Count = 1\n", 4, "'end'"},
        MalformedCase{"object F: TGadget\n  Count = 99999999999999999999\nend", 2, "range"},
        MalformedCase{"object F: TOther\nend", 1, "not a TGadget"}));

} // namespace
} // namespace qor
