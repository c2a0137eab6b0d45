// Conversions between raw ECU values and user values: every kind in both directions, with
// masks, sign, tables, rounding, precision, limits, custom events and external
// coefficients. No connection: nothing here touches an ECU.

#include "data/SerialData.h"
#include "data/Transformations.h"
#include "framework/FormStreaming.h"
#include "framework/SysUtils.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qor::test {
namespace {

// Sets the conversion table the only way there is: through the form stream.
void LoadTable(TQorNumber& N, const std::vector<double>& Ecu, const std::vector<double>& User) {
    RegisterDataClasses();
    std::string list = std::to_string(Ecu.size());
    for (double v : Ecu)
        list += " " + std::to_string(v);
    for (double v : User)
        list += " " + std::to_string(v);
    ReadComponentTextInto(N, "object N: TQorNumber\n  ConversionTable = (" + list + ")\nend\n");
}

void Formula(TQorNumber& N, double A, double B, double C, double D) {
    N.SetTransformation(ttFormula);
    N.SetCoeffA(A);
    N.SetCoeffB(B);
    N.SetCoeffC(C);
    N.SetCoeffD(D);
}

struct TStep {
    bool ToUser; // raw to user, else user to raw
    double In;
    double Out;
    int Index = -1; // the indexed conversion for this element
};
TStep U(int Raw, double User, int Index = -1) {
    return {true, double(Raw), User, Index};
}
TStep E(double User, int Raw, int Index = -1) {
    return {false, User, double(Raw), Index};
}

struct TConversionCase {
    std::string Name;
    std::function<void(TQorNumber&)> Setup;
    std::vector<TStep> Steps;
};

const std::vector<double> RisingEcu{0, 100, 200}, RisingUser{0, 50, 150};
const std::vector<double> FallingEcu{200, 100, 0}, FallingUser{150, 50, 0};

void SignedWord(TQorNumber& N) {
    N.SetDataLength(2);
    N.SetSigned(true);
}

const std::vector<TConversionCase> Cases{
    {"new number is the identity", [](TQorNumber&) {}, {U(7, 7), E(7, 7), E(-3, -3)}},
    {"identity formula rounds half away from zero",
     [](TQorNumber& n) { n.SetTransformation(ttFormula); },
     {U(100, 100), E(100, 100), E(2.5, 3), E(-2.5, -3), E(2.49, 2), E(-2.49, -2)}},
    {"formula 0.5 raw - 40",
     [](TQorNumber& n) { Formula(n, 0.5, -40, 0, 1); },
     {U(100, 10), U(0, -40), E(10, 100), E(10.2, 100), E(10.25, 101), E(-40.25, -1)}},
    {"formula with a rational term",
     [](TQorNumber& n) { Formula(n, 1, 0, 1, -5); },
     {U(5, ConvErrorZeroDivisor), U(6, 6), U(10, 2), E(2, 10)}},
    {"formula whose way back divides by zero",
     [](TQorNumber& n) { Formula(n, 0, 1, 0, 1); },
     {U(9, 1), E(1, ConvErrorZeroDivisor)}},
    {"none truncates toward zero", [](TQorNumber&) {}, {E(2.7, 2), E(-2.7, -2), E(300, 300)}},
    {"signed byte",
     [](TQorNumber& n) { n.SetSigned(true); },
     {U(0xF0, -16), U(0x7F, 127), U(0x1F0, -16), U(-16, -16)}},
    {"signed byte with mask 0x0F",
     [](TQorNumber& n) {
         n.SetSigned(true);
         n.SetDataMask(0x0F);
     },
     {U(0xF0, 0), U(0x3F, 15)}},
    {"signed field in the upper bits keeps its weight",
     [](TQorNumber& n) {
         n.SetSigned(true);
         n.SetDataMask(0xF0);
     },
     {U(0x35, 48), U(0xF5, -16)}},
    {"signed word", SignedWord, {U(0xFFF0, -16), U(0xF0, 240), U(0x18000, -32768)}},
    {"unsigned word", [](TQorNumber& n) { n.SetDataLength(2); }, {U(0xFFF0, 0xFFF0)}},
    {"precision 0.25 snaps to the nearer step, halfway up",
     [](TQorNumber& n) {
         Formula(n, 0.125, 0, 0, 1);
         n.SetSigned(true);
         n.SetPrecision(0.25);
     },
     {U(9, 1.25), U(-9, -1.0), U(11, 1.5), U(-11, -1.25), U(8, 1.0), E(1.125, 9)}},
    {"precision 0.25 of tenths",
     [](TQorNumber& n) {
         Formula(n, 0.1, 0, 0, 1);
         n.SetSigned(true);
         n.SetPrecision(0.25);
     },
     {U(11, 1.0), U(-11, -1.0), U(14, 1.5), U(-14, -1.5)}},
    {"error results are not snapped",
     [](TQorNumber& n) {
         n.SetTransformation(ttTabled);
         n.SetPrecision(3);
     },
     {U(1, ConvErrorNoTable)}},
    {"tabled",
     [](TQorNumber& n) {
         LoadTable(n, {0, 1, 2}, {10, 20, 30});
         n.SetTransformation(ttTabled);
     },
     {U(1, 20), U(5, ConvErrorNoTable), E(20, 1), E(25, ConvErrorNoTable), E(30, 2)}},
    {"tabled: last point for raw, first point for user, ECU side rounded",
     [](TQorNumber& n) {
         LoadTable(n, {1, 1, 4, 2.5, -2.5}, {10, 15, 10, 40, 50});
         n.SetTransformation(ttTabled);
     },
     {U(1, 15), U(4, 10), E(10, 1), E(15, 1), E(40, 3), E(50, -3)}},
    {"tabled without a table",
     [](TQorNumber& n) { n.SetTransformation(ttTabled); },
     {U(1, ConvErrorNoTable), E(1, ConvErrorNoTable)}},
    {"non-linear rising table, extrapolated at both ends",
     [](TQorNumber& n) {
         SignedWord(n);
         LoadTable(n, RisingEcu, RisingUser);
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(150, 100), U(300, 250), U(-100, -50), U(0xFF9C, -50), U(100, 50), E(100, 150), E(250, 300),
      E(-50, -100), E(75, 125)}},
    {"non-linear falling table gives the same",
     [](TQorNumber& n) {
         SignedWord(n);
         LoadTable(n, FallingEcu, FallingUser);
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(150, 100), U(300, 250), U(-100, -50), U(100, 50), E(100, 150), E(250, 300), E(-50, -100)}},
    {"non-linear table on the formula's scale",
     [](TQorNumber& n) {
         SignedWord(n);
         LoadTable(n, RisingEcu, RisingUser);
         Formula(n, 2, 0, 0, 1);
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(50, 50), U(75, 100), E(50, 50), E(100, 75)}},
    {"non-linear table with a zero divisor",
     [](TQorNumber& n) {
         LoadTable(n, RisingEcu, RisingUser);
         Formula(n, 0, 1, 1, 0);
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(0, ConvErrorZeroDivisor), E(0, ConvErrorZeroDivisor)}},
    {"non-linear table of one point has no value",
     [](TQorNumber& n) {
         LoadTable(n, {5}, {10});
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(5, ConvErrorNoTable), E(10, ConvErrorNoTable)}},
    {"non-linear table with equal neighbours in the searched column",
     [](TQorNumber& n) {
         LoadTable(n, {0, 100, 100, 200}, {0, 50, 60, 150});
         n.SetTransformation(ttNonLinearTabled);
     },
     {U(150, ConvErrorNoTable), U(50, ConvErrorNoTable), E(55, 100), E(105, 150)}},
    {"non-linear without a table",
     [](TQorNumber& n) { n.SetTransformation(ttNonLinearTabled); },
     {U(1, ConvErrorNoTable), E(1, ConvErrorNoTable)}},
    {"limits clamp the user value before any conversion",
     [](TQorNumber& n) {
         Formula(n, 0.5, -40, 0, 1);
         n.SetValueMax(50);
         n.SetValueMin(0);
     },
     {E(70, 180), E(-5, 80), E(30, 140), U(255, 87.5)}},
    {"limits apply to tables too",
     [](TQorNumber& n) {
         LoadTable(n, {0, 1, 2}, {10, 20, 30});
         n.SetTransformation(ttTabled);
         n.SetValueMax(20);
         n.SetValueMin(10);
     },
     {E(30, 1), E(0, 0)}},
    {"a limit of 0 on one side still counts",
     [](TQorNumber& n) { n.SetValueMin(-10); },
     {E(5, 0), E(-20, -10), E(-3, -3)}},
    {"DisableLimits ignores them",
     [](TQorNumber& n) {
         n.SetValueMax(50);
         n.SetDisableLimits(true);
     },
     {E(70, 70), E(-5, -5)}},
    {"no limits while both are 0", [](TQorNumber&) {}, {E(1000, 1000), E(-1000, -1000)}},
    {"custom events get the masked, signed raw value and the index",
     [](TQorNumber& n) {
         n.SetTransformation(ttCustom);
         n.SetSigned(true);
         n.SetOnConvertToUser([&n](TObject* s, int raw, double& v) {
             EXPECT_EQ(s, &n);
             v = raw * 3.0;
         });
         n.SetOnConvertToEcu([](TObject*, double user, int& r) { r = int(user / 2); });
         n.SetOnConvertToUserIndex([](TObject*, int raw, double& v, int i) { v = raw + i * 100; });
         n.SetOnConvertToEcuIndex([](TObject*, double user, int& r, int i) {
             EXPECT_EQ(r, 7); // starts at the current raw value
             r += int(user) + i;
         });
         n.SetValueMax(100);
     },
     {U(4, 12), U(0xF0, -48), E(10, 5), E(500, 50), U(4, 204, 2), E(10, 19, 2)}},
    {"custom events unassigned",
     [](TQorNumber& n) { n.SetTransformation(ttCustom); },
     {U(4, 0), E(10, 0), U(4, 0, 2), E(10, 7, 2)}},
    {"indexed forms of the other kinds convert alike",
     [](TQorNumber& n) { Formula(n, 0.5, -40, 0, 1); },
     {U(100, 10, 3), E(10, 100, 3)}},
};

TEST(ValueConversion, EveryKindInBothDirections) {
    for (const TConversionCase& c : Cases) {
        TQorNumber n(nullptr);
        c.Setup(n);
        for (const TStep& s : c.Steps) {
            SCOPED_TRACE(c.Name + (s.ToUser ? ": raw " : ": user ") + FloatToStr(s.In) +
                         (s.Index >= 0 ? " at " + std::to_string(s.Index) : ""));
            if (s.ToUser) {
                const int raw = static_cast<int>(s.In);
                EXPECT_DOUBLE_EQ(s.Index < 0 ? n.EcuToUser(raw) : n.EcuToUserIndex(raw, s.Index),
                                 s.Out);
            } else {
                int current = 7;
                EXPECT_EQ(s.Index < 0 ? n.UserToEcu(s.In, &current)
                                      : n.UserToEcuIndex(s.In, s.Index, &current),
                          static_cast<int>(s.Out));
                EXPECT_EQ(current, 7) << "a full-width mask reads nothing";
            }
        }
    }
}

// Multiplies by Factor; answers Code (0: use the result).
class TScale : public TBaseTransformation {
public:
    using TBaseTransformation::TBaseTransformation;
    int Transform(double Value, double* Result) override {
        ++Calls;
        *Result = Value * Factor;
        return Code;
    }
    int InverseTransform(double Value, double* Result) override {
        *Result = Value / Factor;
        return Code;
    }
    double Factor = 2;
    int Code = 0;
    int Calls = 0;
};

class ExternalCoefficients : public ::testing::Test {
protected:
    void SetUp() override {
        // The source holds raw 50, which it shows as 0.5.
        Formula(*Source, 0.01, 0, 0, 1);
        const std::uint8_t raw[4] = {50, 0, 0, 0};
        Source->DecodePacket(raw);
        Formula(*Dependent, 7, 0, 0, 1); // CoeffA gives way to the source
        Dependent->SetExtCoeffA(Source);
    }

    TComponent Form{nullptr};
    TQorNumber* Source = new TQorNumber(&Form);
    TQorNumber* Dependent = new TQorNumber(&Form);
    TScale* Scale = new TScale(&Form);
};

TEST_F(ExternalCoefficients, TakeTheSourcesUserValueLive) {
    double a, b, c, d;
    Dependent->GetCoefficients(a, b, c, d);
    EXPECT_DOUBLE_EQ(a, 0.5);
    EXPECT_DOUBLE_EQ(b, 0);
    EXPECT_DOUBLE_EQ(c, 0);
    EXPECT_DOUBLE_EQ(d, 1);
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 50);
    EXPECT_EQ(Dependent->UserToEcu(50, nullptr), 100);

    const std::uint8_t raw[4] = {25, 0, 0, 0};
    Source->DecodePacket(raw); // fetched afresh for every conversion
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 25);

    Dependent->SetExtCoeffA(nullptr);
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 700);
}

TEST_F(ExternalCoefficients, PassThroughTheirTransformation) {
    Dependent->SetTransformationA(Scale);
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 100); // A = 0.5 * 2
    EXPECT_EQ(Dependent->UserToEcu(100, nullptr), 100);
    EXPECT_EQ(Scale->Calls, 2);

    Scale->Code = 1; // any other answer keeps the untransformed value
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 50);

    // A transformation of a letter without a source is not asked.
    auto* other = new TScale(&Form);
    Dependent->SetTransformationB(other);
    Dependent->SetCoeffB(3);
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 53);
    EXPECT_EQ(other->Calls, 0);
}

TEST_F(ExternalCoefficients, AreFetchedOnlyForFormulaKinds) {
    Dependent->SetTransformationA(Scale);
    for (TransformationType kind : {ttNone, ttTabled, ttCustom}) {
        Dependent->SetTransformation(kind);
        Dependent->EcuToUser(1);
        Dependent->UserToEcu(1, nullptr);
    }
    EXPECT_EQ(Scale->Calls, 0);

    Scale->Factor = 4; // A = 2
    LoadTable(*Dependent, RisingEcu, RisingUser);
    Dependent->SetTransformation(ttNonLinearTabled);
    EXPECT_DOUBLE_EQ(Dependent->EcuToUser(100), 150); // looked up at y = 200
    EXPECT_EQ(Dependent->UserToEcu(50, nullptr), 50); // y = 100
    EXPECT_EQ(Scale->Calls, 2);
}

} // namespace
} // namespace qor::test
