#pragma once
// Fixture of the vector and map tests: a connection to the simulator library serving the
// image data/shapes.img, the library calls logged since the last look, and a trail of
// the events a data object fires and the messages its clients get, in order.

#include "data/SerialData.h"
#include "framework/Control.h"
#include "link/QorConnection.h"
#include "tests/support/TestLink.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace qor::test {

using Lines = std::vector<std::string>;

// Codes of data/shapes.img.
constexpr int Grid = 0x30;   // map u8 4 x 6 at 0x1000, cell (r, c) = 10 r + c
constexpr int Single = 0x31; // map u16 1 x 1 at 0x1100, 500
constexpr int Column = 0x32; // map u8 5 x 1 at 0x1200, 40 ..
constexpr int Row = 0x33;    // map u8 1 x 6 at 0x1300, 60 ..
constexpr int Axis = 0x34;   // vector u8 x 6 at 0x1400, 70 ..
constexpr int Words = 0x35;  // vector u16 x 4 at 0x0100, 1000 ..
constexpr int Wide = 0x36;   // map u16 2 x 8 at 0x0200, 2000 + 10 r + c

// A client control that writes the messages it gets into a shared trail.
class TTrailControl : public TControl {
public:
    TTrailControl(TComponent* AOwner, Lines& Trail) : TControl(AOwner), FTrail(Trail) {}

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_DATA_CHANGED)
            FTrail.push_back("WM_DATA_CHANGED");
        else if (Message.Msg == WM_DATA_STATUS)
            FTrail.push_back("WM_DATA_STATUS " + std::to_string(Message.LParam));
        else if (Message.Msg == WM_DATA_RESIZED)
            FTrail.push_back("WM_DATA_RESIZED " + std::to_string(Message.WParam) + " " +
                             std::to_string(Message.LParam));
    }

private:
    Lines& FTrail;
};

class ArrayLink : public ::testing::Test {
protected:
    void SetUp() override {
        char error[256] = {};
        ASSERT_TRUE(Sim.Reset(QOR_TEST_DATA_DIR "/shapes.img", error, sizeof error)) << error;
        Link = new TQorConnection(&Form);
        Link->SetDllName(Sim.DllName());
        ASSERT_TRUE(Link->LoadDll());
        Sim.ClearLog();
    }

    // Records every event of the object, and the messages its clients get.
    void Watch(TQorSerialData* D) {
        D->SetBeforeGetData([this](TObject*) { Trail.push_back("BeforeGetData"); });
        D->SetOnGetData([this](TObject*) { Trail.push_back("OnGetData"); });
        D->SetOnSetData([this](TObject*) { Trail.push_back("OnSetData"); });
        D->SetBeforeSetData(
            [this](TObject*, double* v, double prev, int row, int col, bool& Abort) {
                Trail.push_back("BeforeSetData " + Number(*v) + " " + Number(prev) + " " +
                                std::to_string(row) + " " + std::to_string(col));
                Abort = AbortWrites;
            });
        D->SetOnError([this](TObject*, int Code, bool Writing) {
            Trail.push_back("OnError " + std::to_string(Code) +
                            (Writing ? " writing" : " reading"));
        });
        D->AddClient(new TTrailControl(&Form, Trail));
    }

    static std::string Number(double v) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
        return s;
    }

    int SimValue(int Code, int Index = 0) {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim.GetValue(Code, Index, &v));
        return v;
    }

    Lines TakeLog() { return Take(false); }
    // The data operations only, without IsConnected and GetLastStatus.
    Lines TakeDataCalls() { return Take(true); }
    Lines TakeTrail() { return std::exchange(Trail, {}); }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
    Lines Trail;
    bool AbortWrites = false;

private:
    Lines Take(bool DataOnly) {
        Lines out;
        for (const QorSimCall& c : Sim.Calls())
            if (!DataOnly || (c.Op >= qsoReadData && c.Op <= qsoWriteAtAddress))
                out.push_back(TSimLibrary::Format(c));
        Sim.ClearLog();
        return out;
    }
};

} // namespace qor::test
