// Property rules of TQorSerialData and their DataDescriptor upkeep.

#include "data/Transformations.h"
#include "framework/FormStreaming.h"
#include "framework/Properties.h"
#include "tests/data/TestData.h"

#include <cmath>
#include <gtest/gtest.h>

namespace qor::test {
namespace {

TEST(SerialDataProperties, NewObjectStartsAsDocumented) {
    TTestNumber n(nullptr);
    EXPECT_EQ(n.DataLength(), 1);
    EXPECT_EQ(n.DataMask(), 255);
    EXPECT_EQ(n.DataDescriptor(), 0u);
    EXPECT_FALSE(n.DataValid());
    EXPECT_TRUE(n.NotifyEnabled());
    EXPECT_EQ(n.ColCount(), 1);
    EXPECT_EQ(n.RowIndex(), -1);
    EXPECT_DOUBLE_EQ(n.CoeffA(), 1.0);
    EXPECT_DOUBLE_EQ(n.CoeffD(), 1.0);
    EXPECT_TRUE(n.StoreUserValue());
    EXPECT_EQ(n.Allocations, 0);
}

TEST(SerialDataProperties, DataLengthSetsMaskDescriptorAndInvalidates) {
    const struct {
        int Set, Length, Mask;
        std::uint32_t Descriptor;
        int Allocations;
    } steps[] = {
        {2, 2, 0xFFFF, 0x200, 1}, {2, 2, 0xFFFF, 0x200, 1}, {3, 2, 0xFFFF, 0x200, 1},
        {0, 2, 0xFFFF, 0x200, 1}, {1, 1, 0xFF, 0x000, 2},
    };
    TTestNumber n(nullptr);
    for (const auto& s : steps) {
        SCOPED_TRACE(s.Set);
        n.Raw = 99;
        n.SetDataLength(s.Set);
        EXPECT_EQ(n.DataLength(), s.Length);
        EXPECT_EQ(n.DataMask(), s.Mask);
        EXPECT_EQ(n.DataDescriptor(), s.Descriptor);
        EXPECT_EQ(n.Allocations, s.Allocations);
    }
}

TEST(SerialDataProperties, DataMaskKeepsOneRunOfBitsWithinTheWidth) {
    const struct {
        int Length, Set, Expected;
    } cases[] = {
        {1, 0x1F0, 0xF0},  {1, 0x81, 0xFF},      {1, 0x05, 0xFF},
        {1, 0x3C, 0x3C},   {1, 0x0F, 0x0F},      {1, 0, 0},
        {2, 0x1F0, 0x1F0}, {2, 0x18001, 0xFFFF}, {2, 0x18000, 0x8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Set);
        TTestNumber n(nullptr);
        n.SetDataLength(c.Length);
        const int allocations = n.Allocations;
        n.SetDataMask(c.Set);
        EXPECT_EQ(n.DataMask(), c.Expected);
        EXPECT_EQ(n.Allocations, allocations + (c.Expected != (c.Length == 2 ? 0xFFFF : 0xFF)));
    }
}

TEST(SerialDataProperties, SerialCodeAndSignedShareTheDescriptor) {
    TTestNumber n(nullptr);
    n.SetSigned(true);
    n.SetDataLength(2);
    n.SetSerialCode(0x1234);
    EXPECT_EQ(n.SerialCode(), 0x34);
    EXPECT_EQ(n.DataDescriptor(), 0x634u);
    n.SetSerialCode(-1);
    EXPECT_EQ(n.SerialCode(), 0x34);
    n.SetSerialCode(0x07);
    n.SetSigned(false);
    EXPECT_EQ(n.DataDescriptor(), 0x207u);
}

TEST(SerialDataProperties, PrecisionRefusesNegativeAndNaN) {
    TTestNumber n(nullptr);
    n.SetPrecision(0.5);
    n.SetPrecision(-0.1);
    n.SetPrecision(std::nan(""));
    EXPECT_DOUBLE_EQ(n.Precision(), 0.5);
}

TEST(SerialDataProperties, LimitsKeepTheirOrderExceptWhileLoading) {
    TTestNumber n(nullptr);
    n.SetValueMin(10);
    EXPECT_DOUBLE_EQ(n.ValueMin(), 0);
    n.SetValueMax(100);
    n.SetValueMin(10);
    n.SetValueMax(5);
    n.SetValueMin(std::nan(""));
    EXPECT_DOUBLE_EQ(n.ValueMin(), 10);
    EXPECT_DOUBLE_EQ(n.ValueMax(), 100);

    TTestNumber loading(nullptr);
    loading.BeginLoading();
    loading.SetValueMin(10); // streamed before ValueMax
    loading.SetValueMax(20);
    loading.Loaded();
    EXPECT_DOUBLE_EQ(loading.ValueMin(), 10);
    EXPECT_DOUBLE_EQ(loading.ValueMax(), 20);
    EXPECT_EQ(loading.Defaults, std::vector<bool>{false})
        << "Loaded applies the defaults unwritten";
}

TEST(SerialDataProperties, ExtCoeffTakesOnlyOtherNumbersAndMovesTheClient) {
    TTestNumber self(nullptr), a(nullptr), b(nullptr);
    TTestVector vector(nullptr);
    self.SetExtCoeffA(&vector);
    EXPECT_EQ(self.ExtCoeffA(), nullptr);
    self.SetExtCoeffB(&self);
    EXPECT_EQ(self.ExtCoeffB(), nullptr);
    self.SetExtCoeffA(&a);
    EXPECT_EQ(self.ExtCoeffA(), &a);
    EXPECT_EQ(a.Clients(), std::vector<TComponent*>{&self});
    self.SetExtCoeffA(&b);
    EXPECT_TRUE(a.Clients().empty());
    EXPECT_EQ(b.Clients(), std::vector<TComponent*>{&self});
    self.SetExtCoeffA(nullptr);
    EXPECT_TRUE(b.Clients().empty());
    EXPECT_FALSE(self.DataValid()) << "no read is made";
}

TEST(SerialDataProperties, ExtCoeffThatWouldCloseACycleIsIgnored) {
    TTestNumber a(nullptr), b(nullptr), c(nullptr);
    a.SetExtCoeffA(&b);
    b.SetExtCoeffA(&a); // directly
    EXPECT_EQ(b.ExtCoeffA(), nullptr);
    b.SetExtCoeffC(&c);
    c.SetExtCoeffD(&a); // a -> b -> c -> a
    EXPECT_EQ(c.ExtCoeffD(), nullptr);
    EXPECT_EQ(a.Clients(), std::vector<TComponent*>{}) << "nobody was made a client of a";
    // A change of c reaches what depends on it (through b and a, and directly), and ends.
    TProbeControl view(nullptr);
    a.AddClient(&view);
    c.AddClient(&view);
    c.DoGetData();
    ASSERT_EQ(view.Messages.size(), 2u);
    EXPECT_EQ(view.Messages[0].WParam, reinterpret_cast<WPARAM>(&c));
    EXPECT_EQ(view.Messages[1].WParam, reinterpret_cast<WPARAM>(&c));
    // Direct client registration that would pass messages back round is refused too.
    a.AddClient(&c);
    EXPECT_EQ(a.Clients(), std::vector<TComponent*>{&view});
}

TEST(SerialDataProperties, PublishedPropertiesStreamWithTheirDefaults) {
    RegisterDataClasses();
    RegisterClass<TTestVector>("TTestVector");
    TComponent form(nullptr);
    form.SetName("Form");
    auto* v = new TTestVector(&form);
    v->SetName("Fuel");
    EXPECT_EQ(WriteComponentText(*v),
              "object Fuel: TTestVector\n  DataMask = 255\n"
              "  Coeffs = (1.0 0.0 0.0 1.0)\n  ConversionTable = (0)\nend\n");
    v->SetDataLength(2);
    v->SetSerialCode(4);
    v->SetTransformation(ttFormula);
    v->SetValueMax(80);
    v->SetValueMin(20);
    v->SetStoreUserValue(false);
    v->SetCoeffA(3.0); // streamed apart, not as a published property
    auto* source = new TTestVector(&form);
    source->SetName("Trim");
    EXPECT_EQ(WriteComponentText(*v),
              "object Fuel: TTestVector\n  DataLength = 2\n"
              "  DataMask = 65535\n  SerialCode = 4\n"
              "  Transformation = ttFormula\n  ValueMin = 20.0\n"
              "  ValueMax = 80.0\n  StoreUserValue = False\n"
              "  Coeffs = (3.0 0.0 0.0 1.0)\n  ConversionTable = (0)\nend\n");
    TTestVector back(nullptr);
    ReadComponentTextInto(back, WriteComponentText(*v));
    EXPECT_EQ(back.DataDescriptor(), 0x204u);
    EXPECT_DOUBLE_EQ(back.ValueMin(), 20);
    EXPECT_DOUBLE_EQ(back.ValueMax(), 80);
    EXPECT_FALSE(back.StoreUserValue());
    EXPECT_DOUBLE_EQ(back.CoeffA(), 3.0);
    EXPECT_EQ(back.Defaults, std::vector<bool>{false});

    // A mask of 0 is written too, and reads back as 0, not as a new object's 255.
    v->SetDataLength(1);
    v->SetDataMask(0);
    ASSERT_EQ(v->DataMask(), 0);
    const std::string text = WriteComponentText(*v);
    EXPECT_NE(text.find("  DataMask = 0\n"), std::string::npos) << text;
    TTestVector zero(nullptr);
    ReadComponentTextInto(zero, text);
    EXPECT_EQ(zero.DataMask(), 0);
}

} // namespace
} // namespace qor::test
