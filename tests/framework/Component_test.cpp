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

TEST(Component, OwnerTellsItsComponentsOfEachOther) {
    TProbe form(nullptr, "Form");
    auto* user = new TProbe(&form, "User");
    auto* used = new TProbe(&form, "Used");
    user->SetRef(used); // same owner: nothing is registered, the owner tells
    EXPECT_EQ(user->Inserts, 1) << "told of Used's arrival";
    new TProbe(&form, "Late");
    EXPECT_EQ(user->Inserts, 2);
    delete used;
    EXPECT_EQ(user->Ref, nullptr);
    EXPECT_EQ(user->Removals, 1);
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
