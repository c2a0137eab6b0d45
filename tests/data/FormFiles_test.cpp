// Form files of every data class: defaults are not written, DataLength comes before
// DataMask and Type before the indexes, "Coeffs", "ConversionTable" and "DefaultValue"
// keep their list structures, and a form of a connection, numbers, a vector and a map
// reads back with its references resolved and its defaults applied.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "link/QorConnection.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qor::test {
namespace {

TEST(FormFileDefaults, NewObjectsWriteOnlyWhatDiffersFromTheStreamDefaults) {
    RegisterDataClasses();
    struct TCase {
        std::function<TComponent*(TComponent*)> Make;
        std::string Text;
    };
    const std::string common = "    DataMask = 255\n";
    const std::string lists = "    Coeffs = (1.0 0.0 0.0 1.0)\n    ConversionTable = (0)\n";
    const TCase cases[] = {
        {[](TComponent* o) { return new TQorNumber(o); },
         common + "    RowIndex = -1\n    ColIndex = -1\n" + lists},
        {[](TComponent* o) { return new TQorVector(o); },
         common + "    ArrayDimension = 1\n    RowIndex = -1\n    ColIndex = -1\n" + lists +
             "    DefaultValue = (1 0.0)\n"},
        {[](TComponent* o) { return new TQorMatrix(o); },
         common + "    ColCount = 1\n    RowCount = 1\n" + lists +
             "    DefaultValue = (1 1 0.0)\n"},
    };
    for (const TCase& c : cases) {
        TComponent form(nullptr);
        form.SetName("Form");
        TComponent* d = c.Make(&form);
        d->SetName("D");
        const std::string text = WriteComponentText(form);
        EXPECT_EQ(text, "object Form: TComponent\n  object D: " + d->ClassName() + "\n" + c.Text +
                            "  end\nend\n");
    }
}

class FormFile : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDataClasses();
        Form.SetName("Form");
        Link = New<TQorConnection>("Link");

        // A coefficient source at map element (0, 0): both indexes are stream defaults.
        Scale = New<TQorNumber>("Scale");
        Scale->SetConnection(Link);
        Scale->SetType(ntMatrixElement);
        Scale->SetDataLength(2);
        Scale->SetDataMask(0x0FF0);
        Scale->SetDefaultValue(0x120);

        // A second source, a vector element at row 0 (written through Type alone).
        Offset = New<TQorNumber>("Offset");
        Offset->SetType(ntVectorElement);
        Offset->SetFileSection("Maps");
        Offset->SetFileKeyName("Offset");

        // Column 0 of a map, two signed bytes, a partial mask, a table and defaults.
        Axis = New<TQorVector>("Axis");
        Axis->SetConnection(Link);
        Axis->SetArrayDimension(3);
        Axis->SetType(vtMatrixCol);
        Axis->SetDataLength(2);
        Axis->SetSigned(true);
        Axis->SetDataMask(0x3FFC);
        Axis->SetTransformation(ttTabled);
        ReadComponentTextInto(*Axis, "object Axis: TQorVector\n"
                                     "  ConversionTable = (3 4.0 8.0 12.0 -1.5 0.0 1.5)\nend\n");
        Axis->SetDefaultValue(0, -1.5);
        Axis->SetDefaultValue(2, 1.5);

        Map = New<TQorMatrix>("Map");
        Map->SetConnection(Link);
        Map->SetColCount(3);
        Map->SetRowCount(2);
        Map->SetTransformation(ttFormula);
        Map->SetCoeffB(0.5);
        Map->SetCoeffD(2);
        Map->SetExtCoeffA(Scale);
        Map->SetExtCoeffB(Offset);
        ReadComponentTextInto(*Map, "object Map: TQorMatrix\n"
                                    "  ConversionTable = (2 0.0 255.0 0.0 100.0)\nend\n");
        Map->SetFileSection("Maps");
        Map->SetFileKeyName("Fuel");
        Map->SetStoreUserValue(false);
        Map->SetOldReadFileMode(true);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                Map->SetDefaultValue(r, c, 10.0 * r + c);
    }

    template <class T> T* New(const char* Name) {
        auto* c = new T(&Form);
        c->SetName(Name);
        return c;
    }

    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
    TQorNumber* Scale = nullptr;
    TQorNumber* Offset = nullptr;
    TQorVector* Axis = nullptr;
    TQorMatrix* Map = nullptr;
};

TEST_F(FormFile, OrderAndListStructures) {
    const std::string text = WriteComponentText(Form);
    for (const char* part : {
             // Scale: DataLength before DataMask; Type alone brings both indexes 0 back.
             "  object Scale: TQorNumber\n    DataLength = 2\n    DataMask = 4080\n"
             "    Type = ntMatrixElement\n    DefaultValue = 288.0\n    Connection = Link\n",
             // Axis: Type before RowIndex; ColIndex 0 is not written.
             "    ArrayDimension = 3\n    Type = vtMatrixCol\n    RowIndex = -1\n"
             "    Connection = Link\n",
             "    ConversionTable = (3 4.0 8.0 12.0 -1.5 0.0 1.5)\n"
             "    DefaultValue = (3 -1.5 0.0 1.5)\n",
             // Map: StoreUserValue is written because it is not its default (true).
             "    FileKeyName = 'Offset'\n    Type = ntVectorElement\n    ColIndex = -1\n"
             "    Coeffs",
             "    ExtCoeffA = Scale\n    ExtCoeffB = Offset\n    FileSection = 'Maps'\n    "
             "FileKeyName = 'Fuel'\n"
             "    StoreUserValue = False\n",
             "    Coeffs = (1.0 0.5 0.0 2.0)\n    ConversionTable = (2 0.0 255.0 0.0 100.0)\n"
             "    DefaultValue = (2 3 0.0 1.0 2.0 10.0 11.0 12.0)\n",
         })
        EXPECT_NE(text.find(part), std::string::npos) << part << "\nnot in\n" << text;
    EXPECT_EQ(text.find(" CoeffA ="), std::string::npos) << "only through Coeffs";
}

TEST_F(FormFile, FormReadsBackWithReferencesAndDefaults) {
    const std::string text = WriteComponentText(Form);
    const auto copy = ReadComponentText(text);
    auto* link = dynamic_cast<TQorConnection*>(copy->FindComponent("Link"));
    auto* scale = dynamic_cast<TQorNumber*>(copy->FindComponent("Scale"));
    auto* axis = dynamic_cast<TQorVector*>(copy->FindComponent("Axis"));
    auto* map = dynamic_cast<TQorMatrix*>(copy->FindComponent("Map"));
    ASSERT_TRUE(link && scale && axis && map);
    EXPECT_EQ(scale->Connection(), link);
    EXPECT_EQ(axis->Connection(), link);
    auto* offset = dynamic_cast<TQorNumber*>(copy->FindComponent("Offset"));
    ASSERT_NE(offset, nullptr);
    EXPECT_EQ(map->ExtCoeffA(), scale);
    EXPECT_EQ(map->ExtCoeffB(), offset);
    EXPECT_EQ(offset->Type(), ntVectorElement);
    EXPECT_EQ(offset->RowIndex(), 0);
    EXPECT_EQ(offset->FileKeyName(), "Offset");
    EXPECT_EQ(map->TableEcu(), (std::vector<double>{0, 255}));
    EXPECT_EQ(map->TableUser(), (std::vector<double>{0, 100}));
    EXPECT_EQ(scale->Clients(), (std::vector<TComponent*>{map}));

    EXPECT_EQ(scale->Type(), ntMatrixElement);
    EXPECT_EQ(scale->RowIndex(), 0);
    EXPECT_EQ(scale->ColIndex(), 0);
    EXPECT_EQ(scale->DataMask(), 0x0FF0) << "DataLength did not reset the mask afterwards";
    EXPECT_EQ(scale->RawValue(), 0x120) << "Loaded applied the default";

    EXPECT_EQ(axis->Type(), vtMatrixCol);
    EXPECT_EQ(axis->ColIndex(), 0);
    EXPECT_EQ(axis->RowIndex(), -1);
    EXPECT_EQ(axis->DataMask(), 0x3FFC);
    EXPECT_EQ(axis->DataDescriptor(), Axis->DataDescriptor());
    EXPECT_EQ(axis->TableUser(), (std::vector<double>{-1.5, 0, 1.5}));
    EXPECT_EQ(axis->RawValues(), (std::vector<std::int32_t>{4, 8, 12}))
        << "Loaded applied the defaults";

    EXPECT_EQ(map->Type(), mtMatrix);
    EXPECT_EQ(map->RowCount(), 2);
    EXPECT_EQ(map->ColCount(), 3);
    EXPECT_EQ(map->DataDescriptor(), Map->DataDescriptor());
    EXPECT_FALSE(map->StoreUserValue());
    EXPECT_TRUE(map->OldReadFileMode());
    EXPECT_EQ(map->FileKeyName(), "Fuel");
    EXPECT_EQ(map->DefaultValues(), Map->DefaultValues());
    // The defaults went through the formula with the coefficient of Scale (its user
    // value 288 as ttNone): raw = (B - D x) / (C x - A).
    double a = 0, b = 0, c = 0, d = 0;
    map->GetCoefficients(a, b, c, d);
    EXPECT_EQ(a, 288.0);
    EXPECT_EQ(b, 0.0) << "the user value of Offset, not CoeffB";
    EXPECT_EQ(map->RawValues()[1][2], map->UserToEcu(12.0, nullptr));
    EXPECT_EQ(WriteComponentText(*copy), text) << "a second trip writes the same text";
}

TEST(FormFileCounts, MapDefaultCountsBeyondTheListEndWithoutLooping) {
    RegisterDataClasses();
    // Counts whose product is 0 stream no values; counts larger than the list end at its
    // end with an error; no count makes the reader walk values that are not there.
    const std::string head = "object Form: TComponent\n  object Map: TQorMatrix\n"
                             "    ColCount = 2\n    RowCount = 2\n    DefaultValue = ";
    struct TCase {
        const char* List;
        bool Ok;
    };
    const TCase cases[] = {
        {"(0 9223372036854775807)", true},
        {"(-9223372036854775807 -1)", true},
        {"(9223372036854775807 -5 1.0)", false},
        {"(9223372036854775807 9223372036854775807 1.0 2.0)", false},
        {"(2 2 1.0 2.0 3.0 4.0)", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.List);
        const std::string text = head + c.List + "\n  end\nend\n";
        if (c.Ok)
            EXPECT_NO_THROW(ReadComponentText(text));
        else
            EXPECT_THROW(ReadComponentText(text), EReadError);
    }
    const auto form =
        LoadComponentFromFile(std::string(QOR_TEST_DATA_DIR) + "/map-default-counts.qfm");
    auto* map = dynamic_cast<TQorMatrix*>(form->FindComponent("Map"));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->DefaultValues().at(1).at(1), 0.0);
}

} // namespace
} // namespace qor::test
