// TQorEditHistory against the simulator library: steps and nested actions, undo and redo
// written back through each kind's write path, a write that fails while undoing, the step
// limit (also far past it), an INI load, changes the history does not watch, watched
// components destroyed or reshaped while steps refer to them, the reference, and a large
// action over two components.

#include "data/EditHistory.h"
#include "inistore/Qormeminifile.h"
#include "tests/data/ArrayLink.h"

#include <utility>

namespace qor::test {
namespace {

class EditHistory : public ArrayLink {
protected:
    void SetUp() override {
        ArrayLink::SetUp();
        History = new TQorEditHistory(&Form);
        History->SetOnChange([this](TObject*) { ++Changes; });
    }

    // The 4 x 6 Grid, cell (r, c) = 10 r + c, read and watched.
    TQorMatrix* WatchedGrid() {
        auto* m = new TQorMatrix(&Form);
        m->SetConnection(Link);
        m->SetSerialCode(Grid);
        m->SetColCount(6);
        m->SetRowCount(4);
        EXPECT_TRUE(m->ReadFromEcu());
        EXPECT_TRUE(History->Watch(m));
        TakeLog();
        return m;
    }
    TQorVector* WatchedAxis() {
        auto* v = new TQorVector(&Form);
        v->SetConnection(Link);
        v->SetSerialCode(Axis);
        v->SetArrayDimension(6);
        EXPECT_TRUE(v->ReadFromEcu());
        EXPECT_TRUE(History->Watch(v));
        TakeLog();
        return v;
    }
    int Cell(int r, int c) { return SimValue(Grid, r * 6 + c); }
    static std::string Put(int r, int c, int v) {
        return "WriteElement(0x6130, " + std::to_string(r) + ", " + std::to_string(c) + ", " +
               std::to_string(v) + ")=1";
    }

    TQorEditHistory* History = nullptr;
    int Changes = 0;
};

TEST_F(EditHistory, NestedActionsAreOneStepUndoneLastChangeFirstAndRedone) {
    TQorMatrix* m = WatchedGrid();
    History->BeginAction();
    m->SetCellValue(1, 1, 50);
    History->BeginAction();
    m->SetCellValue(2, 2, 60);
    m->SetCellValue(1, 1, 51); // the same cell again: one change from 11 to 51
    History->EndAction();
    EXPECT_FALSE(History->CanUndo()) << "the outer action is still open";
    EXPECT_FALSE(History->Undo());
    History->EndAction();
    History->EndAction(); // one too many: ignored
    EXPECT_EQ(History->UndoCount(), 1);
    TakeDataCalls();

    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(2, 2, 22), Put(1, 1, 11)}));
    EXPECT_EQ(Cell(1, 1), 11);
    EXPECT_EQ(Cell(2, 2), 22);
    EXPECT_EQ(m->RawValues()[1][1], 11);
    EXPECT_FALSE(History->CanUndo());
    EXPECT_TRUE(History->CanRedo());
    EXPECT_FALSE(History->Undo());

    EXPECT_TRUE(History->Redo());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(1, 1, 51), Put(2, 2, 60)}));
    EXPECT_EQ(Cell(1, 1), 51);
    EXPECT_EQ(Cell(2, 2), 60);
    EXPECT_EQ(History->UndoCount(), 1);
    EXPECT_EQ(History->RedoCount(), 0);

    // Outside an action every change is a step of its own, and a new step ends the redo.
    m->SetCellValue(0, 0, 7);
    m->SetCellValue(0, 1, 8);
    EXPECT_EQ(History->UndoCount(), 3);
    EXPECT_TRUE(History->Undo());
    m->SetCellValue(3, 3, 9);
    EXPECT_FALSE(History->CanRedo());
    EXPECT_GT(Changes, 0);
}

TEST_F(EditHistory, NumbersAndVectorsWriteBackThroughTheirOwnWritePaths) {
    auto* n = new TQorNumber(&Form);
    n->SetConnection(Link);
    n->SetSerialCode(Single); // a one-value item, 500
    n->SetDataLength(2);
    ASSERT_TRUE(History->Watch(n));
    TQorVector* v = WatchedAxis();
    EXPECT_FALSE(History->Watch(nullptr));
    EXPECT_FALSE(History->Watch(new TQorPacketData(&Form)));

    ASSERT_TRUE(n->SetUserValue(600));
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{70, 71, 99, 73, 74, 75}));
    EXPECT_EQ(History->UndoCount(), 2);
    TakeLog();
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(SimValue(Axis, 2), 72);
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteValue(0x231, 500)=1"}));
    EXPECT_EQ(SimValue(Single), 500);
    EXPECT_TRUE(History->Redo());
    EXPECT_EQ(SimValue(Single), 600);
}

TEST_F(EditHistory, WriteFailingDuringUndoStopsAndKeepsWhatWasWritten) {
    TQorMatrix* m = WatchedGrid();
    History->BeginAction();
    m->SetCellValue(0, 0, 100);
    m->SetCellValue(0, 1, 101);
    m->SetCellValue(0, 2, 102);
    History->EndAction();
    std::vector<bool> errors;
    m->SetOnError([&](TObject*, int, bool Writing) { errors.push_back(Writing); });
    // The first write back goes, the second fails.
    bool armed = true;
    m->SetOnSetData([&](TObject*) {
        if (std::exchange(armed, false))
            Sim.FailNext(qsoWriteElement, 1);
    });
    TakeLog();

    EXPECT_FALSE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(0, 2, 2), "WriteElement(0x6130, 0, 1, 1)=0"}));
    EXPECT_EQ(errors, (std::vector<bool>{true}));
    EXPECT_EQ(Cell(0, 2), 2);
    EXPECT_EQ(Cell(0, 1), 101);
    // The written cell is a step to redo; the other two are still to undo.
    EXPECT_EQ(History->UndoCount(), 1);
    EXPECT_EQ(History->RedoCount(), 1);

    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(0, 1, 1), Put(0, 0, 0)}));
    EXPECT_EQ(History->RedoCount(), 2);
    EXPECT_TRUE(History->Redo());
    EXPECT_TRUE(History->Redo());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(0, 0, 100), Put(0, 1, 101), Put(0, 2, 102)}));
    EXPECT_FALSE(History->CanRedo());
}

TEST_F(EditHistory, MaxStepsKeepsTheLatest) {
    TQorMatrix* m = WatchedGrid();
    EXPECT_EQ(History->MaxSteps(), 100);
    History->SetMaxSteps(2);
    History->SetMaxSteps(0); // ignored
    EXPECT_EQ(History->MaxSteps(), 2);
    for (int k = 0; k < 3; ++k)
        m->SetCellValue(0, k, 90 + k);
    EXPECT_EQ(History->UndoCount(), 2);
    EXPECT_TRUE(History->Undo());
    EXPECT_TRUE(History->Undo());
    EXPECT_FALSE(History->CanUndo());
    EXPECT_EQ(Cell(0, 0), 90) << "the oldest step was dropped";
    EXPECT_EQ(Cell(0, 1), 1);
    for (int k = 0; k < 3; ++k)
        m->SetCellValue(1, k, 90 + k);
    History->SetMaxSteps(1);
    EXPECT_EQ(History->UndoCount(), 1);
}

TEST_F(EditHistory, IniLoadIsRecordedAndValuesNotWatchedAreIgnored) {
    TQorMatrix* m = WatchedGrid();
    m->SetFileSection("Maps");
    m->SetFileKeyName("Map");
    m->SetStoreUserValue(false);
    // A coefficient source relays its changes to the map's clients, the history among them.
    auto* source = new TQorNumber(&Form);
    source->SetConnection(Link);
    source->SetSerialCode(Single);
    source->SetDataLength(2);
    m->SetExtCoeffA(source);
    TQorVector* other = WatchedAxis();
    History->Unwatch(other);

    ASSERT_TRUE(source->SetEcuValue(510));
    ASSERT_TRUE(other->WriteRawElements(std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(History->CanUndo());
    // A read is no edit, but a value read that differs from the reference is changed.
    ASSERT_TRUE(Sim.SetValue(Grid, 0, 77));
    ASSERT_TRUE(m->ReloadFromEcu());
    EXPECT_FALSE(History->CanUndo());
    EXPECT_TRUE(History->Changed(m, 0, 0));

    TMemIniBlock block;
    TMemIniData ini{block.Ref()};
    ini.WriteString("Maps", "Map1_2", "99");
    ini.WriteString("Maps", "Map3_5", "98");
    ASSERT_TRUE(m->LoadFromIni(ini));
    EXPECT_EQ(History->UndoCount(), 1);
    EXPECT_EQ(History->ChangedCount(), 3);
    EXPECT_TRUE(History->Changed(m, 1, 2));
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(Cell(1, 2), 12);
    EXPECT_EQ(Cell(3, 5), 35);
    EXPECT_EQ(History->ChangedCount(), 1);
}

TEST_F(EditHistory, DestroyedOrReshapedComponentTakesItsStepsAlong) {
    TQorMatrix* m = WatchedGrid();
    TQorVector* v = WatchedAxis();
    auto* m2 = new TQorMatrix(&Form);
    m2->SetConnection(Link);
    m2->SetSerialCode(Row);
    m2->SetColCount(6);
    ASSERT_TRUE(History->Watch(m2));

    m->SetCellValue(0, 0, 50); // only m
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{80, 71, 72, 73, 74, 75}));
    History->BeginAction(); // m, m2 and v
    m->SetCellValue(1, 1, 51);
    m2->SetCellValue(0, 3, 40);
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{80, 81, 72, 73, 74, 75}));
    History->EndAction();
    EXPECT_EQ(History->UndoCount(), 3);

    delete m;
    EXPECT_FALSE(History->Watches(m));
    EXPECT_EQ(History->UndoCount(), 2);
    // A reshaped map loses what was recorded of it.
    m2->SetColCount(3);
    EXPECT_TRUE(History->Watches(m2));
    TakeLog();

    // The vector's write back destroys nothing the history still needs.
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(SimValue(Axis, 1), 71);
    EXPECT_EQ(SimValue(Row, 3), 40);
    // A component destroyed by a handler during the write back is skipped afterwards.
    History->BeginAction();
    m2->SetCellValue(0, 0, 1);
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{1, 81, 72, 73, 74, 75}));
    History->EndAction();
    v->SetOnSetData([&](TObject*) { delete m2; });
    TakeLog();
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(SimValue(Axis, 0), 80);
    EXPECT_EQ(History->RedoCount(), 1);
    v->SetOnSetData({});
    EXPECT_TRUE(History->Redo());
    EXPECT_EQ(SimValue(Axis, 0), 1);
}

TEST_F(EditHistory, ReferenceFollowsEditsUndoAndRevert) {
    TQorMatrix* m = WatchedGrid();
    TQorVector* v = WatchedAxis();
    m->SetCellValue(0, 0, 40); // made before the reference: not a change
    History->SetReference();
    EXPECT_EQ(History->ChangedCount(), 0);

    m->SetCellValue(1, 1, 50);
    m->SetCellValue(2, 2, 60);
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{70, 71, 72, 73, 74, 1}));
    EXPECT_EQ(History->ChangedCount(), 3);
    EXPECT_TRUE(History->Changed(m, 1, 1));
    EXPECT_FALSE(History->Changed(m, 0, 0));
    EXPECT_TRUE(History->Changed(v, 0, 5));
    for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 6}})
        EXPECT_FALSE(History->Changed(m, r, c)) << r << " " << c;
    EXPECT_FALSE(History->Changed(nullptr, 0, 0));

    // A value set back by hand is no longer changed.
    m->SetCellValue(2, 2, 22);
    EXPECT_EQ(History->ChangedCount(), 2);
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(History->ChangedCount(), 3);
    EXPECT_TRUE(History->Changed(m, 2, 2));

    const int steps = History->UndoCount();
    TakeLog();
    EXPECT_TRUE(History->RevertToReference());
    EXPECT_EQ(TakeDataCalls(), (Lines{Put(1, 1, 11), Put(2, 2, 22), "WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(History->ChangedCount(), 0);
    EXPECT_EQ(Cell(0, 0), 40);
    EXPECT_EQ(SimValue(Axis, 5), 75);
    EXPECT_EQ(History->UndoCount(), steps + 1) << "the revert is one step";
    EXPECT_TRUE(History->Undo());
    EXPECT_EQ(History->ChangedCount(), 3);
    EXPECT_EQ(Cell(1, 1), 50);
}

// One action over two components, their changes interleaved, with more changes than a
// lookup by search covers and cells changed again: undone component by component, the
// last one first, each cell back to its value before the action; redone in the order of
// the first changes, each cell to its last value.
TEST_F(EditHistory, LargeActionOverTwoComponentsKeepsOrderAndFirstAndLastValues) {
    TQorMatrix* m = WatchedGrid();
    TQorVector* v = WatchedAxis();
    std::vector<std::pair<int, int>> order{{0, 0}};
    History->BeginAction();
    m->SetCellValue(0, 0, 50);
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{80, 71, 72, 73, 74, 75}));
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 6; ++c) {
            m->SetCellValue(r, c, 100 + 10 * r + c);
            order.emplace_back(r, c);
        }
    m->SetCellValue(0, 0, 52);  // again, among few changes
    m->SetCellValue(3, 5, 199); // again, among many
    ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{81, 71, 72, 73, 74, 75}));
    History->EndAction();
    EXPECT_EQ(History->UndoCount(), 1);
    TakeLog();

    ASSERT_TRUE(History->Undo());
    Lines undo{"WriteData(0x6134, 6)=1"};
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        undo.push_back(Put(it->first, it->second, 10 * it->first + it->second));
    EXPECT_EQ(TakeDataCalls(), undo);
    EXPECT_EQ(SimValue(Axis, 0), 70);

    ASSERT_TRUE(History->Redo());
    Lines redo;
    for (auto [r, c] : order)
        redo.push_back(Put(r, c, r == 0 ? 52 : r == 3 && c == 5 ? 199 : 100 + 10 * r + c));
    redo.push_back("WriteData(0x6134, 6)=1");
    EXPECT_EQ(TakeDataCalls(), redo);
    EXPECT_EQ(SimValue(Axis, 0), 81);
}

// Many steps past a small limit, of two components in turn (the map's cell set to 100 + k at
// even steps k, the vector's first element to k at odd ones), for counts around the limit
// and far past it; a component destroyed afterwards takes its steps along and the other's
// stay in order.
TEST_F(EditHistory, StepsFarPastTheLimitThenOneComponentGone) {
    TQorMatrix* m = WatchedGrid();
    TQorVector* v = WatchedAxis();
    History->Unwatch(m);
    History->Unwatch(v);
    const auto edit = [&](TQorEditHistory* h, int Steps) {
        h->SetMaxSteps(4);
        ASSERT_TRUE(h->Watch(m));
        ASSERT_TRUE(h->Watch(v));
        for (int k = 0; k < Steps; ++k)
            if (k % 2 == 0)
                m->SetCellValue(0, 0, 100 + k);
            else
                ASSERT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{k, 71, 72, 73, 74, 75}));
    };
    // The values before step j (j > 1).
    const auto mapBefore = [](int j) { return 100 + (j - 1) - (j - 1) % 2; };
    const auto axisBefore = [](int j) { return (j - 1) % 2 ? j - 1 : j - 2; };
    for (int n : {7, 8, 9, 12, 28, 30}) {
        SCOPED_TRACE(n);
        auto* h = new TQorEditHistory(&Form);
        edit(h, n);
        EXPECT_EQ(h->UndoCount(), 4);
        for (int j = n - 1; j >= n - 4; --j) {
            EXPECT_TRUE(h->Undo());
            EXPECT_EQ(Cell(0, 0), mapBefore(j));
            EXPECT_EQ(SimValue(Axis, 0), axisBefore(j));
        }
        EXPECT_FALSE(h->Undo());
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(h->Redo());
        EXPECT_EQ(Cell(0, 0), mapBefore(n));
        EXPECT_EQ(SimValue(Axis, 0), axisBefore(n));
        delete h;
    }

    auto* h = new TQorEditHistory(&Form);
    edit(h, 30);
    delete v;
    EXPECT_EQ(h->UndoCount(), 2) << "the map's steps 26 and 28";
    EXPECT_TRUE(h->Undo());
    EXPECT_EQ(Cell(0, 0), 126);
    EXPECT_TRUE(h->Undo());
    EXPECT_EQ(Cell(0, 0), 124);
    EXPECT_FALSE(h->Undo());
    EXPECT_TRUE(h->Redo());
    EXPECT_TRUE(h->Redo());
    EXPECT_EQ(Cell(0, 0), 128);
    EXPECT_FALSE(h->CanRedo());

    // A handler told of a cell's step may destroy the history (and with it the handler:
    // nothing of it is used afterwards).
    h->SetOnChange([&h](TObject*) { delete std::exchange(h, nullptr); });
    EXPECT_TRUE(m->SetCellValue(1, 0, 3));
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(m->SetCellValue(1, 1, 4));
    EXPECT_EQ(Cell(1, 1), 4);
}

} // namespace
} // namespace qor::test
