#pragma once
// TQorEditHistory: undo and redo of the raw values of data components, and the values
// changed since a reference.
//
// The history is a client of every number, vector and map it watches. It keeps a copy of
// their raw values and, at each WM_DATA_CHANGED, records every value that differs from
// its copy as the raw value before and after, whoever made the change (a view, a numeric
// edit, an INI load, a read). The changes made between BeginAction and the matching
// EndAction form one step; a change outside an action is a step of its own. Undo and Redo
// write the raw values back through the components' own write paths, so the ECU, the
// events and the other clients see them.
//
// Values are addressed as (row, column): a number is (0, 0), element i of a vector is
// (0, i), cell (r, c) of a map is (r, c).

#include "data/SerialData.h"
#include "framework/Control.h"
#include "framework/NotifyEvent.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace qor {

template <class C> class TPublisher;

// Sent to the history's clients (see AddClient) after its steps or its reference changed.
// WParam: the history; LParam: 0.
constexpr unsigned WM_HISTORY_CHANGED = WM_APP + 0x17A; // 0x817A

class TQorEditHistory : public TControl {
public:
    using inherited = TControl;

    explicit TQorEditHistory(TComponent* AOwner);
    // Leaves the clients of every watched component.
    ~TQorEditHistory() override;

    // Published: MaxSteps.
    static void Publish(TPublisher<TQorEditHistory>& P);

    // Starts watching a number, vector or map (not a packet): its present values become
    // both the copy and its reference. False for anything else; true when it is already
    // watched.
    bool Watch(TQorSerialData* Data);
    // Stops watching; the recorded changes of the component are dropped.
    void Unwatch(TQorSerialData* Data);
    bool Watches(const TQorSerialData* Data) const;

    // Changes between the outermost BeginAction and its EndAction form one step; nested
    // pairs count once. An EndAction without a BeginAction is ignored.
    void BeginAction();
    void EndAction();
    bool InAction() const { return FActionDepth > 0; }

    // Undo writes the values of the last step back as they were before it, the last change
    // first; Redo writes them again as they were after it. Both are refused while an action
    // is open or there is nothing to do. A write that fails (reported through the
    // component's OnError as usual) stops: what was written moves to the other list as a
    // step of its own, the rest stays where it was, and the result is false.
    bool CanUndo() const { return !FUndo.Empty(); }
    bool CanRedo() const { return !FRedo.Empty(); }
    bool Undo();
    bool Redo();
    int UndoCount() const { return FUndo.Count(); }
    int RedoCount() const { return FRedo.Count(); }
    // Forgets every step (the copies and the reference stay).
    void Clear();

    // Steps kept for Undo, at least 1 (smaller values are ignored); the oldest go first.
    int MaxSteps() const { return FMaxSteps; }
    void SetMaxSteps(int Value);

    // The present values of every watched component become the reference.
    void SetReference();
    // Whether the component's value at (Row, Col) now differs from the reference; false for
    // a component not watched or a place outside it.
    bool Changed(const TQorSerialData* Data, int Row, int Col) const;
    // Values that differ from the reference, over every watched component (as the history
    // last saw them).
    int ChangedCount() const { return FChangedCount; }
    // Writes the reference values back wherever they differ, as one step (which Undo takes
    // back). False when a write failed; the other components are still written.
    bool RevertToReference();

    // Fired after a step was recorded, undone or redone, after Clear and after
    // SetReference.
    void SetOnChange(TNotifyEvent Handler) { FOnChange = std::move(Handler); }
    // Controls told of the same through WM_HISTORY_CHANGED (a view that shows changes).
    void AddClient(TControl* Client);
    void RemoveClient(TControl* Client);

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // The data components deliver WM_DATA_CHANGED to DataChanged directly, not through
    // Perform: the history hears of every edit.
    friend class TQorSerialData;
    // WM_DATA_CHANGED of Source, a component watched or not (a message relayed from a
    // component not watched names that component).
    void DataChanged(const TQorSerialData* Source);

    enum class TKind { Number, Vector, Matrix };
    struct TWatched {
        TQorSerialData* Data = nullptr;
        TKind Kind = TKind::Number;
        int Rows = 1, Cols = 1;
        std::vector<std::int32_t> Copy;      // row-major
        std::vector<std::int32_t> Reference; // row-major, same shape
        int ChangedCount = 0;
    };
    // One value changed. In a step the changes of one component lie together (an entry),
    // the entries in the order of the components' first change, the changes of an entry in
    // the order of the values' first change.
    struct TChange {
        TQorSerialData* Data;
        int Index; // row-major
        std::int32_t Before, After;
    };
    using TChanges = std::vector<TChange>;
    // A list of steps in one array of changes and one of step starts. Both are reused:
    // their storage only grows, and the parts in use are counted here.
    class TSteps {
    public:
        int Count() const { return static_cast<int>(FStepEnd - FFirst); }
        bool Empty() const { return FStepEnd == FFirst; }
        void Push(const TChange* Begin, const TChange* End);
        void PushOne(const TChange& Change) {
            if (FStepEnd == FStarts.size() || FChangeEnd == FChanges.size())
                Grow(1);
            FStarts[FStepEnd++] = FChangeEnd;
            FChanges[FChangeEnd++] = Change;
        }
        // The changes of the newest step, which is removed.
        TChanges PopLast();
        // Drops the oldest steps beyond Steps. They are only skipped until they are as many
        // as the kept ones: then they are removed, so each change moves once on average.
        void Keep(int Steps) {
            const auto keep = static_cast<std::size_t>(Steps);
            if (FStepEnd - FFirst <= keep)
                return;
            FFirst = FStepEnd - keep;
            if (FFirst >= keep)
                Compact();
        }
        void Clear() { FChangeEnd = FStepEnd = FFirst = 0; }
        // Removes the changes of Data and the steps left empty.
        void Forget(const TComponent* Data);

    private:
        // Makes room for one more step of Changes changes.
        void Grow(std::size_t Changes);
        // Removes the steps skipped.
        void Compact();

        TChanges FChanges;                // [0, FChangeEnd) in use
        std::vector<std::size_t> FStarts; // [0, FStepEnd) in use: where each step begins
        std::size_t FChangeEnd = 0, FStepEnd = 0;
        std::size_t FFirst = 0; // the oldest step kept
    };
    struct TOpenKey {
        const TQorSerialData* Data;
        int Index;
        bool operator==(const TOpenKey&) const = default;
    };
    struct TOpenKeyHash {
        std::size_t operator()(const TOpenKey& K) const noexcept;
    };

    TWatched* Find(const TQorSerialData* Data) const;
    static bool ShapeOf(TQorSerialData* Data, TKind& Kind, int& Rows, int& Cols);
    static std::int32_t ValueAt(const TWatched& W, int Index);
    static std::vector<std::int32_t> ValuesOf(const TWatched& W);
    // Compares the component with the copy (only the hinted cell when there is one) and
    // takes what differs, recording it as an edit when Edit is set; a component whose shape
    // changed starts afresh.
    void Compare(TWatched& W, bool UseHint, bool Edit);
    // The usual message of an edit outside an action: one cell of a matrix, named by the
    // message, which becomes a step of its own. Declined when the matrix changed its shape.
    enum class TCellTaken { Declined, Taken, Stepped };
    TCellTaken StepCell(TWatched& W, const TQorSerialData::TChangedCell& Cell);
    // Starts afresh with each component whose shape changed.
    void CheckShapes();
    void Reshaped(TWatched& W);
    void Take(TWatched& W, int Index, std::int32_t Value, bool Edit);
    void Record(TQorSerialData* Data, int Index, std::int32_t Before, std::int32_t After);
    void CommitOpen();
    void PushUndo(const TChange* Begin, const TChange* End);
    // Drops the component, its copies and every recorded change of it.
    void Forget(const TComponent* Data);
    // Writes Before (Undo) or After values of Step; what was written goes to Done, in the
    // order of the step, and Step keeps the rest.
    bool Replay(TChanges& Step, bool Back, TChanges& Done, bool& HistoryGone);
    // Writes the given (index, value) pairs into one component through its write paths;
    // Written counts the pairs that went, in order.
    bool WriteValues(TWatched& W, const std::vector<std::pair<int, std::int32_t>>& Values,
                     std::size_t& Written);
    bool Move(TSteps& From, TSteps& To, bool Back);
    // Tells OnChange and the clients, when there are any.
    void Changed() {
        if (FOnChange || !FClients.empty())
            TellChanged();
    }
    void TellChanged();

    std::vector<std::unique_ptr<TWatched>> FWatched;
    TSteps FUndo, FRedo;
    // The step being recorded, in the order of the values' first change; grouped into
    // entries when it is committed.
    TChanges FOpen;
    // Where each value lies in FOpen, kept while the step is open and large.
    std::unordered_map<TOpenKey, std::size_t, TOpenKeyHash> FOpenWhere;
    int FActionDepth = 0;
    int FReplaying = 0;
    int FMaxSteps = 100;
    int FChangedCount = 0;
    TNotifyEvent FOnChange;
    std::vector<TControl*> FClients;
};

// One action of a history (which may be null) for as long as it lives; a history destroyed
// meanwhile is left alone.
class TEditAction {
public:
    explicit TEditAction(TQorEditHistory* History) : FHistory(History), FWatch(History) {
        if (FHistory)
            FHistory->BeginAction();
    }
    ~TEditAction() {
        if (!FWatch.Destroyed())
            FHistory->EndAction();
    }
    TEditAction(const TEditAction&) = delete;
    TEditAction& operator=(const TEditAction&) = delete;

private:
    TQorEditHistory* FHistory;
    TComponentWatch FWatch;
};

} // namespace qor
