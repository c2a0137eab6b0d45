// The master's protocol code on its own: the bytes of every request in both byte orders,
// the parsing of answers at the edges of what a slave may declare, the Ethernet frame and
// its reader, and random input that must never be read past its end.

#include "xcp/XcpFrame.h"
#include "xcp/XcpProtocol.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace qor::xcp {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(XcpRequests, EveryCommandInBothByteOrders) {
    struct TCase {
        const char* Name;
        std::function<Packet(ByteOrder)> Make;
        Bytes Intel, Motorola;
    };
    static const std::uint8_t data[] = {0xA1, 0xB2, 0xC3};
    const TCase cases[] = {
        {"CONNECT", [](ByteOrder) { return ConnectRequest(); }, {0xFF, 0x00}, {0xFF, 0x00}},
        {"DISCONNECT", [](ByteOrder) { return DisconnectRequest(); }, {0xFE}, {0xFE}},
        {"GET_STATUS", [](ByteOrder) { return GetStatusRequest(); }, {0xFD}, {0xFD}},
        {"SYNCH", [](ByteOrder) { return SynchRequest(); }, {0xFC}, {0xFC}},
        {"GET_COMM_MODE_INFO", [](ByteOrder) { return GetCommModeInfoRequest(); }, {0xFB}, {0xFB}},
        {"SET_MTA",
         [](ByteOrder o) { return SetMtaRequest(0x12345678, 0x02, o); },
         {0xF6, 0, 0, 0x02, 0x78, 0x56, 0x34, 0x12},
         {0xF6, 0, 0, 0x02, 0x12, 0x34, 0x56, 0x78}},
        {"UPLOAD", [](ByteOrder) { return UploadRequest(7); }, {0xF5, 7}, {0xF5, 7}},
        {"SHORT_UPLOAD",
         [](ByteOrder o) { return ShortUploadRequest(4, 0x00000402, 0x01, o); },
         {0xF4, 4, 0, 0x01, 0x02, 0x04, 0x00, 0x00},
         {0xF4, 4, 0, 0x01, 0x00, 0x00, 0x04, 0x02}},
        {"DOWNLOAD",
         [](ByteOrder) { return DownloadRequest(3, data); },
         {0xF0, 3, 0xA1, 0xB2, 0xC3},
         {0xF0, 3, 0xA1, 0xB2, 0xC3}},
        {"DOWNLOAD_NEXT",
         [](ByteOrder) { return DownloadNextRequest(9, data); },
         {0xEF, 9, 0xA1, 0xB2, 0xC3},
         {0xEF, 9, 0xA1, 0xB2, 0xC3}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.Make(ByteOrder::Intel), c.Intel) << c.Name;
        EXPECT_EQ(c.Make(ByteOrder::Motorola), c.Motorola) << c.Name;
    }
}

TEST(XcpAnswers, ConnectAnswerAtTheEdgesOfWhatASlaveMayDeclare) {
    struct TCase {
        const char* Name;
        Bytes Answer;
        bool Valid;
        ByteOrder Order;
        int MaxCto, MaxDto;
        bool Optional;
    };
    const TCase cases[] = {
        {"smallest, Intel", {0xFF, 0x01, 0x00, 8, 8, 0, 1, 1}, true, ByteOrder::Intel, 8, 8, false},
        {"largest, Motorola, optional",
         {0xFF, 0x01, 0x81, 255, 0xFF, 0xFF, 1, 1},
         true,
         ByteOrder::Motorola,
         255,
         0xFFFF,
         true},
        {"MAX_DTO word in slave order",
         {0xFF, 0, 0x01, 64, 0x05, 0xDC, 1, 1},
         true,
         ByteOrder::Motorola,
         64,
         1500,
         false},
        {"MAX_DTO word Intel",
         {0xFF, 0, 0x00, 64, 0xDC, 0x05, 1, 1},
         true,
         ByteOrder::Intel,
         64,
         1500,
         false},
        {"MAX_CTO below 8", {0xFF, 0, 0, 7, 8, 0, 1, 1}, false, {}, 0, 0, false},
        {"MAX_DTO below 8", {0xFF, 0, 0, 8, 7, 0, 1, 1}, false, {}, 0, 0, false},
        {"reserved granularity", {0xFF, 0, 0x06, 8, 8, 0, 1, 1}, false, {}, 0, 0, false},
        {"truncated", {0xFF, 0, 0, 8, 8, 0, 1}, false, {}, 0, 0, false},
        {"error packet", {0xFE, 0x20, 0, 8, 8, 0, 1, 1}, false, {}, 0, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::optional<SlaveInfo> s = ParseConnectAnswer(c.Answer);
        ASSERT_EQ(s.has_value(), c.Valid);
        if (!s)
            continue;
        EXPECT_EQ(s->Order, c.Order);
        EXPECT_EQ(s->MaxCto, c.MaxCto);
        EXPECT_EQ(s->MaxDto, c.MaxDto);
        EXPECT_EQ(s->OptionalInfo, c.Optional);
        EXPECT_EQ(s->AddressGranularity, 1);
    }
    EXPECT_EQ(ParseConnectAnswer(Bytes{0xFF, 0, 0x04, 8, 8, 0, 1, 1})->AddressGranularity, 4);
}

TEST(XcpAnswers, StatusCommModeUploadAndErrorPackets) {
    const Bytes status{0xFF, 0x05, 0x01, 0x00, 0x12, 0x34};
    EXPECT_EQ(ParseStatusAnswer(status, ByteOrder::Intel)->ConfigurationId, 0x3412);
    EXPECT_EQ(ParseStatusAnswer(status, ByteOrder::Motorola)->ConfigurationId, 0x1234);
    EXPECT_EQ(ParseStatusAnswer(status, ByteOrder::Intel)->Status, 0x05);
    EXPECT_FALSE(ParseStatusAnswer(Bytes{0xFF, 0, 0, 0, 0}, ByteOrder::Intel));

    std::optional<CommModeInfo> mode =
        ParseCommModeInfoAnswer(Bytes{0xFF, 0, 0x01, 0, 4, 3, 0, 0x10});
    ASSERT_TRUE(mode);
    EXPECT_TRUE(mode->MasterBlockMode);
    EXPECT_EQ(mode->MaxBlockSize, 4);
    EXPECT_EQ(mode->MinSeparationUs, 300);
    EXPECT_FALSE(ParseCommModeInfoAnswer(Bytes{0xFF, 0, 0x01, 0, 0, 0})->MasterBlockMode)
        << "a block of no packets is no block mode";

    const Bytes upload{0xFF, 1, 2, 3};
    EXPECT_EQ(ParseUploadAnswer(upload, 3)->size(), 3u);
    EXPECT_FALSE(ParseUploadAnswer(upload, 4)) << "fewer data bytes than asked";
    EXPECT_FALSE(ParseUploadAnswer(Bytes{0xFE, 0x22}, 1));

    const Answer error = ClassifyAnswer(Bytes{0xFE, 0x22, 0x07});
    EXPECT_EQ(error.What, Answer::Error);
    EXPECT_EQ(error.ErrorCode, 0x22);
    EXPECT_EQ(ClassifyAnswer(Bytes{0xFE}).What, Answer::NotAnAnswer) << "an error without code";
    EXPECT_EQ(ClassifyAnswer(Bytes{0xFD, 0x01}).What, Answer::NotAnAnswer) << "an event";
    EXPECT_EQ(ClassifyAnswer(Bytes{}).What, Answer::NotAnAnswer);
    EXPECT_EQ(ClassifyAnswer(Bytes{0xFF}).What, Answer::Positive);
}

TEST(XcpFrames, HeaderIsIntelWhateverTheSlaveAndCountersTravel) {
    EXPECT_EQ(EncodeFrame(0x0102, Bytes{0xFF, 0x00}), (Bytes{0x02, 0x00, 0x02, 0x01, 0xFF, 0x00}));
    Bytes big(300, 0xAB);
    Bytes framed = EncodeFrame(0xFFFF, big);
    EXPECT_EQ(framed[0], 0x2C);
    EXPECT_EQ(framed[1], 0x01);

    // Two frames and the start of a third in one piece, the rest later.
    FrameReader reader;
    Bytes stream = EncodeFrame(7, Bytes{0xFF});
    Bytes second = EncodeFrame(8, Bytes{0xFE, 0x20});
    Bytes third = EncodeFrame(9, Bytes{0xFF, 1, 2, 3});
    stream.insert(stream.end(), second.begin(), second.end());
    stream.insert(stream.end(), third.begin(), third.begin() + 5);
    reader.Append(stream);
    std::optional<Frame> a = reader.Next(), b = reader.Next();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Counter, 7);
    EXPECT_EQ(b->Counter, 8);
    EXPECT_EQ(b->Data, (Bytes{0xFE, 0x20}));
    EXPECT_FALSE(reader.Next()) << "the third frame is not complete";
    EXPECT_EQ(reader.Pending(), 5u);
    reader.Append(std::span(third).subspan(5));
    std::optional<Frame> c = reader.Next();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Data, (Bytes{0xFF, 1, 2, 3}));
    EXPECT_FALSE(reader.Broken());
}

TEST(XcpFrames, LengthZeroOrAboveTheLimitBreaksTheReader) {
    for (const Bytes& garbage : {Bytes{0, 0, 1, 0, 0xFF}, Bytes{0x00, 0x02, 0, 0}}) {
        FrameReader reader(255);
        reader.Append(garbage);
        EXPECT_FALSE(reader.Next());
        EXPECT_TRUE(reader.Broken());
        reader.Append(EncodeFrame(1, Bytes{0xFF}));
        EXPECT_FALSE(reader.Next()) << "nothing after garbage is trusted";
        reader.Clear();
        reader.Append(EncodeFrame(1, Bytes{0xFF}));
        EXPECT_TRUE(reader.Next()) << "until the reader starts again";
    }
}

// Random bytes through every parser and the frame reader: no answer is read past its end
// (the sanitizer build sees any), and whatever parses keeps its own rules.
TEST(XcpAnswers, RandomInputNeverReadsPastItsEnd) {
    std::mt19937 random(19);
    for (int round = 0; round < 20000; ++round) {
        Bytes b(random() % 12);
        for (auto& x : b)
            x = static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFF : random());
        if (auto s = ParseConnectAnswer(b)) {
            EXPECT_GE(s->MaxCto, MinCto);
            EXPECT_GE(s->MaxDto, MinDto);
        }
        ParseStatusAnswer(b, ByteOrder::Motorola);
        ParseCommModeInfoAnswer(b);
        if (auto d = ParseUploadAnswer(b, static_cast<int>(random() % 12))) {
            EXPECT_LE(d->size() + 1, b.size());
        }
        ClassifyAnswer(b);
        FrameReader reader(64);
        reader.Append(b);
        while (auto f = reader.Next()) {
            EXPECT_LE(f->Data.size() + FrameHeaderSize, b.size());
        }
    }
}

} // namespace
} // namespace qor::xcp
