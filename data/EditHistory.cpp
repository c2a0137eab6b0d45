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
    const auto drop = [Data](std::deque<TStep>& Steps) {
        for (TStep& s : Steps)
            std::erase_if(s, [Data](const TEntry& e) { return e.Data == Data; });
        std::erase_if(Steps, [](const TStep& s) { return s.empty(); });
    };
    drop(FUndo);
    drop(FRedo);
    std::erase_if(FOpen, [Data](const TEntry& e) { return e.Data == Data; });
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

void TQorEditHistory::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_DATA_CHANGED) {
        // Only compared as an address: a message relayed from a component not watched
        // names that component.
        const auto* source = reinterpret_cast<const TQorSerialData*>(Message.WParam);
        if (TWatched* w = Find(source)) {
            // Values read from the ECU are no edit: the copy follows them unrecorded.
            Compare(*w, true, !w->Data->ReadDelivery());
            if (!InAction() && !FReplaying)
                CommitOpen();
        }
    } else if (Message.Msg == WM_DATA_RESIZED) {
        // The message names the new shape, not its sender.
        for (std::size_t i = 0; i < FWatched.size(); ++i) {
            TWatched& w = *FWatched[i];
            TKind kind;
            int rows = 0, cols = 0;
            if (ShapeOf(w.Data, kind, rows, cols) && (rows != w.Rows || cols != w.Cols))
                Reshaped(w);
        }
    }
    Message.Result = 0;
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

void TQorEditHistory::Record(TQorSerialData* Data, int Index, std::int32_t Before,
                             std::int32_t After) {
    auto e = std::find_if(FOpen.rbegin(), FOpen.rend(),
                          [Data](const TEntry& x) { return x.Data == Data; });
    if (e == FOpen.rend()) {
        FOpen.push_back(TEntry{Data, {{Index, Before, After}}, {}});
        return;
    }
    std::vector<TChange>& changes = e->Changes;
    if (changes.size() < IndexFrom) {
        for (TChange& c : changes)
            if (c.Index == Index) {
                c.After = After;
                return;
            }
    } else {
        if (e->Where.empty())
            for (std::size_t k = 0; k < changes.size(); ++k)
                e->Where.emplace(changes[k].Index, k);
        if (const auto it = e->Where.find(Index); it != e->Where.end()) {
            changes[it->second].After = After;
            return;
        }
        e->Where.emplace(Index, changes.size());
    }
    changes.push_back({Index, Before, After});
}

void TQorEditHistory::CommitOpen() {
    TStep step = std::exchange(FOpen, {});
    for (TEntry& e : step) {
        std::erase_if(e.Changes, [](const TChange& c) { return c.Before == c.After; });
        e.Where = {};
    }
    std::erase_if(step, [](const TEntry& e) { return e.Changes.empty(); });
    if (step.empty())
        return;
    Push(FUndo, std::move(step));
    FRedo.clear();
    Changed();
}

void TQorEditHistory::Push(std::deque<TStep>& Steps, TStep Step) {
    Steps.push_back(std::move(Step));
    if (&Steps == &FUndo)
        while (static_cast<int>(FUndo.size()) > FMaxSteps)
            FUndo.pop_front();
}

void TQorEditHistory::SetMaxSteps(int Value) {
    if (Value < 1)
        return;
    FMaxSteps = Value;
    while (static_cast<int>(FUndo.size()) > FMaxSteps)
        FUndo.pop_front();
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
    FUndo.clear();
    FRedo.clear();
    FOpen.clear();
    Changed();
}

bool TQorEditHistory::Undo() {
    if (InAction() || FReplaying || FUndo.empty())
        return false;
    return Move(FUndo, FRedo, true);
}

bool TQorEditHistory::Redo() {
    if (InAction() || FReplaying || FRedo.empty())
        return false;
    return Move(FRedo, FUndo, false);
}

bool TQorEditHistory::Move(std::deque<TStep>& From, std::deque<TStep>& To, bool Back) {
    TStep step = std::move(From.back());
    From.pop_back();
    TStep done;
    bool ok = true;
    {
        TLevel replaying(this, FReplaying);
        bool gone = false;
        ok = Replay(step, Back, done, gone);
        if (gone)
            return false;
    }
    // A component destroyed meanwhile took its changes along.
    const auto live = [this](TStep& s) {
        std::erase_if(s, [this](const TEntry& e) { return !Find(e.Data); });
    };
    live(done);
    live(step);
    if (!done.empty())
        Push(To, std::move(done));
    if (!step.empty())
        From.push_back(std::move(step));
    Changed();
    return ok;
}

bool TQorEditHistory::Replay(TStep& Step, bool Back, TStep& Done, bool& HistoryGone) {
    TComponentWatch self(this);
    const std::size_t n = Step.size();
    TStep rest;
    bool ok = true;
    std::size_t k = 0; // entries handled
    for (; k < n; ++k) {
        TEntry& e = Step[Back ? n - 1 - k : k];
        TWatched* w = Find(e.Data);
        if (!w)
            continue;
        std::vector<std::pair<int, std::int32_t>> values;
        values.reserve(e.Changes.size());
        if (Back)
            for (auto c = e.Changes.rbegin(); c != e.Changes.rend(); ++c)
                values.emplace_back(c->Index, c->Before);
        else
            for (const TChange& c : e.Changes)
                values.emplace_back(c.Index, c.After);
        std::size_t written = 0;
        ok = WriteValues(*w, values, written);
        if (self.Destroyed()) {
            HistoryGone = true;
            return false;
        }
        // The changes written in the order they were written: the last ones for Undo, the
        // first ones for Redo.
        const std::size_t m = e.Changes.size();
        TEntry part{e.Data, {}, {}};
        if (Back) {
            part.Changes.assign(e.Changes.end() - static_cast<std::ptrdiff_t>(written),
                                e.Changes.end());
            e.Changes.resize(m - written);
        } else {
            part.Changes.assign(e.Changes.begin(),
                                e.Changes.begin() + static_cast<std::ptrdiff_t>(written));
            e.Changes.erase(e.Changes.begin(),
                            e.Changes.begin() + static_cast<std::ptrdiff_t>(written));
        }
        if (!part.Changes.empty())
            Done.push_back(std::move(part));
        if (!ok)
            break;
    }
    if (Back)
        std::reverse(Done.begin(), Done.end());
    // What was not written stays, in its order.
    std::erase_if(Step, [](const TEntry& e) { return e.Changes.empty(); });
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

void TQorEditHistory::Changed() {
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
