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

// Tells each component at most once, walking down the ownership tree of every receiver
// as the framework does, so that owned components hear of what their owner hears.
class TNotificationBroadcast {
public:
    TNotificationBroadcast(TComponent* Subject, TOperation Operation)
        : FSubject(Subject), FOperation(Operation) {}

    void Deliver(TComponent* Receiver) {
        if (Receiver == FSubject || !FDone.insert(Receiver).second)
            return;
        Receiver->Notification(FSubject, FOperation);
        // The receiver may have destroyed some of its components while handling it.
        for (std::size_t i = Receiver->FComponents.size(); i-- > 0;) {
            if (i < Receiver->FComponents.size())
                Deliver(Receiver->FComponents[i]);
        }
    }

private:
    TComponent* FSubject;
    TOperation FOperation;
    std::unordered_set<TComponent*> FDone;
};

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
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
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
    FName = NewName;
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName))
            return c;
    return nullptr;
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
    if (FOwner && AComponent->FOwner == FOwner)
        return; // the common owner tells both of them
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
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
}

void TComponent::RemoveNotify(TComponent* AComponent) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (it != FFreeNotifies.end())
        FFreeNotifies.erase(it);
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
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it != FComponents.end())
        FComponents.erase(it);
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
