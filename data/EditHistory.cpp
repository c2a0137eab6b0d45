#include "data/EditHistory.h"

#include "framework/Properties.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qor {

namespace {

// Changes of one component in an open step from which a lookup by index pays off.
constexpr std::size_t IndexFrom = 16;

// A matrix write back of at most this many cells goes cell by cell; more go as one block.
constexpr std::size_t CellWritesUpTo = 64;

// Counts a nested level for as long as the history lives.
class TLevel {
public:
    TLevel(TComponent* Owner, int& Level) : FWatch(Owner), FLevel(Level) { ++FLevel; }
    ~TLevel() {
        if (!FWatch.Destroyed())
            --FLevel;
    }
    TLevel(const TLevel&) = delete;
    TLevel& operator=(const TLevel&) = delete;
    bool Gone() const { return FWatch.Destroyed(); }

private:
    TComponentWatch FWatch;
    int& FLevel;
};

} // namespace

TQorEditHistory::TQorEditHistory(TComponent* AOwner) : TControl(AOwner) {}

TQorEditHistory::~TQorEditHistory() {
    Destroying();
    for (const auto& w : FWatched)
        w->Data->RemoveClient(this);
    FWatched.clear();
    // The clients hear of the destruction through the free notification.
    FClients.clear();
}

void TQorEditHistory::Publish(TPublisher<TQorEditHistory>& P) {
    using H = TQorEditHistory;
    P.Integer("MaxSteps", &H::MaxSteps, &H::SetMaxSteps, 100);
}

bool TQorEditHistory::ShapeOf(TQorSerialData* Data, TKind& Kind, int& Rows, int& Cols) {
    if (auto* m = dynamic_cast<TQorMatrix*>(Data)) {
        Kind = TKind::Matrix;
        Rows = static_cast<int>(m->RawValues().size());
        Cols = Rows > 0 ? static_cast<int>(m->RawValues()[0].size()) : 0;
        return true;
    }
    if (auto* v = dynamic_cast<TQorVector*>(Data)) {
        Kind = TKind::Vector;
        Rows = 1;
        Cols = static_cast<int>(v->RawValues().size());
        return true;
    }
    if (dynamic_cast<TQorNumber*>(Data)) {
        Kind = TKind::Number;
        Rows = Cols = 1;
        return true;
    }
    return false;
}

std::int32_t TQorEditHistory::ValueAt(const TWatched& W, int Index) {
    const auto i = static_cast<std::size_t>(Index);
    switch (W.Kind) {
    case TKind::Number:
        return static_cast<const TQorNumber*>(W.Data)->RawValue();
    case TKind::Vector: {
        const auto& v = static_cast<const TQorVector*>(W.Data)->RawValues();
        return i < v.size() ? v[i] : W.Copy[i];
    }
    case TKind::Matrix:
        break;
    }
    const auto& rows = static_cast<const TQorMatrix*>(W.Data)->RawValues();
    const auto r = i / static_cast<std::size_t>(W.Cols), c = i % static_cast<std::size_t>(W.Cols);
    return r < rows.size() && c < rows[r].size() ? rows[r][c] : W.Copy[i];
}

std::vector<std::int32_t> TQorEditHistory::ValuesOf(const TWatched& W) {
    switch (W.Kind) {
    case TKind::Number:
        return {static_cast<const TQorNumber*>(W.Data)->RawValue()};
    case TKind::Vector:
        return static_cast<const TQorVector*>(W.Data)->RawValues();
    case TKind::Matrix:
        break;
    }
    std::vector<std::int32_t> out;
    out.reserve(static_cast<std::size_t>(W.Rows) * static_cast<std::size_t>(W.Cols));
    for (const auto& row : static_cast<const TQorMatrix*>(W.Data)->RawValues())
        out.insert(out.end(), row.begin(), row.end());
    return out;
}

TQorEditHistory::TWatched* TQorEditHistory::Find(const TQorSerialData* Data) const {
    for (const auto& w : FWatched)
        if (w->Data == Data)
            return w.get();
    return nullptr;
}

bool TQorEditHistory::Watch(TQorSerialData* Data) {
    if (!Data)
        return false;
    if (Find(Data))
        return true;
    auto w = std::make_unique<TWatched>();
    w->Data = Data;
    if (!ShapeOf(Data, w->Kind, w->Rows, w->Cols))
        return false;
    w->Copy = ValuesOf(*w);
    w->Reference = w->Copy;
    FWatched.push_back(std::move(w));
    Data->AddClient(this);
    return true;
}

void TQorEditHistory::Unwatch(TQorSerialData* Data) {
    if (!Find(Data))
        return;
    Forget(Data);
    Data->RemoveClient(this);
    RemoveFreeNotification(Data);
    Changed();
}

bool TQorEditHistory::Watches(const TQorSerialData* Data) const {
    return Find(Data) != nullptr;
}

void TQorEditHistory::Forget(const TComponent* Data) {
    FUndo.Forget(Data);
    FRedo.Forget(Data);
    if (std::erase_if(FOpen, [Data](const TChange& c) { return c.Data == Data; }) != 0)
        FOpenWhere.clear(); // the places moved; found afresh when needed
    const auto it = std::find_if(FWatched.begin(), FWatched.end(),
                                 [Data](const auto& w) { return w->Data == Data; });
    if (it == FWatched.end())
        return;
    FChangedCount -= (*it)->ChangedCount;
    FWatched.erase(it);
}

void TQorEditHistory::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    // The component goes with its client list: only forget it, and what refers to it.
    Forget(AComponent);
    std::erase_if(FClients, [AComponent](TControl* c) { return c == AComponent; });
}

inline TQorEditHistory::TCellTaken
TQorEditHistory::StepCell(TWatched& W, const TQorSerialData::TChangedCell& Cell) {
    const auto& values = static_cast<const TQorMatrix*>(W.Data)->RawValues();
    const auto rows = static_cast<std::size_t>(W.Rows), cols = static_cast<std::size_t>(W.Cols);
    if (values.size() != rows || rows == 0 || values[0].size() != cols)
        return TCellTaken::Declined; // reshaped, or empty
    const auto r = static_cast<std::size_t>(Cell.Row), c = static_cast<std::size_t>(Cell.Col);
    if (r >= rows || c >= cols)
        return TCellTaken::Taken; // a place outside the map changes nothing
    const std::size_t i = r * cols + c;
    const std::int32_t value = values[r][c], before = W.Copy[i];
    if (before == value)
        return TCellTaken::Taken;
    const std::int32_t reference = W.Reference[i];
    const int delta = (value != reference) - (before != reference);
    W.ChangedCount += delta;
    FChangedCount += delta;
    W.Copy[i] = value;
    FUndo.PushOne({W.Data, static_cast<int>(i), before, value});
    FUndo.Keep(FMaxSteps);
    FRedo.Clear();
    return TCellTaken::Stepped;
}

void TQorEditHistory::Dispatch(TMessage& Message) {
    Message.Result = 0;
    if (Message.Msg == WM_DATA_CHANGED)
        // Only compared as an address: a message relayed from a component not watched
        // names that component.
        DataChanged(reinterpret_cast<const TQorSerialData*>(Message.WParam));
    else if (Message.Msg == WM_DATA_RESIZED)
        CheckShapes();
}

void TQorEditHistory::DataChanged(const TQorSerialData* Source) {
    TWatched* w = nullptr;
    for (const auto& x : FWatched)
        if (x->Data == Source) {
            w = x.get();
            break;
        }
    if (!w)
        return;
    // Values read from the ECU are no edit: the copy follows them unrecorded.
    const bool edit = !w->Data->ReadDelivery();
    if (edit && w->Kind == TKind::Matrix && FActionDepth == 0 && FReplaying == 0 && FOpen.empty())
        if (const TQorSerialData::TChangedCell* cell = w->Data->ChangedCell())
            switch (StepCell(*w, *cell)) {
            case TCellTaken::Declined:
                break;
            case TCellTaken::Taken:
                return;
            case TCellTaken::Stepped:
                Changed(); // the last thing: a handler may destroy the history
                return;
            }
    Compare(*w, true, edit);
    if (!InAction() && !FReplaying)
        CommitOpen();
}

void TQorEditHistory::CheckShapes() {
    // The message names the new shape, not its sender.
    for (std::size_t i = 0; i < FWatched.size(); ++i) {
        TWatched& w = *FWatched[i];
        TKind kind;
        int rows = 0, cols = 0;
        if (ShapeOf(w.Data, kind, rows, cols) && (rows != w.Rows || cols != w.Cols))
            Reshaped(w);
    }
}

void TQorEditHistory::Compare(TWatched& W, bool UseHint, bool Edit) {
    int rows = 1, cols = 1;
    if (W.Kind == TKind::Matrix) {
        const auto& values = static_cast<const TQorMatrix*>(W.Data)->RawValues();
        rows = static_cast<int>(values.size());
        cols = rows > 0 ? static_cast<int>(values[0].size()) : 0;
    } else if (W.Kind == TKind::Vector) {
        cols = static_cast<int>(static_cast<const TQorVector*>(W.Data)->RawValues().size());
    }
    if (rows != W.Rows || cols != W.Cols) {
        Reshaped(W);
        return;
    }
    if (W.Kind == TKind::Matrix) {
        const auto& values = static_cast<const TQorMatrix*>(W.Data)->RawValues();
        if (const TQorSerialData::TChangedCell* cell = UseHint ? W.Data->ChangedCell() : nullptr) {
            if (cell->Row >= 0 && cell->Row < rows && cell->Col >= 0 && cell->Col < cols)
                Take(W, cell->Row * cols + cell->Col,
                     values[static_cast<std::size_t>(cell->Row)]
                           [static_cast<std::size_t>(cell->Col)],
                     Edit);
            return;
        }
        const auto n = static_cast<std::size_t>(cols);
        for (std::size_t r = 0; r < values.size(); ++r) {
            const std::int32_t* copy = W.Copy.data() + r * n;
            if (std::memcmp(copy, values[r].data(), n * sizeof(std::int32_t)) == 0)
                continue;
            for (std::size_t c = 0; c < n; ++c)
                if (values[r][c] != copy[c])
                    Take(W, static_cast<int>(r * n + c), values[r][c], Edit);
        }
        return;
    }
    for (int i = 0; i < cols; ++i) {
        const std::int32_t v = ValueAt(W, i);
        if (v != W.Copy[static_cast<std::size_t>(i)])
            Take(W, i, v, Edit);
    }
}

void TQorEditHistory::Reshaped(TWatched& W) {
    // The values of another shape have nothing in common with the recorded ones.
    TQorSerialData* data = W.Data;
    const std::vector<std::unique_ptr<TWatched>>::size_type at =
        static_cast<std::size_t>(std::find_if(FWatched.begin(), FWatched.end(),
                                              [data](const auto& w) { return w->Data == data; }) -
                                 FWatched.begin());
    auto fresh = std::make_unique<TWatched>();
    fresh->Data = data;
    ShapeOf(data, fresh->Kind, fresh->Rows, fresh->Cols);
    fresh->Copy = ValuesOf(*fresh);
    fresh->Reference = fresh->Copy;
    Forget(data); // W is gone from here on
    FWatched.insert(FWatched.begin() + static_cast<std::ptrdiff_t>(std::min(at, FWatched.size())),
                    std::move(fresh));
    Changed();
}

void TQorEditHistory::Take(TWatched& W, int Index, std::int32_t Value, bool Edit) {
    const auto i = static_cast<std::size_t>(Index);
    const std::int32_t before = W.Copy[i];
    if (before == Value)
        return;
    const int was = before != W.Reference[i], is = Value != W.Reference[i];
    W.ChangedCount += is - was;
    FChangedCount += is - was;
    W.Copy[i] = Value;
    if (Edit && !FReplaying)
        Record(W.Data, Index, before, Value);
}

std::size_t TQorEditHistory::TOpenKeyHash::operator()(const TOpenKey& K) const noexcept {
    return std::hash<const void*>{}(K.Data) ^ (std::hash<int>{}(K.Index) * 0x9E3779B97F4A7C15u);
}

void TQorEditHistory::Record(TQorSerialData* Data, int Index, std::int32_t Before,
                             std::int32_t After) {
    if (FOpen.size() < IndexFrom) {
        for (TChange& c : FOpen)
            if (c.Index == Index && c.Data == Data) {
                c.After = After;
                return;
            }
    } else {
        if (FOpenWhere.empty())
            for (std::size_t k = 0; k < FOpen.size(); ++k)
                FOpenWhere.emplace(TOpenKey{FOpen[k].Data, FOpen[k].Index}, k);
        const auto [it, added] = FOpenWhere.try_emplace(TOpenKey{Data, Index}, FOpen.size());
        if (!added) {
            FOpen[it->second].After = After;
            return;
        }
    }
    FOpen.push_back({Data, Index, Before, After});
}

void TQorEditHistory::CommitOpen() {
    if (FOpen.size() == 1) {
        // The usual step: one value changed.
        const TChange change = FOpen.front();
        FOpen.clear();
        if (change.Before == change.After)
            return;
        PushUndo(&change, &change + 1);
        FRedo.Clear();
        Changed();
        return;
    }
    if (!FOpenWhere.empty())
        FOpenWhere = {};
    std::erase_if(FOpen, [](const TChange& c) { return c.Before == c.After; });
    if (FOpen.empty())
        return;
    // The changes of one component go together, in the order of the components' first
    // change; a step of one component (the usual case) is in order already.
    const TQorSerialData* first = FOpen.front().Data;
    if (std::any_of(FOpen.begin() + 1, FOpen.end(),
                    [first](const TChange& c) { return c.Data != first; })) {
        std::vector<const TQorSerialData*> order;
        std::vector<std::pair<std::size_t, TChange>> ranked;
        ranked.reserve(FOpen.size());
        std::size_t rank = 0;
        for (const TChange& c : FOpen) {
            // Changes of one component mostly follow each other: the search is rare.
            if (order.empty() || order[rank] != c.Data) {
                const auto at = std::find(order.begin(), order.end(), c.Data);
                rank = static_cast<std::size_t>(at - order.begin());
                if (at == order.end())
                    order.push_back(c.Data);
            }
            ranked.emplace_back(rank, c);
        }
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        for (std::size_t k = 0; k < ranked.size(); ++k)
            FOpen[k] = ranked[k].second;
    }
    PushUndo(FOpen.data(), FOpen.data() + FOpen.size());
    FOpen.clear();
    FRedo.Clear();
    Changed();
}

void TQorEditHistory::PushUndo(const TChange* Begin, const TChange* End) {
    FUndo.Push(Begin, End);
    FUndo.Keep(FMaxSteps);
}

void TQorEditHistory::TSteps::Grow(std::size_t Changes) {
    constexpr std::size_t Least = 16;
    if (FStepEnd == FStarts.size())
        FStarts.resize(std::max(Least, 2 * FStarts.size()));
    if (FChanges.size() - FChangeEnd < Changes)
        FChanges.resize(std::max({Least, 2 * FChanges.size(), FChangeEnd + Changes}));
}

void TQorEditHistory::TSteps::Push(const TChange* Begin, const TChange* End) {
    const auto n = static_cast<std::size_t>(End - Begin);
    if (FStepEnd == FStarts.size() || FChanges.size() - FChangeEnd < n)
        Grow(n);
    FStarts[FStepEnd++] = FChangeEnd;
    std::copy(Begin, End, FChanges.begin() + static_cast<std::ptrdiff_t>(FChangeEnd));
    FChangeEnd += n;
}

TQorEditHistory::TChanges TQorEditHistory::TSteps::PopLast() {
    const std::size_t start = FStarts[--FStepEnd];
    TChanges last(FChanges.begin() + static_cast<std::ptrdiff_t>(start),
                  FChanges.begin() + static_cast<std::ptrdiff_t>(FChangeEnd));
    FChangeEnd = start;
    if (FStepEnd == FFirst)
        Clear();
    return last;
}

void TQorEditHistory::TSteps::Compact() {
    const std::size_t drop = FStarts[FFirst];
    std::copy(FChanges.begin() + static_cast<std::ptrdiff_t>(drop),
              FChanges.begin() + static_cast<std::ptrdiff_t>(FChangeEnd), FChanges.begin());
    FChangeEnd -= drop;
    for (std::size_t k = FFirst; k < FStepEnd; ++k)
        FStarts[k - FFirst] = FStarts[k] - drop;
    FStepEnd -= FFirst;
    FFirst = 0;
}

void TQorEditHistory::TSteps::Forget(const TComponent* Data) {
    // One pass over the kept steps: the changes of Data go, so do the steps left empty.
    std::size_t to = 0, steps = 0;
    for (std::size_t k = FFirst; k < FStepEnd; ++k) {
        const std::size_t begin = FStarts[k], end = k + 1 < FStepEnd ? FStarts[k + 1] : FChangeEnd;
        const std::size_t start = to;
        for (std::size_t i = begin; i < end; ++i)
            if (FChanges[i].Data != Data)
                FChanges[to++] = FChanges[i];
        if (to != start)
            FStarts[steps++] = start;
    }
    FChangeEnd = to;
    FStepEnd = steps;
    FFirst = 0;
}

void TQorEditHistory::SetMaxSteps(int Value) {
    if (Value < 1)
        return;
    FMaxSteps = Value;
    FUndo.Keep(FMaxSteps);
}

void TQorEditHistory::BeginAction() {
    ++FActionDepth;
}

void TQorEditHistory::EndAction() {
    if (FActionDepth == 0)
        return;
    if (--FActionDepth == 0)
        CommitOpen();
}

void TQorEditHistory::Clear() {
    // The storage goes too: the steps may have been large.
    FUndo = {};
    FRedo = {};
    FOpen = {};
    FOpenWhere = {};
    Changed();
}

bool TQorEditHistory::Undo() {
    if (InAction() || FReplaying || FUndo.Empty())
        return false;
    return Move(FUndo, FRedo, true);
}

bool TQorEditHistory::Redo() {
    if (InAction() || FReplaying || FRedo.Empty())
        return false;
    return Move(FRedo, FUndo, false);
}

bool TQorEditHistory::Move(TSteps& From, TSteps& To, bool Back) {
    TChanges step = From.PopLast();
    TChanges done;
    bool ok = true;
    {
        TLevel replaying(this, FReplaying);
        bool gone = false;
        ok = Replay(step, Back, done, gone);
        if (gone)
            return false;
    }
    // A component destroyed meanwhile took its changes along.
    const auto live = [this](TChanges& s) {
        std::erase_if(s, [this](const TChange& c) { return !Find(c.Data); });
    };
    live(done);
    live(step);
    if (!done.empty()) {
        if (&To == &FUndo)
            PushUndo(done.data(), done.data() + done.size());
        else
            To.Push(done.data(), done.data() + done.size());
    }
    if (!step.empty())
        From.Push(step.data(), step.data() + step.size());
    Changed();
    return ok;
}

bool TQorEditHistory::Replay(TChanges& Step, bool Back, TChanges& Done, bool& HistoryGone) {
    TComponentWatch self(this);
    // The entries: the runs of changes of one component.
    struct TRun {
        std::size_t Begin, End;
    };
    std::vector<TRun> entries;
    for (std::size_t i = 0; i < Step.size();) {
        std::size_t j = i + 1;
        while (j < Step.size() && Step[j].Data == Step[i].Data)
            ++j;
        entries.push_back({i, j});
        i = j;
    }
    std::vector<TRun> written; // in the order written
    const std::size_t n = entries.size();
    bool ok = true;
    for (std::size_t k = 0; k < n; ++k) {
        TRun& e = entries[Back ? n - 1 - k : k];
        TWatched* w = Find(Step[e.Begin].Data);
        if (!w)
            continue;
        std::vector<std::pair<int, std::int32_t>> values;
        values.reserve(e.End - e.Begin);
        if (Back)
            for (std::size_t i = e.End; i-- > e.Begin;)
                values.emplace_back(Step[i].Index, Step[i].Before);
        else
            for (std::size_t i = e.Begin; i < e.End; ++i)
                values.emplace_back(Step[i].Index, Step[i].After);
        std::size_t count = 0;
        ok = WriteValues(*w, values, count);
        if (self.Destroyed()) {
            HistoryGone = true;
            return false;
        }
        // The changes written: the last ones of the entry for Undo, the first ones for Redo.
        TRun part{};
        if (Back) {
            part = {e.End - count, e.End};
            e.End -= count;
        } else {
            part = {e.Begin, e.Begin + count};
            e.Begin += count;
        }
        if (part.Begin != part.End)
            written.push_back(part);
        if (!ok)
            break;
    }
    if (Back)
        std::reverse(written.begin(), written.end());
    for (const TRun& part : written)
        Done.insert(Done.end(), Step.begin() + static_cast<std::ptrdiff_t>(part.Begin),
                    Step.begin() + static_cast<std::ptrdiff_t>(part.End));
    // What was not written stays, in its order.
    TChanges rest;
    for (const TRun& e : entries)
        rest.insert(rest.end(), Step.begin() + static_cast<std::ptrdiff_t>(e.Begin),
                    Step.begin() + static_cast<std::ptrdiff_t>(e.End));
    Step = std::move(rest);
    return ok;
}

bool TQorEditHistory::WriteValues(TWatched& W,
                                  const std::vector<std::pair<int, std::int32_t>>& Values,
                                  std::size_t& Written) {
    Written = 0;
    if (Values.empty())
        return true;
    TQorSerialData* data = W.Data;
    TComponentWatch alive(data);
    bool ok = false;
    switch (W.Kind) {
    case TKind::Number:
        ok = static_cast<TQorNumber*>(data)->SetEcuValue(Values.back().second);
        Written = ok ? Values.size() : 0;
        break;
    case TKind::Vector: {
        auto* v = static_cast<TQorVector*>(data);
        std::vector<std::int32_t> target = v->RawValues();
        for (const auto& [i, value] : Values)
            if (static_cast<std::size_t>(i) < target.size())
                target[static_cast<std::size_t>(i)] = value;
        ok = v->WriteRawElements(target);
        Written = ok ? Values.size() : 0;
        break;
    }
    case TKind::Matrix: {
        auto* m = static_cast<TQorMatrix*>(data);
        const int cols = W.Cols;
        if (Values.size() <= CellWritesUpTo) {
            ok = true;
            for (const auto& [i, value] : Values) {
                ok = m->WriteRawCell(i / cols, i % cols, value);
                if (!ok || alive.Destroyed())
                    break;
                ++Written;
            }
        } else {
            TQorMatrix::TRows target = m->RawValues();
            for (const auto& [i, value] : Values) {
                const auto r = static_cast<std::size_t>(i / cols),
                           c = static_cast<std::size_t>(i % cols);
                if (r < target.size() && c < target[r].size())
                    target[r][c] = value;
            }
            ok = m->WriteRawCells(target);
            Written = ok ? Values.size() : 0;
        }
        break;
    }
    }
    // A write without a library, or one whose clients were not told, still changed the
    // held values: the copy follows them.
    if (!alive.Destroyed())
        if (TWatched* w = Find(data))
            Compare(*w, false, true);
    return ok && !alive.Destroyed();
}

void TQorEditHistory::SetReference() {
    // Changes the history has not heard of yet are recorded before they count as the
    // reference.
    // By index: a component found reshaped is replaced in the list.
    for (std::size_t i = 0; i < FWatched.size(); ++i)
        Compare(*FWatched[i], false, true);
    if (!InAction() && !FReplaying)
        CommitOpen();
    for (const auto& w : FWatched) {
        w->Reference = w->Copy;
        w->ChangedCount = 0;
    }
    FChangedCount = 0;
    Changed();
}

bool TQorEditHistory::Changed(const TQorSerialData* Data, int Row, int Col) const {
    const TWatched* w = Find(Data);
    if (!w || Row < 0 || Col < 0 || Row >= w->Rows || Col >= w->Cols)
        return false;
    const int i = Row * w->Cols + Col;
    return ValueAt(*w, i) != w->Reference[static_cast<std::size_t>(i)];
}

bool TQorEditHistory::RevertToReference() {
    if (FReplaying)
        return false;
    TComponentWatch self(this);
    std::vector<TQorSerialData*> watched;
    for (const auto& w : FWatched)
        watched.push_back(w->Data);
    bool ok = true;
    BeginAction();
    for (TQorSerialData* data : watched) {
        TWatched* w = Find(data);
        if (!w)
            continue;
        Compare(*w, false, true);
        w = Find(data); // a reshaped component is a new entry
        if (!w)
            continue;
        std::vector<std::pair<int, std::int32_t>> values;
        for (std::size_t i = 0; i < w->Copy.size(); ++i)
            if (w->Copy[i] != w->Reference[i])
                values.emplace_back(static_cast<int>(i), w->Reference[i]);
        std::size_t written = 0;
        if (!WriteValues(*w, values, written))
            ok = false;
        if (self.Destroyed())
            return false;
    }
    EndAction();
    return ok;
}

void TQorEditHistory::AddClient(TControl* Client) {
    if (!Client || std::find(FClients.begin(), FClients.end(), Client) != FClients.end())
        return;
    FClients.push_back(Client);
    FreeNotification(Client);
}

void TQorEditHistory::RemoveClient(TControl* Client) {
    const auto it = std::find(FClients.begin(), FClients.end(), Client);
    if (it == FClients.end())
        return;
    FClients.erase(it);
    RemoveFreeNotification(Client);
}

void TQorEditHistory::TellChanged() {
    TComponentWatch self(this);
    if (FOnChange) {
        FOnChange(this);
        if (self.Destroyed())
            return;
    }
    if (FClients.empty())
        return;
    // A client may leave or destroy the history while it is told.
    const std::vector<TControl*> clients = FClients;
    for (TControl* c : clients) {
        if (std::find(FClients.begin(), FClients.end(), c) == FClients.end())
            continue;
        c->Perform(WM_HISTORY_CHANGED, reinterpret_cast<WPARAM>(this), 0);
        if (self.Destroyed())
            return;
    }
}

} // namespace qor
