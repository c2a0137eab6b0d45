// The simulator's ECU description through qorcal-a2l: the generated form loads, and its
// components read and write the simulator over XCP on the loopback (its XCP slave), each
// cell at its address in the image, in row and in column order and in either byte order.
// The shipped description is kept in step with the built-in image.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"
#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "tests/framework/TempDir.h"
#include "tests/support/SimLibrary.h"
#include "xcp/Description.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace qor;

namespace {

const std::string SimulatorA2l = QOR_TEST_DATA_DIR "/../../../ecusim/ecusim.a2l";

test::TSimLibrary& Sim() {
    static test::TSimLibrary sim{QOR_ECUSIM_FILE};
    return sim;
}

template <class T> T& Get(const TComponent& Form, const std::string& Name) {
    T* c = dynamic_cast<T*>(Form.FindComponent(Name));
    if (!c)
        throw std::runtime_error("no component " + Name);
    return *c;
}

class ThreadA2lEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        Sim().ResetDefault();
        Port = Sim().XcpStart(qxtUdp, 0);
        ASSERT_NE(Port, 0);
    }
    void TearDown() override {
        Form.reset();
        unsetenv("QOR_XCP_DESCRIPTION");
    }

    // Runs the program on File, then loads the form it wrote with the XCP library pointed
    // at the description it wrote. Returns the program's report.
    std::string Generate(const std::string& File, const std::string& Stem) {
        const std::string command = std::string(QOR_A2L_TOOL) + " " + File + " --out " +
                                    Dir.File("out") + " --port " + std::to_string(Port) + " > " +
                                    Dir.File("report.txt");
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(Dir.File("report.txt"));
        std::stringstream report;
        report << in.rdbuf();
        setenv("QOR_XCP_DESCRIPTION", Dir.File("out/" + Stem + ".xcp").c_str(), 1);
        Form = LoadComponentFromFile(Dir.File("out/" + Stem + ".qfm"));
        // As a program does when its session starts: the values held since loading count
        // for nothing.
        for (int i = 0; i < Form->ComponentCount(); ++i)
            if (auto* data = dynamic_cast<TQorSerialData*>(Form->Components(i)))
                if (data->Connection())
                    data->ReloadFromEcu();
        return report.str();
    }

    int Memory(std::uint32_t Address, int Width, bool MsbFirst = false) {
        std::uint8_t b[2] = {};
        EXPECT_TRUE(Sim().ReadMemory(Address, b, Width));
        if (Width == 1)
            return b[0];
        return MsbFirst ? b[0] << 8 | b[1] : b[1] << 8 | b[0];
    }

    test::TempDir Dir;
    int Port = 0;
    std::unique_ptr<TComponent> Form;
};

} // namespace

TEST_F(ThreadA2lEndToEnd, SimulatorImageReadAndWrittenOverXcp) {
    const std::string report = Generate(SimulatorA2l, "ecusim");
    EXPECT_NE(report.find("Module Engine: 14 items mapped, 0 not held; XCP slave 127.0.0.1:" +
                          std::to_string(Port) + " UDP"),
              std::string::npos)
        << report;

    TQorNumber& idle = Get<TQorNumber>(*Form, "IdleSpeed");
    EXPECT_EQ(idle.GetUserValue(), 850.0);
    ASSERT_TRUE(idle.SetUserValue(900));
    EXPECT_EQ(Memory(0x400, 2), 900);
    TQorNumber& fan = Get<TQorNumber>(*Form, "FanOnTemp");
    EXPECT_EQ(fan.GetUserValue(), 95.0);
    ASSERT_TRUE(fan.SetUserValue(101));
    EXPECT_EQ(Memory(0x404, 1), 141);
    TQorNumber& trim = Get<TQorNumber>(*Form, "InjectorTrim");
    EXPECT_EQ(trim.GetUserValue(), -12.0);
    ASSERT_TRUE(trim.SetUserValue(-300));
    EXPECT_EQ(Memory(0x406, 2), 0x10000 - 300);

    TQorMatrix& ignition = Get<TQorMatrix>(*Form, "IgnitionMap");
    TQorMatrix& fuel = Get<TQorMatrix>(*Form, "FuelMap");
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            double v = 0;
            ASSERT_TRUE(ignition.GetCellValue(r, c, v));
            EXPECT_EQ(v, std::clamp(8 + c * 2 - r * 2, -10, 45)) << r << "," << c;
            ASSERT_TRUE(fuel.GetCellValue(r, c, v));
            EXPECT_NEAR(v, (1500 + r * 420 + c * 60) / 1000.0, 1e-9) << r << "," << c;
        }
    ASSERT_TRUE(ignition.SetCellValue(2, 5, -7));
    EXPECT_EQ(static_cast<std::int8_t>(Memory(0x100 + 2 * 16 + 5, 1)), -7);
    ASSERT_TRUE(fuel.SetCellValue(15, 14, 12.345));
    EXPECT_EQ(Memory(0x200 + 2 * (15 * 16 + 14), 2), 12345);

    TQorVector& speed = Get<TQorVector>(*Form, "SpeedAxis");
    TQorVector& load = Get<TQorVector>(*Form, "LoadAxis");
    for (int i = 0; i < 16; ++i) {
        double v = 0;
        ASSERT_TRUE(speed.GetElementValue(i, v));
        EXPECT_EQ(v, 500 + 500 * i);
        ASSERT_TRUE(load.GetElementValue(i, v));
        EXPECT_EQ(v, 10 + 6 * i);
    }
    TQorVector& cranking = Get<TQorVector>(*Form, "CrankingFuel");
    std::vector<std::int32_t> raw(8);
    for (int i = 0; i < 8; ++i)
        raw[static_cast<std::size_t>(i)] = cranking.UserToEcuIndex(1.0 + i, i, nullptr);
    ASSERT_TRUE(cranking.WriteRawElements(raw));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Memory(0x420 + 2 * static_cast<std::uint32_t>(i), 2), 1000 + 1000 * i);

    TQorPacketData& coolant = Get<TQorPacketData>(*Form, "Coolant");
    ASSERT_TRUE(coolant.ReadFromEcu());
    EXPECT_EQ(coolant.EcuToUser(coolant.RawValue()), Memory(0x803, 1) - 40.0);
    TQorPacketData& engine = Get<TQorPacketData>(*Form, "EngineSpeed");
    ASSERT_TRUE(engine.ReadFromEcu());
    EXPECT_GE(engine.RawValue(), 800);
    EXPECT_LE(engine.RawValue(), 4400);
}

TEST_F(ThreadA2lEndToEnd, RowAndColumnOrderInTheEcusByteOrder) {
    Generate(QOR_TEST_DATA_DIR "/layouts.a2l", "layouts");
    TQorMatrix& byColumns = Get<TQorMatrix>(*Form, "ByColumns");
    TQorMatrix& byRows = Get<TQorMatrix>(*Form, "ByRows");
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const int v = 0x100 * (r + 1) + c + 1; // two different bytes
            ASSERT_TRUE(byColumns.SetCellValue(r, c, v));
            ASSERT_TRUE(byRows.SetCellValue(r, c, v + 0x1000));
        }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const int v = 0x100 * (r + 1) + c + 1;
            EXPECT_EQ(Memory(0x3000 + 2 * static_cast<std::uint32_t>(c * 3 + r), 2, true), v);
            EXPECT_EQ(Memory(0x3100 + 2 * static_cast<std::uint32_t>(r * 4 + c), 2, true),
                      v + 0x1000);
        }

    // Read back whole rows after the memory changed under the components.
    std::uint8_t bytes[24];
    for (int i = 0; i < 12; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(i);
        bytes[2 * i + 1] = 0x50;
    }
    ASSERT_TRUE(Sim().WriteMemory(0x3000, bytes, 24));
    ASSERT_TRUE(Sim().WriteMemory(0x3100, bytes, 24));
    ASSERT_TRUE(byColumns.ReloadFromEcu());
    ASSERT_TRUE(byRows.ReloadFromEcu());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            double v = 0;
            ASSERT_TRUE(byColumns.GetCellValue(r, c, v));
            EXPECT_EQ(v, (c * 3 + r) * 0x100 + 0x50) << r << "," << c;
            ASSERT_TRUE(byRows.GetCellValue(r, c, v));
            EXPECT_EQ(v, (r * 4 + c) * 0x100 + 0x50) << r << "," << c;
        }

    TQorNumber& trim = Get<TQorNumber>(*Form, "Trim");
    ASSERT_TRUE(trim.SetUserValue(-2));
    EXPECT_EQ(Memory(0x3200, 2, true), 0xFFFE);
}

// Every item of the built-in image (named by the XCP library's shipped description of
// it) is in the ECU description with its address, width, sign and shape; the live packet
// is covered byte for byte by the measurements.
TEST(A2lSimulatorImage, InStepWithTheBuiltInImage) {
    Sim().ResetDefault();
    const a2l::TMapping m = a2l::MapProject(a2l::ReadA2l(SimulatorA2l));
    EXPECT_TRUE(m.NotHeld.empty()) << m.Report();
    const xcp::DescriptionResult names =
        xcp::LoadDescription(QOR_TEST_DATA_DIR "/../../../xcp/ecusim.xcp");
    ASSERT_TRUE(names.Value) << names.Error;
    int items = 0;
    for (int code = 0; code < 256; ++code) {
        QorSimItem it{};
        if (!Sim().GetItem(code, &it))
            continue;
        const xcp::ItemDescription* named = names.Value->Find(code);
        ASSERT_TRUE(named) << "code " << code;
        if (it.Kind == qsiPacket) {
            std::set<std::uint32_t> covered;
            for (const a2l::THeldItem& i : m.Items)
                if (i.Shape == a2l::TItemShape::Packet)
                    for (int b = 0; b < i.Width; ++b)
                        covered.insert(i.Address + static_cast<std::uint32_t>(b));
            EXPECT_EQ(covered.size(), static_cast<std::size_t>(it.Cols));
            EXPECT_EQ(*covered.begin(), it.Address);
            EXPECT_EQ(*covered.rbegin(), it.Address + static_cast<std::uint32_t>(it.Cols - 1));
            continue;
        }
        ++items;
        const a2l::THeldItem* held = m.Find(named->Name);
        ASSERT_TRUE(held) << named->Name;
        EXPECT_EQ(held->Address, it.Address) << named->Name;
        EXPECT_EQ(held->Width, it.Width) << named->Name;
        EXPECT_EQ(held->Signed, it.Signed != 0) << named->Name;
        EXPECT_EQ(held->Rows * held->Cols, it.Rows * it.Cols) << named->Name;
        if (it.Kind == qsiMap && it.Rows > 1 && it.Cols > 1) {
            EXPECT_EQ(held->Rows, it.Rows) << named->Name;
            EXPECT_FALSE(held->ColumnMajor) << named->Name;
        }
    }
    const auto inEcu = std::count_if(m.Items.begin(), m.Items.end(), [](const a2l::THeldItem& i) {
        return !i.Fixed && i.Shape != a2l::TItemShape::Packet;
    });
    EXPECT_EQ(inEcu, items) << "the description holds nothing the image does not";
}
