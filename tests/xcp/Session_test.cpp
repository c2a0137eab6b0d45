// The master against the simulator's slave over UDP and TCP on the loopback: the slave's
// parameters, transfers cut to its packet sizes in both byte orders, error packets of every
// command, lost and late answers with SYNCH and the repeated memory pointer, a silent slave,
// one that goes away and comes back, and broken answers.

#include "tests/xcp/XcpSlaveFixture.h"

#include <numeric>

namespace qor::test {
namespace {

using namespace xcp;
using Codes = std::vector<std::uint8_t>;

constexpr std::uint32_t Scratch = 0x3000; // free memory of the built-in image

class XcpSession : public ::testing::TestWithParam<TransportKind> {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        ASSERT_NE(XcpPort(GetParam()), 0);
    }

    std::unique_ptr<Master>
    Make(std::chrono::milliseconds Timeout = std::chrono::milliseconds(300)) {
        MasterSettings s;
        s.Port = XcpPort(GetParam());
        s.Kind = GetParam();
        s.Timeout = Timeout;
        return std::make_unique<Master>(s);
    }

    std::unique_ptr<Master> Connected(const QorSimXcpConfig& Config = DefaultXcpConfig()) {
        Sim.XcpConfigure(&Config);
        auto m = Make();
        EXPECT_TRUE(m->Connect(m->CallDeadline()));
        Sim.TakeXcpCommands();
        return m;
    }

    Codes Memory(std::uint32_t Address, std::size_t Count) {
        Codes out(Count);
        EXPECT_TRUE(Sim.ReadMemory(Address, out.data(), static_cast<std::int32_t>(Count)));
        return out;
    }

    TSimLibrary& Sim = XcpSim();
};

TEST_P(XcpSession, ConnectTakesTheSlavesParameters) {
    auto m = Connected(QorSimXcpConfig{1, 8, 8, 1, 3, 2});
    EXPECT_EQ(m->Slave().Order, ByteOrder::Motorola);
    EXPECT_EQ(m->Slave().MaxCto, 8);
    EXPECT_EQ(m->Slave().MaxDto, 8);
    EXPECT_TRUE(m->CommMode().MasterBlockMode);
    EXPECT_EQ(m->CommMode().MaxBlockSize, 3);
    EXPECT_EQ(m->CommMode().MinSeparationUs, 200);

    auto plain = Connected();
    EXPECT_EQ(plain->Slave().Order, ByteOrder::Intel);
    EXPECT_EQ(plain->Slave().MaxCto, 255);
    EXPECT_EQ(plain->Slave().MaxDto, 1500);
    EXPECT_FALSE(plain->CommMode().MasterBlockMode);
    SessionStatus status;
    EXPECT_TRUE(plain->GetStatus(status, plain->CallDeadline()));
    EXPECT_TRUE(plain->Disconnect(plain->CallDeadline()));
    EXPECT_FALSE(plain->Connected());
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xFD, 0xFE}));
}

TEST_P(XcpSession, TransfersFitThePacketSizesInBothByteOrders) {
    struct TCase {
        const char* Name;
        QorSimXcpConfig Config;
        Codes Download300, Upload300;
    };
    // 300 bytes: DOWNLOAD carries MAX_CTO - 2, UPLOAD MAX_CTO - 1 bytes; a block carries
    // at most 255 bytes in MAX_BS packets.
    auto repeat = [](std::initializer_list<std::uint8_t> Head, std::uint8_t Code, int Times) {
        Codes c(Head);
        c.insert(c.end(), static_cast<std::size_t>(Times), Code);
        return c;
    };
    Codes blocks{0xF6, 0xF0};
    blocks.insert(blocks.end(), 4, 0xEF); // 5 packets of 53 bytes: 255
    blocks.push_back(0xF0);               // then 45 bytes in one packet
    const TCase cases[] = {
        {"smallest packets, Intel",
         {0, 8, 8, 0, 8, 0},
         repeat({0xF6}, 0xF0, 50),
         repeat({0xF6}, 0xF5, 43)},
        {"smallest packets, Motorola",
         {1, 8, 8, 0, 8, 0},
         repeat({0xF6}, 0xF0, 50),
         repeat({0xF6}, 0xF5, 43)},
        {"largest packets, Motorola",
         {1, 255, 0xFFFF, 0, 8, 0},
         {0xF6, 0xF0, 0xF0},
         {0xF6, 0xF5, 0xF5}},
        {"master block mode", {0, 55, 1500, 1, 5, 0}, blocks, repeat({0xF6}, 0xF5, 6)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.ResetDefault();
        auto m = Connected(c.Config);
        Codes data(300);
        std::iota(data.begin(), data.end(), std::uint8_t(7));
        ASSERT_TRUE(m->Download(Scratch, 0, data, m->CallDeadline()));
        EXPECT_EQ(Memory(Scratch, 300), data);
        EXPECT_EQ(Sim.TakeXcpCommands(), c.Download300);

        Codes back(300);
        ASSERT_TRUE(m->Upload(Scratch, 0, back, m->CallDeadline()));
        EXPECT_EQ(back, data);
        EXPECT_EQ(Sim.TakeXcpCommands(), c.Upload300);

        // What fits one answer is one SHORT_UPLOAD, its address in the slave's order.
        Codes idle(2);
        ASSERT_TRUE(m->Upload(0x0400, 0, idle, m->CallDeadline()));
        EXPECT_EQ(idle, Memory(0x0400, 2));
        EXPECT_EQ(Sim.TakeXcpCommands(), Codes{0xF4});
        EXPECT_EQ(m->CounterGaps(), 0);
    }
}

TEST_P(XcpSession, ErrorPacketOfEachCommandReachesTheCaller) {
    struct TCase {
        const char* Name;
        std::uint8_t Command;
        bool BlockMode;
        std::function<Result(Master&)> Run;
    };
    Codes data(100, 0x5A);
    auto read = [](std::size_t n) {
        return [n](Master& m) {
            Codes b(n);
            return m.Upload(Scratch, 0, b, m.CallDeadline());
        };
    };
    auto write = [&](Master& m) { return m.Download(Scratch, 0, data, m.CallDeadline()); };
    const TCase cases[] = {
        {"GET_STATUS", 0xFD, false,
         [](Master& m) {
             SessionStatus s;
             return m.GetStatus(s, m.CallDeadline());
         }},
        {"SET_MTA", 0xF6, false, read(100)},
        {"UPLOAD", 0xF5, false, read(100)},
        {"SHORT_UPLOAD", 0xF4, false, read(4)},
        {"DOWNLOAD", 0xF0, false, write},
        {"DOWNLOAD_NEXT", 0xEF, true, write},
        {"DISCONNECT", 0xFE, false, [](Master& m) { return m.Disconnect(m.CallDeadline()); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.ResetDefault();
        auto m = Connected(QorSimXcpConfig{0, 64, 1500, c.BlockMode, 8, 0});
        AddXcpFault(qxfErrorPacket, c.Command, 1, 0x22);
        Result r = c.Run(*m);
        EXPECT_EQ(r.What, Outcome::SlaveError);
        EXPECT_EQ(r.ErrorCode, 0x22);
        if (c.Command != 0xFE) {
            EXPECT_TRUE(m->Connected()) << "an error packet is an answer";
            EXPECT_TRUE(c.Run(*m)) << "the next call goes through";
        }
    }

    // CONNECT refused; GET_COMM_MODE_INFO refused only costs the block mode.
    Sim.ResetDefault();
    AddXcpFault(qxfErrorPacket, 0xFF, 1, 0x24);
    auto m = Make();
    Result r = m->Connect(m->CallDeadline());
    EXPECT_EQ(r.What, Outcome::SlaveError);
    EXPECT_EQ(r.ErrorCode, 0x24);
    EXPECT_FALSE(m->Connected());
    const QorSimXcpConfig block{0, 64, 1500, 1, 8, 0};
    Sim.XcpConfigure(&block);
    AddXcpFault(qxfErrorPacket, 0xFB, 1, 0x20);
    EXPECT_TRUE(m->Connect(m->CallDeadline()));
    EXPECT_FALSE(m->CommMode().MasterBlockMode);
}

TEST_P(XcpSession, BusySlaveIsAskedAgain) {
    auto m = Connected();
    AddXcpFault(qxfErrorPacket, 0xF4, 3, 0x10);
    Codes b(2);
    EXPECT_TRUE(m->Upload(0x0400, 0, b, m->CallDeadline()));
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xF4, 0xF4, 0xF4, 0xF4}));
}

TEST_P(XcpSession, LostAnswerIsRepeatedAfterSynchWithTheMemoryPointerSetAgain) {
    auto m = Connected(QorSimXcpConfig{0, 8, 8, 0, 8, 0});
    // The first DOWNLOAD was carried out, only its answer lost: repeating it without
    // SET_MTA would write the bytes behind the first ones.
    AddXcpFault(qxfDropAnswer, 0xF0, 1);
    const Codes data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(m->Download(Scratch, 0, data, m->CallDeadline()));
    EXPECT_EQ(Memory(Scratch, 12), (Codes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xF6, 0xF0, 0xFC, 0xF6, 0xF0, 0xF0}));

    // A late answer arrives while the master already waits for SYNCH: it is dropped, and
    // the repeated command gets its own answer.
    std::uint8_t idle[2] = {};
    ASSERT_TRUE(Sim.ReadMemory(0x0400, idle, 2));
    AddXcpFault(qxfDelayAnswer, 0xF4, 1, 150);
    Codes b(2);
    EXPECT_TRUE(m->Upload(0x0400, 0, b, m->CallDeadline()));
    EXPECT_EQ(b, (Codes{idle[0], idle[1]}));
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xF4, 0xFC, 0xF4}));
    Codes next(2);
    EXPECT_TRUE(m->Upload(0x0402, 0, next, m->CallDeadline()));
    EXPECT_EQ(next, Memory(0x0402, 2)) << "no late answer is left over";
}

TEST_P(XcpSession, LateAnswerToARepeatedConnectIsNotTakenForData) {
    const QorSimXcpConfig config = DefaultXcpConfig();
    Sim.XcpConfigure(&config);
    AddXcpFault(qxfDelayAnswer, 0xFF, 1, 150);
    auto m = Make();
    ASSERT_TRUE(m->Connect(m->CallDeadline()));
    // The late answer of the first CONNECT came in for the second; the second's answer is
    // still on its way and must not pass for the data of the read.
    Codes b(7);
    ASSERT_TRUE(m->Upload(0x0400, 0, b, m->CallDeadline()));
    EXPECT_EQ(b, Memory(0x0400, 7));
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xFF, 0xFF, 0xFC, 0xF4}));
}

TEST_P(XcpSession, SilentSlaveEndsTheCallWithinItsTimeout) {
    auto m = Connected();
    AddXcpFault(qxfDropAnswer, qxcAnyCommand, 100);
    Codes b(2);
    Result r = m->Upload(0x0400, 0, b, m->CallDeadline());
    EXPECT_EQ(r.What, Outcome::Timeout);
    EXPECT_FALSE(m->Connected());
    // The command, then SYNCH for each repetition, none of them answered: three waits of
    // a third of the budget each (bench_xcp measures how long the call takes).
    EXPECT_EQ(Sim.TakeXcpCommands(), (Codes{0xF4, 0xFC, 0xFC}));
}

TEST_P(XcpSession, SlaveThatGoesAwayAndComesBack) {
    auto m = Connected();
    Sim.XcpSetOnline(0);
    Codes b(2);
    Result r = m->Upload(0x0400, 0, b, m->CallDeadline());
    EXPECT_EQ(r.What, GetParam() == TransportKind::Tcp ? Outcome::LinkDown : Outcome::Timeout);
    EXPECT_FALSE(m->Connected());
    EXPECT_FALSE(m->Connect(m->CallDeadline()));
    Sim.XcpSetOnline(1);
    ASSERT_TRUE(m->Connect(m->CallDeadline()));
    EXPECT_TRUE(m->Upload(0x0400, 0, b, m->CallDeadline()));
    EXPECT_EQ(b, Memory(0x0400, 2));
}

TEST_P(XcpSession, BrokenAnswersNeverPassForData) {
    // A broken datagram is dropped and the command repeated after SYNCH; a broken TCP
    // stream cannot be trusted any more and is closed. A positive answer without its data
    // fails the call on either.
    const bool tcp = GetParam() == TransportKind::Tcp;
    struct TCase {
        const char* Name;
        int Kind;
        Outcome Expected;
    };
    const TCase cases[] = {
        {"truncated frame", 0, tcp ? Outcome::LinkDown : Outcome::Ok},
        {"frame of length 0", 1, tcp ? Outcome::LinkDown : Outcome::Ok},
        {"answer without data", 2, Outcome::BadAnswer},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.ResetDefault();
        auto m = Connected();
        AddXcpFault(qxfGarbage, 0xF4, 1, c.Kind);
        Codes b(2);
        EXPECT_EQ(m->Upload(0x0400, 0, b, m->CallDeadline()).What, c.Expected);
        if (c.Expected == Outcome::Ok) {
            EXPECT_EQ(b, Memory(0x0400, 2));
        }
        if (!m->Connected()) {
            ASSERT_TRUE(m->Connect(m->CallDeadline()));
        }
        Codes again(2);
        EXPECT_TRUE(m->Upload(0x0402, 0, again, m->CallDeadline()));
        EXPECT_EQ(again, Memory(0x0402, 2));
    }
}

// The slave answers from a thread of its own: ThreadSanitizer runs these too.
INSTANTIATE_TEST_SUITE_P(ThreadLoopback, XcpSession,
                         ::testing::Values(TransportKind::Udp, TransportKind::Tcp), TransportName);

} // namespace
} // namespace qor::test
