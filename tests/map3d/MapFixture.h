#pragma once
// Fixture of the map view tests: a connection to the simulator's built-in image and the
// data components a view binds to: the 16 x 16 ignition map (signed bytes), the speed
// axis (500 ... 8000, 16 words) and the load axis (10 ... 100, 16 bytes).

#include "data/SerialData.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"
#include "tests/support/SimLibrary.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace qor::test {

constexpr int SpeedAxisCode = 0x01;
constexpr int LoadAxisCode = 0x02;
constexpr int IgnitionMapCode = 0x03;

// The simulator's ignition map: more advance at high speed and low load.
inline double IgnitionValue(int Row, int Col) {
    return std::clamp(8 + Col * 2 - Row * 2, -10, 45);
}

class MapFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Link = new TQorConnection(&Owner);
        Link->SetDllName(std::filesystem::path(QOR_ECUSIM_FILE).filename().string());
        ASSERT_TRUE(Link->LoadDll());
        Sim.ClearLog();
    }

    TQorMatrix* IgnitionMap() {
        auto* m = new TQorMatrix(&Owner);
        m->SetConnection(Link);
        m->SetSerialCode(IgnitionMapCode);
        m->SetSigned(true);
        m->SetColCount(16);
        m->SetRowCount(16);
        return m;
    }
    TQorVector* Axis(int Code, int Length) {
        auto* v = new TQorVector(&Owner);
        v->SetConnection(Link);
        v->SetSerialCode(Code);
        v->SetDataLength(Length);
        v->SetArrayDimension(16);
        return v;
    }
    TQorVector* SpeedAxis() { return Axis(SpeedAxisCode, 2); }
    TQorVector* LoadAxis() { return Axis(LoadAxisCode, 1); }

    TSimLibrary Sim{QOR_ECUSIM_FILE};
    TComponent Owner{nullptr};
    TQorConnection* Link = nullptr;
};

} // namespace qor::test
