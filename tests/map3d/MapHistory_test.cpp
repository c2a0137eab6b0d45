// The view with an edit history: each key action and each ApplyModification is one step,
// whose undo and redo reach the simulator cell by cell.

#include "tests/map3d/MapKeyFixture.h"

namespace qor::test {
namespace {

class MapHistory : public MapKeyFixture {
protected:
    void SetUp() override {
        MapKeyFixture::SetUp();
        History = new TQorEditHistory(Form.get());
        ASSERT_TRUE(History->Watch(Map));
        View->SetHistory(History);
        // Cells (0 ... 2, 0 ... 2) selected.
        Press(Qt::Key_Down, Qt::ShiftModifier, 2);
        Press(Qt::Key_Right, Qt::ShiftModifier, 2);
        ASSERT_EQ(View->Selection(), (TRect{1, 1, 3, 3}));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                Before.push_back({r, c, SimCell(r, c)});
    }

    // The block's cells with each value moved by Delta, in the order given.
    std::vector<TCellWrite> Block(int Delta, bool Reversed) const {
        std::vector<TCellWrite> out = Before;
        for (TCellWrite& w : out)
            w.Value += Delta;
        if (Reversed)
            std::reverse(out.begin(), out.end());
        return out;
    }

    TQorEditHistory* History = nullptr;
    std::vector<TCellWrite> Before;
};

TEST_F(MapHistory, BlockRaiseIsOneStepUndoneAndRedone) {
    Press(Qt::Key_Up, Qt::ControlModifier);
    ASSERT_EQ(Writes(), Block(+1, false));
    EXPECT_EQ(History->UndoCount(), 1);
    Sim.ClearLog();

    ASSERT_TRUE(History->Undo());
    EXPECT_EQ(Writes(), Block(0, true));
    for (const TCellWrite& w : Before)
        EXPECT_EQ(SimCell(w.Row, w.Col), w.Value) << w;
    EXPECT_DOUBLE_EQ(SampleHeight(0, 0), Before[0].Value * 0.1) << "the view shows the undo";
    Sim.ClearLog();

    ASSERT_TRUE(History->Redo());
    EXPECT_EQ(Writes(), Block(+1, false));
    EXPECT_FALSE(History->CanRedo());
}

TEST_F(MapHistory, ModificationPanelIsOneStep) {
    Press(Qt::Key_Up, Qt::ControlModifier);
    Press(Qt::Key_Return);
    Type("3");
    Press(Qt::Key_Return); // "Assoluta": every cell of the block to 3
    ASSERT_EQ(Writes().size(), 18u);
    EXPECT_EQ(History->UndoCount(), 2);
    Sim.ClearLog();
    ASSERT_TRUE(History->Undo());
    EXPECT_EQ(Writes(), Block(+1, true));
}

TEST_F(MapHistory, WithoutHistoryNothingIsRecordedAndAGoneHistoryIsLetGo) {
    View->SetHistory(nullptr);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(History->UndoCount(), 9) << "watched still, but each cell a step of its own";
    View->SetHistory(History);
    delete History;
    EXPECT_EQ(View->History(), nullptr);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Writes().size(), 18u);
}

} // namespace
} // namespace qor::test
