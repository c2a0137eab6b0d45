// Bounds, parents, visibility, z-order, scaling and focus of controls on a shown form.

#include "GuiTestSupport.h"
#include "gui/Edit.h"
#include "gui/Label.h"

namespace qor::test {
namespace {

class ControlTreeTest : public ShownFormTest {
protected:
    TRecordingPanel* AddPanel(const char* Name, TWinControl* Parent, int Left, int Top) {
        auto* p = new TRecordingPanel(Form.get());
        p->SetName(Name);
        p->SetParent(Parent);
        p->SetBounds(Left, Top, 100, 40);
        return p;
    }
};

TEST_F(ControlTreeTest, BoundsParentAndVisibilityOfAControlAndItsSiblings) {
    auto* a = AddPanel("A", Form.get(), 10, 10);
    auto* b = AddPanel("B", Form.get(), 10, 60);
    auto* host = AddPanel("Host", Form.get(), 150, 10);

    a->SetBounds(20, 30, 120, 50);
    EXPECT_EQ(a->Widget()->geometry(), QRect(20, 30, 120, 50));
    EXPECT_EQ(a->Left(), 20);
    EXPECT_EQ(a->Height(), 50);
    EXPECT_EQ(b->Widget()->geometry(), QRect(10, 60, 100, 40)) << "a sibling stays put";
    a->SetWidth(130);
    EXPECT_EQ(a->Widget()->geometry(), QRect(20, 30, 130, 50));

    // Moving A into Host keeps its bounds, now relative to Host.
    a->SetParent(host);
    EXPECT_EQ(a->Parent(), host);
    EXPECT_EQ(a->Widget()->parentWidget(), host->Widget());
    EXPECT_EQ(a->Widget()->geometry(), QRect(20, 30, 130, 50));
    EXPECT_EQ(Form->ControlCount(), 2);
    EXPECT_EQ(host->ControlCount(), 1);
    EXPECT_TRUE(a->Showing());

    // Hiding the parent hides the child on screen but not its own flag.
    host->Hide();
    EXPECT_FALSE(a->Showing());
    EXPECT_TRUE(a->Visible());
    EXPECT_TRUE(b->Showing());
    host->Show();
    EXPECT_TRUE(a->Showing());
    b->SetVisible(false);
    EXPECT_FALSE(b->Showing());
    EXPECT_TRUE(a->Showing());

    // Without a parent a control never shows, and never becomes a window of its own.
    a->SetParent(nullptr);
    EXPECT_FALSE(a->Widget()->isVisible());
    EXPECT_TRUE(a->Visible());
    EXPECT_EQ(host->ControlCount(), 0);

    EXPECT_THROW(host->SetParent(host), EInvalidOperation);
    a->SetParent(host);
    EXPECT_THROW(host->SetParent(a), EInvalidOperation);
}

TEST_F(ControlTreeTest, ZOrderFollowsBringToFrontAndSendToBack) {
    auto* a = AddPanel("A", Form.get(), 10, 10);
    auto* b = AddPanel("B", Form.get(), 20, 20);
    auto* c = AddPanel("C", Form.get(), 30, 30);
    EXPECT_EQ(Form->Widget()->childAt(35, 35), c->Widget());
    a->BringToFront();
    EXPECT_EQ(Form->Widget()->childAt(35, 35), a->Widget());
    EXPECT_EQ(Form->Controls(2), a);
    a->SendToBack();
    EXPECT_EQ(Form->Widget()->childAt(35, 35), c->Widget());
    EXPECT_EQ(Form->Controls(0), a);
    EXPECT_EQ(Form->Controls(1), b);

    // Directly behind a sibling: in front of those further back, behind that sibling.
    c->StackUnder(b);
    EXPECT_EQ(Form->Widget()->childAt(35, 35), b->Widget());
    b->Hide();
    EXPECT_EQ(Form->Widget()->childAt(35, 35), c->Widget()) << "c is still in front of a";
    b->Show();
    EXPECT_EQ(Form->Controls(0), a);
    EXPECT_EQ(Form->Controls(1), c);
    EXPECT_EQ(Form->Controls(2), b);
    auto* elsewhere = AddPanel("Elsewhere", b, 0, 0);
    elsewhere->StackUnder(a); // not a sibling: nothing moves
    EXPECT_EQ(Form->ControlCount(), 3);
    EXPECT_EQ(b->Controls(0), elsewhere);
}

TEST_F(ControlTreeTest, ScaleByScalesTheControlAndItsChildren) {
    auto* outer = AddPanel("Outer", Form.get(), 10, 20);
    auto* inner = AddPanel("Inner", outer, 4, 6);
    outer->ScaleBy(3, 2);
    EXPECT_EQ(outer->Widget()->geometry(), QRect(15, 30, 150, 60));
    EXPECT_EQ(inner->Widget()->geometry(), QRect(6, 9, 150, 60));
}

TEST_F(ControlTreeTest, DestroyingAParentDestroysItsChildControls) {
    auto* outer = AddPanel("Outer", Form.get(), 10, 20);
    AddPanel("Inner", outer, 4, 6);
    ASSERT_NE(Form->FindComponent("Inner"), nullptr);
    delete outer;
    EXPECT_EQ(Form->FindComponent("Inner"), nullptr);
    EXPECT_EQ(Form->ComponentCount(), 0);
}

TEST_F(ControlTreeTest, FocusChangesCallDoEnterAndDoExit) {
    auto* a = AddPanel("A", Form.get(), 10, 10);
    auto* b = AddPanel("B", Form.get(), 10, 60);
    std::vector<std::string> log;
    a->SetOnEnter([&](TObject*) { log.push_back("OnEnter A"); });
    b->SetOnExit([&](TObject*) { log.push_back("OnExit B"); });

    a->SetFocus();
    EXPECT_TRUE(a->Focused());
    b->SetFocus();
    QTest::keyClick(Form->Widget()->windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(a->Log, (std::vector<std::string>{"enter A", "exit A", "enter A"}));
    EXPECT_EQ(b->Log, (std::vector<std::string>{"enter B", "exit B"}));
    EXPECT_EQ(log, (std::vector<std::string>{"OnEnter A", "OnExit B", "OnEnter A"}));
}

TEST_F(ControlTreeTest, CanFocusNeedsAVisibleEnabledChainUpToAShownForm) {
    auto* outer = AddPanel("Outer", Form.get(), 10, 10);
    auto* inner = AddPanel("Inner", outer, 5, 5);
    auto* label = new TLabel(Form.get());
    label->SetParent(Form.get());
    EXPECT_TRUE(inner->CanFocus());
    EXPECT_FALSE(label->CanFocus());

    outer->SetEnabled(false);
    EXPECT_FALSE(inner->CanFocus());
    EXPECT_THROW(inner->SetFocus(), EInvalidOperation);
    outer->SetEnabled(true);
    outer->Hide();
    EXPECT_FALSE(inner->CanFocus());
    outer->Show();
    inner->SetParent(nullptr);
    EXPECT_FALSE(inner->CanFocus());
    inner->SetParent(outer);
    Form->Hide();
    EXPECT_FALSE(inner->CanFocus());
}

} // namespace
} // namespace qor::test
