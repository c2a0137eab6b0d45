// The calibration window on the form generated from the simulator's ECU description (with
// one verbal parameter more): every parameter laid out in its control, read over XCP from
// the simulator's slave, live values refreshed, and values written with real keys.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"
#include "app/CalibrationWindow.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "data/SerialData.h"
#include "gui/Application.h"
#include "gui/Label.h"
#include "map3d/Qor3DMap.h"
#include "tests/support/SimLibrary.h"
#include "tests/support/WaitForEvents.h"

#include <QTest>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace qor::test {
namespace {

// The simulator library, loaded for the suite and unloaded after it: a library kept loaded
// to the end of the program would keep the image it parsed for later suites that load it
// with another image.
std::unique_ptr<TSimLibrary>& SimHolder() {
    static std::unique_ptr<TSimLibrary> sim;
    return sim;
}
TSimLibrary& Sim() {
    return *SimHolder();
}

int Memory(std::uint32_t Address, int Width) {
    std::uint8_t b[2] = {};
    EXPECT_TRUE(Sim().ReadMemory(Address, b, Width));
    return Width == 1 ? b[0] : b[0] | b[1] << 8;
}

const char* ModeParameter =
    "/begin CHARACTERISTIC Mode \"fan mode\" VALUE 0x0500 RL_ValueUB 0 CM_Mode 0 2 "
    "/end CHARACTERISTIC\n"
    "/begin COMPU_METHOD CM_Mode \"\" TAB_VERB \"%0.0\" \"\" COMPU_TAB_REF VT_Mode "
    "/end COMPU_METHOD\n"
    "/begin COMPU_VTAB VT_Mode \"\" TAB_VERB 3 0 \"off\" 1 \"on\" 2 \"auto\" /end COMPU_VTAB\n";

class ThreadCalibrationWindow : public testing::Test {
public:
    static void SetUpTestSuite() { SimHolder() = std::make_unique<TSimLibrary>(QOR_ECUSIM_FILE); }
    static void TearDownTestSuite() { SimHolder().reset(); }
    void SetUp() override {
        Sim().ResetDefault();
        const int port = Sim().XcpStart(qxtUdp, 0);
        ASSERT_NE(port, 0);
        std::ifstream in(QOR_SIM_A2L);
        std::stringstream text;
        text << in.rdbuf();
        std::string a2l = text.str();
        a2l.insert(a2l.find("  /end MODULE"), ModeParameter);
        a2l::TMapOptions options;
        options.Port = port;
        Mapping = a2l::MapProject(a2l::ReadA2lText(a2l, "ecusim.a2l"), options);
        std::ofstream(Description) << Mapping.DescriptionText();
        setenv("QOR_XCP_DESCRIPTION", Description.c_str(), 1);
        const std::uint8_t automatic = 2;
        ASSERT_TRUE(Sim().WriteMemory(0x500, &automatic, 1));
        Window = std::make_unique<TCalibrationWindow>(nullptr);
        Window->LoadFormText(Mapping.FormText());
        Window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window->Widget()));
        ASSERT_TRUE(Window->StartSession()) << Window->StatusLabel()->Caption();
    }
    void TearDown() override {
        Window.reset();
        unsetenv("QOR_XCP_DESCRIPTION");
        std::filesystem::remove(Description);
    }

    void Press(Qt::Key Key) {
        QTest::keyClick(Window->Widget()->windowHandle(), Key);
        Application->ProcessMessages();
    }
    void Retype(const std::string& Text) {
        Press(Qt::Key_End);
        for (int i = 0; i < 10; ++i)
            Press(Qt::Key_Backspace);
        for (char ch : Text)
            QTest::keyClick(Window->Widget()->windowHandle(), ch);
    }
    const TCalibrationWindow::TValueRow& Row(const std::string& Name) const {
        for (const auto& row : Window->Values())
            if (row.Number->Name() == Name)
                return row;
        throw std::runtime_error("no row " + Name);
    }

    std::string Description = (std::filesystem::temp_directory_path() /
                               ("qorcal-window-" + std::to_string(::getpid()) + ".xcp"))
                                  .string();
    a2l::TMapping Mapping;
    std::unique_ptr<TCalibrationWindow> Window;
};

} // namespace

TEST_F(ThreadCalibrationWindow, EveryParameterInItsControl) {
    ASSERT_EQ(Window->Values().size(), 5u);
    EXPECT_EQ(TCalibrationWindow::ValueText(Row("IdleSpeed")), "850 rpm");
    EXPECT_EQ(TCalibrationWindow::ValueText(Row("FanOnTemp")), "95 degC");
    EXPECT_EQ(Row("IdleSpeed").Edit->Text(), "850");
    EXPECT_EQ(Row("IdleSpeed").Edit->UnitLabel()->Caption(), "rpm");
    const auto& mode = Row("Mode");
    ASSERT_TRUE(mode.Combo);
    EXPECT_FALSE(mode.Edit);
    EXPECT_EQ(mode.Combo->Items()->Count(), 3);
    EXPECT_EQ(mode.Combo->ItemIndex(), 2);
    EXPECT_EQ(TCalibrationWindow::ValueText(mode), "auto");

    ASSERT_EQ(Window->Maps().size(), 2u);
    for (TQor3DMap* view : Window->Maps()) {
        ASSERT_TRUE(view->Data());
        EXPECT_EQ(view->RowRef()->Name(), "LoadAxis");
        EXPECT_EQ(view->ColRef()->Name(), "SpeedAxis");
        EXPECT_EQ(view->Parent(), Window.get());
    }
    ASSERT_EQ(Window->Arrays().size(), 4u);
    EXPECT_EQ(Window->Arrays()[0].Vector->Name(), "CrankingFuel");
    EXPECT_EQ(Window->Arrays()[0].Label->Caption(), "9 8.2 7.4 6.6 5.8 5 4.2 3.4");

    ASSERT_EQ(Window->Live().size(), 4u);
    for (const auto& live : Window->Live())
        EXPECT_TRUE(WaitFor([&] { return live.Label->Caption() != "-"; }))
            << live.Packet->Name() << " never refreshed";
}

TEST_F(ThreadCalibrationWindow, KeysWriteTheEcu) {
    // The first edit has the focus: FanOnTemp, then IdleSpeed, InjectorTrim, Mode.
    Retype("100");
    Press(Qt::Key_Return);
    EXPECT_EQ(Memory(0x404, 1), 140);
    EXPECT_EQ(Row("FanOnTemp").Edit->Text(), "100");
    Retype("900");
    Press(Qt::Key_Return);
    EXPECT_EQ(Memory(0x400, 2), 900);
    Retype("-20");
    Press(Qt::Key_Return);
    EXPECT_EQ(Memory(0x406, 2), 0x10000 - 20);
    // The combo box: Enter opens the list, Up goes to "on", Enter chooses it.
    Press(Qt::Key_Return);
    Press(Qt::Key_Up);
    Press(Qt::Key_Return);
    EXPECT_EQ(Memory(0x500, 1), 1);
    EXPECT_EQ(TCalibrationWindow::ValueText(Row("Mode")), "on");
    EXPECT_EQ(Window->ErrorCount(), 0) << Window->StatusLabel()->Caption();
}

} // namespace qor::test
