// The counters of the Ethernet frames, seen through a scripted transport: the master
// numbers its frames one by one from 0, and notices answers whose counter skips.

#include "xcp/XcpMaster.h"

#include <deque>
#include <gtest/gtest.h>

namespace qor::xcp {
namespace {

// Records every frame sent and answers each with the next scripted frame.
class ScriptedTransport : public Transport {
public:
    ScriptedTransport(std::vector<Frame>& Sent, std::deque<Frame> Answers)
        : FSent(Sent), FAnswers(std::move(Answers)) {}
    bool Open(const std::string&, int, Clock::time_point, std::string&) override {
        return FOpen = true;
    }
    void Close() override { FOpen = false; }
    bool IsOpen() const override { return FOpen; }
    bool Send(std::span<const std::uint8_t> Bytes) override {
        FrameReader reader;
        reader.Append(Bytes);
        std::optional<Frame> f = reader.Next();
        EXPECT_TRUE(f && reader.Pending() == 0) << "one whole frame per send";
        if (f)
            FSent.push_back(*f);
        FReady += 1;
        return true;
    }
    ReceiveResult Receive(Frame& Out, Clock::time_point) override {
        if (FReady == 0 || FAnswers.empty())
            return ReceiveResult::Timeout;
        --FReady;
        Out = FAnswers.front();
        FAnswers.pop_front();
        return ReceiveResult::Got;
    }
    void Drain() override {}

private:
    std::vector<Frame>& FSent;
    std::deque<Frame> FAnswers;
    int FReady = 0;
    bool FOpen = false;
};

TEST(XcpCounters, MasterCountsItsFramesAndNoticesGapsInTheSlaves) {
    const Packet connect{0xFF, 0x01, 0x00, 8, 8, 0, 1, 1};
    const Packet status{0xFF, 0, 0, 0, 0, 0};
    std::vector<Frame> sent;
    // The slave's counter: 40, 41, then 43 (one frame lost on the way), then 44.
    auto transport = std::make_unique<ScriptedTransport>(
        sent, std::deque<Frame>{{40, connect}, {41, status}, {43, status}, {44, {0xFF, 7, 8}}});
    MasterSettings settings;
    settings.Timeout = std::chrono::milliseconds(30);
    Master m(settings, std::move(transport));
    ASSERT_TRUE(m.Connect(m.CallDeadline()));
    SessionStatus s;
    ASSERT_TRUE(m.GetStatus(s, m.CallDeadline()));
    EXPECT_EQ(m.CounterGaps(), 0);
    ASSERT_TRUE(m.GetStatus(s, m.CallDeadline()));
    EXPECT_EQ(m.CounterGaps(), 1);
    std::uint8_t data[2];
    ASSERT_TRUE(m.Upload(0x1234, 0, data, m.CallDeadline()));
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(data[1], 8);
    EXPECT_EQ(m.CounterGaps(), 1);

    ASSERT_EQ(sent.size(), 4u);
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].Counter, i) << "frame " << i;
    EXPECT_EQ(sent[0].Data, (Packet{0xFF, 0x00}));
    EXPECT_EQ(sent[3].Data, (Packet{0xF4, 2, 0, 0, 0x34, 0x12, 0, 0}));
}

} // namespace
} // namespace qor::xcp
