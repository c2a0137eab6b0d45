// TDataRefresher as a component: properties, forwarding, design mode, free notification.
// Outside design mode each refresher has a real (stopped) worker thread, hence the suite
// names: they also run under ThreadSanitizer.

#include "framework/FormStreaming.h"
#include "framework/Properties.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "tests/link/RefreshTargets.h"

#include <gtest/gtest.h>

namespace qor::test {
namespace {

constexpr std::uint32_t LivePacket = ddPacket | 0x20;

TEST(ThreadRefresherComponent, DesignModeHasNoThreadAndRegistersNothing) {
    TComponent form(nullptr);
    form.SetDesigning(true);
    auto* refresher = new TDataRefresher(&form);
    TRecordingTarget target(nullptr);
    EXPECT_EQ(refresher->Thread(), nullptr);
    EXPECT_TRUE(refresher->RegisterClient(&target, 0, LivePacket, -1)) << "a no-op says yes";
    refresher->EnableClient(&target, LivePacket, -1);
    refresher->Start();
    EXPECT_FALSE(refresher->Running());
    refresher->SetSleepTime(50);
    EXPECT_EQ(refresher->SleepTime(), 50);
}

TEST(ThreadRefresherComponent, PropertiesReachTheThread) {
    TDataRefresher refresher(nullptr);
    TRefreshThread* thread = refresher.Thread();
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(refresher.SleepTime(), 20);
    EXPECT_EQ(thread->SleepTime(), 20);
    EXPECT_EQ(refresher.Priority(), tpNormal);
    EXPECT_FALSE(refresher.Running()) << "created stopped";
    for (int ignored : {0, -5}) {
        refresher.SetSleepTime(ignored);
        EXPECT_EQ(refresher.SleepTime(), 20);
        EXPECT_EQ(thread->SleepTime(), 20);
    }
    refresher.SetSleepTime(5);
    EXPECT_EQ(thread->SleepTime(), 5) << "only the initial pause is raised to 20";
    refresher.SetPriority(tpLower);
    EXPECT_EQ(thread->Priority(), tpLower);
    refresher.SetRefreshAll(true);
    EXPECT_TRUE(thread->RefreshAll());

    TRecordingTarget target(nullptr);
    EXPECT_FALSE(refresher.RegisterClient(&target, 0, LivePacket, -1));
    EXPECT_TRUE(refresher.RegisterClient(&target, 100, LivePacket, -1));
    refresher.DisableClient(&target, LivePacket, -1);
    ASSERT_EQ(thread->Elements().size(), 1u);
    EXPECT_FALSE(thread->Elements()[0]->Clients[0].Enabled);
    refresher.EnableClient(&target, LivePacket, -1);
    EXPECT_TRUE(thread->Elements()[0]->Clients[0].Enabled);
    refresher.UnregisterClient(&target, LivePacket, -1);
    EXPECT_TRUE(thread->Elements().empty());
}

TEST(ThreadRefresherComponent, DestroyedConnectionsAndTargetsAreForgotten) {
    TDataRefresher refresher(nullptr);
    auto connection = std::make_unique<TQorConnection>(nullptr);
    refresher.SetConnection(connection.get());
    EXPECT_EQ(refresher.Thread()->Connection(), connection.get());
    connection.reset();
    EXPECT_EQ(refresher.Connection(), nullptr);
    EXPECT_EQ(refresher.Thread()->Connection(), nullptr);

    // A control that goes without unregistering must not stay in the registry.
    auto control = std::make_unique<TRecordingControl>(nullptr);
    TRecordingControl other(nullptr);
    refresher.RegisterClient(control.get(), 100, LivePacket, -1);
    refresher.RegisterClient(control.get(), 100, LivePacket, 2);
    refresher.RegisterClient(&other, 100, LivePacket, -1);
    control.reset();
    const auto& elements = refresher.Thread()->Elements();
    ASSERT_EQ(elements.size(), 1u);
    ASSERT_EQ(elements[0]->Clients.size(), 1u);
    EXPECT_EQ(elements[0]->Clients[0].Target, &other);
}

TEST(ThreadRefresherComponent, PublishedPropertiesRoundTripThroughAFormFile) {
    RegisterLinkClasses();
    TComponent form(nullptr);
    form.SetName("Form");
    auto* link = new TQorConnection(&form);
    link->SetName("Link");
    auto* refresher = new TDataRefresher(&form);
    refresher->SetName("Refresher");
    EXPECT_EQ(WriteComponentText(*refresher), "object Refresher: TDataRefresher\nend\n");
    refresher->SetConnection(link);
    refresher->SetSleepTime(40);
    refresher->SetPriority(tpHigher);
    refresher->SetAutoStart(true);
    const std::string text = WriteComponentText(*refresher);
    EXPECT_EQ(text, "object Refresher: TDataRefresher\n  Connection = Form.Link\n"
                    "  SleepTime = 40\n  Priority = tpHigher\n  AutoStart = True\nend\n");
    const struct {
        std::string Stored;
        bool Running;
    } cases[] = {{"", false}, {"  AutoStart = False\n", false}, {"  AutoStart = True\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        TDataRefresher back(nullptr);
        ReadComponentTextInto(back, "object Refresher: TDataRefresher\n  SleepTime = 40\n"
                                    "  Priority = tpHigher\n" +
                                        c.Stored + "end\n");
        EXPECT_EQ(back.Thread()->SleepTime(), 40);
        EXPECT_EQ(back.Thread()->Priority(), tpHigher);
        EXPECT_EQ(back.Running(), c.Running) << "loading starts it only with AutoStart";
    }
}

} // namespace
} // namespace qor::test
