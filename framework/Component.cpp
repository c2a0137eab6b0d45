#include "framework/Component.h"

#include "framework/Properties.h"
#include "framework/TextCompare.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace qor {

std::string TObject::ClassName() const {
    if (const auto* persistent = dynamic_cast<const TPersistent*>(this))
        if (const TMetaClass* meta = MetaClassOf(*persistent))
            return meta->ClassName;
    return typeid(*this).name();
}

void TPersistent::DefineProperties(TFiler& /*Filer*/) {}

// Tells each receiver at most once. Only those who asked (and the owner) are told, so that
// inserting or destroying a component costs the same however many siblings it has.
class TNotificationBroadcast {
public:
    TNotificationBroadcast(TComponent* Subject, TOperation Operation)
        : FSubject(Subject), FOperation(Operation) {}

    void Deliver(TComponent* Receiver) {
        if (Receiver == FSubject || !FDone.insert(Receiver).second)
            return;
        Receiver->Notification(FSubject, FOperation);
    }

private:
    TComponent* FSubject;
    TOperation FOperation;
    std::unordered_set<TComponent*> FDone;
};

bool TNotifyList::Contains(TComponent* C) const {
    return Find(C) >= 0;
}

std::ptrdiff_t TNotifyList::Find(TComponent* C) const {
    if (FItems.size() >= IndexFrom) {
        const auto it = FIndex.find(C);
        return it == FIndex.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
    }
    for (std::size_t i = FItems.size(); i-- > 0;)
        if (FItems[i] == C)
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

bool TNotifyList::Add(TComponent* C) {
    if (!C || Contains(C))
        return false;
    FItems.push_back(C);
    ++FLive;
    if (FItems.size() == IndexFrom) {
        FIndex.clear();
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i])
                FIndex[FItems[i]] = i;
    } else if (FItems.size() > IndexFrom) {
        FIndex[C] = FItems.size() - 1;
    }
    return true;
}

void TNotifyList::Remove(TComponent* C) {
    const std::ptrdiff_t at = Find(C);
    if (at < 0)
        return;
    FItems[static_cast<std::size_t>(at)] = nullptr;
    --FLive;
    if (FItems.size() >= IndexFrom)
        FIndex.erase(C);
    if (FItems.size() - FLive > FLive) // more holes than entries
        Compact();
}

TComponent* TNotifyList::PopBack() {
    while (!FItems.empty()) {
        TComponent* c = FItems.back();
        FItems.pop_back();
        if (!c)
            continue;
        --FLive;
        FIndex.erase(c);
        if (FItems.size() < IndexFrom)
            FIndex.clear();
        return c;
    }
    return nullptr;
}

void TNotifyList::Compact() {
    std::erase(FItems, nullptr);
    FIndex.clear();
    if (FItems.size() >= IndexFrom)
        for (std::size_t i = 0; i < FItems.size(); ++i)
            FIndex[FItems[i]] = i;
}

std::size_t TComponent::TNameHash::operator()(std::string_view s) const {
    return TextHash(s);
}

bool TComponent::TNameEqual::operator()(std::string_view a, std::string_view b) const {
    return SameText(a, b);
}

namespace {

bool IsValidIdent(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_'))
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

} // namespace

TComponentWatch::TComponentWatch(TComponent* Component) : FComponent(Component) {
    if (FComponent) {
        FNext = FComponent->FWatches;
        FComponent->FWatches = this;
    }
}

TComponentWatch::~TComponentWatch() {
    if (!FComponent)
        return;
    // Watches usually end innermost first, but need not.
    for (TComponentWatch** link = &FComponent->FWatches; *link; link = &(*link)->FNext)
        if (*link == this) {
            *link = FNext;
            break;
        }
}

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Everyone who asked hears of it before the owned components go.
    TNotificationBroadcast broadcast(this, opRemove);
    while (TComponent* other = FFreeNotifies.PopBack()) {
        other->RemoveNotify(this);
        broadcast.Deliver(other);
    }
    DestroyComponents();
    if (FOwner) {
        TComponent* owner = FOwner;
        owner->RemoveComponent(this);
        broadcast.Deliver(owner);
    }
    for (TComponentWatch* w = FWatches; w; w = w->FNext)
        w->FComponent = nullptr;
}

void TComponent::SetName(const std::string& NewName) {
    if (NewName == FName)
        return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError("'" + NewName + "' is not a valid component name");
    if (FOwner && !NewName.empty()) {
        TComponent* other = FOwner->FindComponent(NewName);
        if (other && other != this)
            throw EComponentError("A component named " + NewName + " already exists");
    }
    if (FOwner) {
        FOwner->ForgetName(*this);
        if (!NewName.empty())
            FOwner->FNames.emplace(NewName, this);
    }
    FName = NewName;
}

void TComponent::ForgetName(const TComponent& Child) {
    if (Child.FName.empty())
        return;
    const auto it = FNames.find(Child.FName);
    if (it != FNames.end() && it->second == &Child)
        FNames.erase(it);
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty())
        return nullptr;
    const auto it = FNames.find(AName);
    return it == FNames.end() ? nullptr : it->second;
}

void TComponent::SetDesigning(bool Value) {
    if (Value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    for (TComponent* c : FComponents)
        c->SetDesigning(Value);
}

void TComponent::BeginLoading() {
    FComponentState.Include(csLoading);
}

void TComponent::EndLoading() {
    FComponentState.Exclude(csLoading);
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this)
        return;
    // Also between components of one owner: the owner tells only those who asked.
    AddNotify(AComponent);
    AComponent->AddNotify(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent)
        return;
    RemoveNotify(AComponent);
    AComponent->RemoveNotify(this);
}

void TComponent::AddNotify(TComponent* AComponent) {
    FFreeNotifies.Add(AComponent);
}

void TComponent::RemoveNotify(TComponent* AComponent) {
    FFreeNotifies.Remove(AComponent);
}

void TComponent::Loaded() {
    FComponentState.Exclude(csLoading);
}

void TComponent::Destroying() {
    FComponentState.Include(csDestroying);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
}

void TComponent::InsertComponent(TComponent* AComponent) {
    AComponent->FOwner = this;
    FComponents.push_back(AComponent);
    if (FComponentState.Contains(csDesigning))
        AComponent->SetDesigning(true);
    TNotificationBroadcast(AComponent, opInsert).Deliver(this);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    // Components usually go last created first: look from the end.
    auto it = std::find(FComponents.rbegin(), FComponents.rend(), AComponent);
    if (it != FComponents.rend())
        FComponents.erase(std::next(it).base());
    ForgetName(*AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
    // Last created first. Each one removes itself from FComponents as it goes.
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        delete last;
    }
}

} // namespace qor
