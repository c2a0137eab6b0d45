#pragma once
// Fixture of the map editing tests: a shown, active form with a map view bound to the
// simulator's ignition map (read once, so later reads come from the cache), the view
// focused, and keys typed through the window as the platform delivers them. The view has
// no rendering context, so frames are counted but cost nothing.

#include "gui/Form.h"
#include "tests/map3d/MapFixture.h"

#include <QTest>
#include <QWindow>
#include <memory>
#include <vector>

namespace qor::test {

class TCountingMap : public TQor3DMap {
public:
    using TQor3DMap::TQor3DMap;

protected:
    std::unique_ptr<TGLContextProvider> CreateContextProvider() override { return nullptr; }
};

// One WriteElement call of the simulator's log.
struct TCellWrite {
    int Row, Col, Value;
    bool operator==(const TCellWrite&) const = default;
};

inline std::ostream& operator<<(std::ostream& Out, const TCellWrite& W) {
    return Out << "(" << W.Row << ", " << W.Col << ") = " << W.Value;
}

class MapKeyFixture : public MapFixture {
protected:
    void SetUp() override {
        MapFixture::SetUp();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(50, 50, 400, 300);
        View = new TCountingMap(Form.get());
        View->SetParent(Form.get());
        View->SetBounds(0, 0, 400, 300);
        Map = IgnitionMap();
        ASSERT_TRUE(Map->ReadFromEcu());
        View->SetData(Map);
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
        View->SetFocus();
        ASSERT_TRUE(View->Focused());
        Sim.ClearLog();
    }
    void TearDown() override { Form.reset(); }

    QWindow* Window() const { return Form->Widget()->windowHandle(); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier, int Times = 1) {
        for (int i = 0; i < Times; ++i)
            QTest::keyClick(Window(), Key, Modifiers);
    }
    // A key that types Ch, as the platform sends it (an upper-case letter with Shift).
    void Type(char Ch) {
        const bool upper = Ch >= 'A' && Ch <= 'Z';
        const int key = upper ? Ch : (Ch >= 'a' && Ch <= 'z' ? Ch - 'a' + 'A' : Ch);
        QTest::sendKeyEvent(QTest::Click, Window(), static_cast<Qt::Key>(key), QString(QChar(Ch)),
                            upper ? Qt::ShiftModifier : Qt::NoModifier);
    }
    void Type(const std::string& Text) {
        for (char ch : Text)
            Type(ch);
    }

    // Cell values of the simulator's ignition map, zero-based.
    int SimCell(int Row, int Col) {
        std::int32_t v = 0;
        EXPECT_EQ(Sim.GetValue(IgnitionMapCode, Row * 16 + Col, &v), 1);
        return v;
    }
    void SetSimCell(int Row, int Col, int Value) {
        ASSERT_EQ(Sim.SetValue(IgnitionMapCode, Row * 16 + Col, Value), 1);
    }
    // Every cell of the map to Value in the simulator and in the map's cache.
    void FillMap(int Value) {
        for (int i = 0; i < 256; ++i)
            Sim.SetValue(IgnitionMapCode, i, Value);
        Reload();
    }
    void Reload() {
        ASSERT_TRUE(Map->ReloadFromEcu());
        Sim.ClearLog();
    }

    // The cells written to the ECU since the log was last cleared, in order.
    std::vector<TCellWrite> Writes() const {
        std::vector<TCellWrite> out;
        for (const QorSimCall& c : Sim.Calls())
            if (c.Op == qsoWriteElement && c.Result)
                out.push_back({c.Args[0], c.Args[1], c.Args[2]});
        return out;
    }

    double SampleHeight(int Row, int Col) const {
        return View->Samples()[static_cast<std::size_t>(Col * View->RowCountSnapshot() + Row)]
            .Height;
    }

    std::unique_ptr<TForm> Form;
    TCountingMap* View = nullptr;
    TQorMatrix* Map = nullptr;
};

} // namespace qor::test
