// The view in a form file: its published properties are written when they differ from
// their defaults, and a form read back binds the view to its map, which it then shows.

#include "framework/FormStreaming.h"
#include "gui/Form.h"
#include "tests/map3d/MapFixture.h"

namespace qor::test {
namespace {

using MapFormFile = MapFixture;

TEST_F(MapFormFile, WrittenAndReadBack) {
    RegisterMap3DClasses();
    TForm form(nullptr);
    form.SetName("MapForm");
    auto* link = new TQorConnection(&form);
    link->SetName("Link");
    link->SetDllName(std::filesystem::path(QOR_ECUSIM_FILE).filename().string());
    auto* map = new TQorMatrix(&form);
    map->SetName("Ignition");
    map->SetSerialCode(IgnitionMapCode);
    map->SetSigned(true);
    map->SetColCount(16);
    map->SetRowCount(16);
    map->SetConnection(link);
    auto* view = new TQor3DMap(&form);
    view->SetName("View");
    view->SetParent(&form);
    view->SetData(map);
    view->SetSphereColorMode(scDynamic);
    view->SetSphereRadius(0.2f);
    view->SetBackGroundColor(clWhite);
    view->SetDefaultDistance(true);

    const std::string text = WriteComponentText(form);
    EXPECT_NE(text.find("object View: TQor3DMap"), std::string::npos) << text;
    for (const char* line :
         {"Data = Ignition", "BackGroundColor = clWhite", "SphereColorMode = scDynamic",
          "SphereRadius = 0.2", "DefaultDistance = True"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    for (const char* absent : {"RowRef", "EnableDrawSphere", "SphereColor =", "EditMode"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << "\n" << text;

    TForm copy(nullptr);
    copy.LoadFromText(text);
    auto* read = dynamic_cast<TQor3DMap*>(copy.FindComponent("View"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Data(), copy.FindComponent("Ignition"));
    EXPECT_EQ(read->SphereColorMode(), scDynamic);
    EXPECT_FLOAT_EQ(read->SphereRadius(), 0.2f);
    EXPECT_EQ(read->BackGroundColor(), clWhite);
    EXPECT_TRUE(read->DefaultDistance());
    // After loading, the map holds its defaults; reading it through the connection that
    // was read back shows the simulator's cells.
    EXPECT_DOUBLE_EQ(read->Samples()[5 * 16 + 2].Height, 0.0);
    ASSERT_TRUE(read->Data()->ReloadFromEcu());
    ASSERT_EQ(read->Samples().size(), 256u);
    EXPECT_DOUBLE_EQ(read->Samples()[5 * 16 + 2].Height, IgnitionValue(2, 5) * 0.1);
}

} // namespace
} // namespace qor::test
