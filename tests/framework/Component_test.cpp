#include "framework/Component.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qor {
namespace {

// Records what it is told and holds one reference guarded by free notification.
class TProbe : public TComponent {
public:
    TProbe(TComponent* Owner, std::string AName, std::vector<std::string>* Log = nullptr)
        : TComponent(Owner), FLog(Log) {
        SetName(AName);
    }
    ~TProbe() override {
        if (FLog)
            FLog->push_back("destroy " + Name());
    }

    void SetRef(TComponent* Target) {
        if (Ref)
            Ref->RemoveFreeNotification(this);
        Ref = Target;
        if (Ref)
            Ref->FreeNotification(this);
    }

    TComponent* Ref = nullptr;
    int Removals = 0;
    int Inserts = 0;
    // Owned components of the removed component still present when this one was told.
    int SubjectChildrenWhenTold = -1;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opInsert) {
            ++Inserts;
            return;
        }
        ++Removals;
        SubjectChildrenWhenTold = AComponent->ComponentCount();
        if (AComponent == Ref)
            Ref = nullptr;
    }

private:
    std::vector<std::string>* FLog;
};

TEST(Component, OwnerDestroysItsComponentsLastCreatedFirst) {
    std::vector<std::string> log;
    {
        TProbe owner(nullptr, "Owner", &log);
        new TProbe(&owner, "A", &log);
        new TProbe(&owner, "B", &log);
        auto* c = new TProbe(&owner, "C", &log);
        new TProbe(c, "C1", &log);
        EXPECT_EQ(owner.ComponentCount(), 3);
        EXPECT_EQ(owner.FindComponent("b")->Name(), "B");
    }
    const std::vector<std::string> expected{"destroy Owner", "destroy C", "destroy C1", "destroy B",
                                            "destroy A"};
    EXPECT_EQ(log, expected);
}

TEST(Component, DestroyedComponentLeavesItsOwnersList) {
    TProbe owner(nullptr, "Owner");
    auto* a = new TProbe(&owner, "A");
    new TProbe(&owner, "B");
    delete a;
    ASSERT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0)->Name(), "B");
    EXPECT_EQ(owner.FindComponent("A"), nullptr);
}

TEST(Component, DestroyingAReferencedComponentClearsTheReference) {
    TProbe holder(nullptr, "Holder");
    auto target = std::make_unique<TProbe>(nullptr, "Target");
    holder.SetRef(target.get());
    target.reset();
    EXPECT_EQ(holder.Ref, nullptr);
    EXPECT_EQ(holder.Removals, 1);
}

TEST(Component, FreeNotificationIsMutual) {
    // The holder goes first: the target hears of it and drops it from its list, so that
    // destroying the target afterwards tells nobody (AddressSanitizer would see a
    // destroyed holder being told).
    auto target = std::make_unique<TProbe>(nullptr, "Target");
    {
        TProbe holder(nullptr, "Holder");
        holder.SetRef(target.get());
    }
    EXPECT_EQ(target->Removals, 1);
    target.reset();
}

TEST(Component, RemovedFreeNotificationIsNotTold) {
    TProbe holder(nullptr, "Holder");
    auto first = std::make_unique<TProbe>(nullptr, "First");
    auto second = std::make_unique<TProbe>(nullptr, "Second");
    holder.SetRef(first.get());
    holder.SetRef(second.get());
    first.reset();
    EXPECT_EQ(holder.Removals, 0);
    EXPECT_EQ(holder.Ref, second.get());
    second.reset();
    EXPECT_EQ(holder.Removals, 1);
    EXPECT_EQ(holder.Ref, nullptr);
}

TEST(Component, ListenersAreToldBeforeOwnedComponentsGo) {
    TProbe listener(nullptr, "Listener");
    auto subject = std::make_unique<TProbe>(nullptr, "Subject");
    new TProbe(subject.get(), "Child");
    listener.SetRef(subject.get());
    subject.reset();
    EXPECT_EQ(listener.SubjectChildrenWhenTold, 1);
}

TEST(Component, NobodyIsToldTwice) {
    // The inner listener asked directly and also hears through its owner, who asked too.
    TProbe outer(nullptr, "Outer");
    auto* inner = new TProbe(&outer, "Inner");
    auto subject = std::make_unique<TProbe>(nullptr, "Subject");
    outer.SetRef(subject.get());
    inner->SetRef(subject.get());
    subject.reset();
    EXPECT_EQ(outer.Removals, 1);
    EXPECT_EQ(inner->Removals, 1);
    EXPECT_EQ(inner->Ref, nullptr);
}

TEST(Component, SiblingsThatAskAreToldAndTheOwnerHearsOfItsOwn) {
    TProbe form(nullptr, "Form");
    auto* user = new TProbe(&form, "User");
    auto* bystander = new TProbe(&form, "Bystander");
    auto* used = new TProbe(&form, "Used");
    EXPECT_EQ(form.Inserts, 3) << "the owner hears of its components without asking";
    user->SetRef(used); // siblings register like anybody else
    new TProbe(&form, "Late");
    EXPECT_EQ(user->Inserts, 0) << "a sibling's arrival is the owner's business";
    delete used;
    EXPECT_EQ(user->Ref, nullptr);
    EXPECT_EQ(user->Removals, 1);
    EXPECT_EQ(bystander->Removals, 0) << "who did not ask is not told";
    EXPECT_EQ(form.Removals, 1);
    // The user goes first: the used component it referred to no longer tells it.
    auto* target = new TProbe(&form, "Target");
    user->SetRef(target);
    delete user;
    delete target; // AddressSanitizer would see a destroyed user being told
    EXPECT_EQ(form.Removals, 3);
}

TEST(Component, ManyHoldersOfOneTargetLeaveAndAreToldInAnyOrder) {
    // Enough holders for the target's list to keep its index; some leave in a scattered
    // order (the list compacts), the rest are told exactly once when the target goes.
    TProbe form(nullptr, "Form");
    auto target = std::make_unique<TProbe>(nullptr, "Target");
    std::vector<TProbe*> holders;
    for (int i = 0; i < 100; ++i) {
        holders.push_back(new TProbe(&form, "H" + std::to_string(i)));
        holders.back()->SetRef(target.get());
    }
    for (int i = 0; i < 100; i += 3) { // 0, 3, 6, ... then the odd ones of the rest
        delete holders[static_cast<std::size_t>(i)];
        holders[static_cast<std::size_t>(i)] = nullptr;
    }
    for (int i = 97; i > 0; i -= 4)
        if (holders[static_cast<std::size_t>(i)]) {
            holders[static_cast<std::size_t>(i)]->SetRef(nullptr);
        }
    target.reset();
    for (int i = 0; i < 100; ++i) {
        const TProbe* h = holders[static_cast<std::size_t>(i)];
        if (!h)
            continue;
        SCOPED_TRACE(h->Name());
        const bool leftEarlier = i % 4 == 1 && i <= 97;
        EXPECT_EQ(h->Removals, leftEarlier ? 0 : 1);
        EXPECT_EQ(h->Ref, nullptr);
    }
    EXPECT_EQ(form.FindComponent("h50"), holders[50]);
    EXPECT_EQ(form.FindComponent("H51"), nullptr) << "destroyed";
}

TEST(Component, NamesAreCheckedAmongSiblings) {
    TProbe form(nullptr, "Form");
    new TProbe(&form, "Gain");
    EXPECT_THROW(new TProbe(&form, "GAIN"), EComponentError);
    EXPECT_EQ(form.ComponentCount(), 1) << "the refused component must not stay behind";
    TComponent other(&form);
    EXPECT_THROW(other.SetName("1abc"), EComponentError);
    EXPECT_NO_THROW(other.SetName("Gain2"));
}

TEST(Component, DesignModeReachesOwnedComponents) {
    TProbe form(nullptr, "Form");
    auto* before = new TProbe(&form, "Before");
    form.SetDesigning(true);
    auto* after = new TProbe(&form, "After");
    EXPECT_TRUE(before->ComponentState().Contains(csDesigning));
    EXPECT_TRUE(after->ComponentState().Contains(csDesigning));
    EXPECT_FALSE(after->ComponentState().Contains(csLoading));
}

} // namespace
} // namespace qor
