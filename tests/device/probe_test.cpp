// The probe ("?" and its 7-byte answer) as one port attempt sees it, its log
// line, and the status record the panel reads.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "virtual_link.h"

namespace {

using Reply = FakeSerialLine::Reply;

struct ProbeCase {
    const char* pszName;
    Reply reply;
    bool bAccepted;
    std::string line;  // the expected debug line
};

std::string Bytes(const char* p, std::size_t n) {
    return std::string(p, n);
}

TEST(Probe, AnswerRule) {
    const std::string kAnswer = "V1.23\r\n";
    const std::string k40(40, 'g');
    const ProbeCase cases[] = {
        {"at once", FakeSerialLine::Answer(), true, "Com1 Resp='V1.23\r\n' 10ms - ok"},
        {"free bytes are not examined", FakeSerialLine::Answer("V#.~x\r\n"), true,
         "Com1 Resp='V#.~x\r\n' 10ms - ok"},
        {"pieces 1+6", {{0, "V"}, {40, "1.23\r\n"}}, true, "Com1 Resp='V1.23\r\n' 40ms - ok"},
        {"pieces 3+4", {{0, "V1."}, {70, "23\r\n"}}, true, "Com1 Resp='V1.23\r\n' 70ms - ok"},
        {"complete at 190",
         {{0, "V1.23\r"}, {190, "\n"}},
         true,
         "Com1 Resp='V1.23\r\n' 190ms - ok"},
        {"complete at 191", FakeSerialLine::Answer(kAnswer, 191), false,
         "Com1 Resp='V1.23\r\n' 200ms - bad"},
        {"complete at 200", FakeSerialLine::Answer(kAnswer, 200), false,
         "Com1 Resp='V1.23\r\n' 200ms - bad"},
        {"a stray byte read with it", FakeSerialLine::Answer("V1.23\r\nX"), false,
         "Com1 Resp='V1.23\r\nX' 200ms - bad"},
        {"comma at byte 2", FakeSerialLine::Answer("V1,23\r\n"), false,
         "Com1 Resp='V1,23\r\n' 200ms - bad"},
        {"colon at byte 2", FakeSerialLine::Answer("V1:23\r\n"), false,
         "Com1 Resp='V1:23\r\n' 200ms - bad"},
        {"lowercase v", FakeSerialLine::Answer("v1.23\r\n"), false,
         "Com1 Resp='v1.23\r\n' 200ms - bad"},
        {"LF CR", FakeSerialLine::Answer("V1.23\n\r"), false, "Com1 Resp='V1.23\n\r' 200ms - bad"},
        {"NUL at byte 1", FakeSerialLine::Answer(Bytes("V\0.23\r\n", 7)), false,
         "Com1 Resp='V' 200ms - bad"},
        {"NUL at byte 3",
         FakeSerialLine::Answer(Bytes("V1.\0"
                                      "3\r\n",
                                      7)),
         false, "Com1 Resp='V1.' 200ms - bad"},
        {"NUL at byte 4", FakeSerialLine::Answer(Bytes("V1.2\0\r\n", 7)), false,
         "Com1 Resp='V1.2' 200ms - bad"},
        {"only 6 bytes, read after the last step", FakeSerialLine::Answer("V1.23\r"), false,
         "Com1 Resp='V1.23\r' 200ms - bad"},
        {"a bad read, then the answer",
         {{0, "garbage"}, {50, kAnswer}},
         true,
         "Com1 Resp='V1.23\r\n' 50ms - ok"},
        {"more than one read holds", FakeSerialLine::Answer(k40 + "tail!"), false,
         "Com1 Resp='tail!' 200ms - bad"},
        {"no answer", {}, false, "Com1 Resp='' 200ms - bad"},
    };
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        VirtualLink v;
        v.line.SetDevice(1, c.reply);
        const bool bFound = v.link.TryPort(1);
        EXPECT_EQ(bFound, c.bAccepted);
        EXPECT_EQ(v.link.GetDebugInfo(), c.line);
        EXPECT_EQ(v.line.IsOpen(), c.bAccepted) << "a failed attempt closes the port";
        EXPECT_EQ(Texts(v.line.Commands()), std::vector<std::string>{"?"});
        EXPECT_EQ(v.line.Writes().size(), 3u);  // "?" CR LF and nothing else
        // Accepted: back as soon as the answer is in; refused: 200 ms of probing
        // and the 100 ms pause of the attempt.
        const int nReplyMs = v.link.m_nReplyMs;
        EXPECT_EQ(v.line.Now(), c.bAccepted ? nReplyMs : 300);
        std::string text;
        int nStatus = -1;
        v.link.GetStatus(text, nStatus);
        EXPECT_EQ(nStatus, c.bAccepted ? LINK_CONNECTED : LINK_SEARCHING);
        EXPECT_EQ(text, "ACTIVE Port 1");
    }
}

TEST(Probe, MissingOrBusyPortCostsTheAttemptPauseOnly) {
    for (bool bBusy : {false, true}) {
        VirtualLink v;
        if (bBusy) {
            v.line.SetBusy(4);
        }
        EXPECT_FALSE(v.link.TryPort(4));
        EXPECT_EQ(v.line.Now(), 100);
        EXPECT_TRUE(v.line.Writes().empty());
        EXPECT_EQ(v.link.m_nPort, 4);
        EXPECT_EQ(v.link.GetDebugInfo(), "") << "no probe, no log line";
    }
}

TEST(Probe, DiscardsWhatTheDeviceSentBeforeTheProbe) {
    {
        // Bytes waiting as the port opens are flushed before "?" goes out.
        VirtualLink v;
        v.line.SetDevice(2, FakeSerialLine::Answer());
        v.line.QueueBytes(2, 0, "\x13junk");
        EXPECT_TRUE(v.link.TryPort(2));
        EXPECT_EQ(v.link.GetDebugInfo(), "Com2 Resp='V1.23\r\n' 10ms - ok");
    }
    {
        // An answer-shaped message sent between probes is never taken for the
        // answer to the next one.
        VirtualLink v;
        v.line.SetDevice(2, FakeSerialLine::Answer());
        ASSERT_TRUE(v.link.TryPort(2));
        v.line.SetDevice(2, {}, 20);
        v.line.QueueBytes(2, 50, "V9.99\r\n");
        v.line.Advance(90);
        EXPECT_FALSE(v.link.CheckDevice());
        EXPECT_EQ(v.link.GetDebugInfo(), "Com2 Resp='' 200ms - bad");
    }
    {
        // One flush takes at most 1000 bytes; the rest stays queued.
        VirtualLink v;
        v.line.SetDevice(3, FakeSerialLine::Answer());
        v.line.QueueBytes(3, 0, std::string(1003, 'n'));
        EXPECT_FALSE(v.link.TryPort(3));
        EXPECT_EQ(v.link.GetDebugInfo(), "Com3 Resp='nnnV1.23\r\n' 200ms - bad");
    }
}

TEST(Probe, FailedKeepAliveWaitsASecondMore) {
    for (const Reply& reply : {Reply{}, FakeSerialLine::Answer("V1,23\r\n")}) {
        VirtualLink v;
        v.line.SetDevice(1, FakeSerialLine::Answer());
        ASSERT_TRUE(v.link.TryPort(1));  // status 2 now
        v.line.SetDevice(1, reply, 10);
        v.line.Advance(40);
        const std::int64_t nStart = v.line.Now();
        EXPECT_FALSE(v.link.CheckDevice());
        EXPECT_EQ(v.line.Now() - nStart, 200 + 1000);
        ASSERT_FALSE(v.sleeps.empty());
        EXPECT_EQ(v.sleeps.back().nMs, 1000);
        EXPECT_TRUE(v.line.IsOpen()) << "closing is the thread's business";
    }
}

TEST(Probe, LongBadReplyIsCutToFitTheDebugLine) {
    VirtualLink v;
    const std::string reply = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    ASSERT_EQ(reply.size(), 40u);
    v.line.SetDevice(1, FakeSerialLine::Answer(reply));
    EXPECT_FALSE(v.link.TryPort(1));
    const std::string line = v.link.GetDebugInfo();
    EXPECT_LE(line.size(), 49u);
    EXPECT_EQ(line.rfind("Com1 Resp='0123456789", 0), 0u) << line;
    EXPECT_NE(line.find("...' 200ms - bad"), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 5), "- bad");
}

// Every line fits its buffer (an exact-size heap block, so the address
// sanitizer sees any overrun), keeps its verdict, and is cut only when the
// whole line would not fit.
TEST(Probe, FormatProbeLineFitsAndKeepsTheVerdict) {
    const std::string source = "V1.23\r\n0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int nSize : {50, 30}) {
        for (std::size_t nLen = 0; nLen <= 40; ++nLen) {
            for (const char* pszVerdict : {"ok", "bad"}) {
                const std::string reply = source.substr(0, nLen);
                const std::string tail = std::string("' 200ms - ") + pszVerdict;
                const std::string full = "Com4 Resp='" + reply + tail;
                auto buffer = std::make_unique<char[]>(nSize);
                FormatProbeLine(buffer.get(), nSize, 4, reply.c_str(), 200, pszVerdict);
                const std::string line(buffer.get(), strnlen(buffer.get(), nSize));
                SCOPED_TRACE(line);
                ASSERT_LT(line.size(), static_cast<std::size_t>(nSize)) << "not terminated";
                if (full.size() < static_cast<std::size_t>(nSize)) {
                    EXPECT_EQ(line, full);
                } else {
                    EXPECT_EQ(line.size(), static_cast<std::size_t>(nSize - 1));
                    ASSERT_GE(line.size(), 11 + 3 + tail.size());
                    const std::size_t nKept = line.size() - 11 - 3 - tail.size();
                    EXPECT_EQ(line, "Com4 Resp='" + reply.substr(0, nKept) + "..." + tail);
                }
            }
        }
    }
    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    FormatProbeLine(tiny, 8, 1, "long reply", 10, "ok");
    EXPECT_EQ(std::string(tiny), "Com1 Re");
}

TEST(StatusRecord, ChangedFlag) {
    CDeviceLink link;
    std::string text = "stale";
    int nStatus = -1;
    EXPECT_FALSE(link.GetStatus(text, nStatus)) << "nothing published yet";
    EXPECT_EQ(text, "");
    EXPECT_EQ(nStatus, LINK_STARTING);

    link.SetStatus(LINK_STARTING);
    EXPECT_FALSE(link.GetStatus(text, nStatus)) << "the same code is no change";
    link.SetStatus(LINK_CONNECTED);
    EXPECT_TRUE(link.GetStatus(text, nStatus));
    EXPECT_EQ(nStatus, LINK_CONNECTED);
    EXPECT_FALSE(link.GetStatus(text, nStatus)) << "GetStatus clears the flag";
    link.SetStatus(LINK_CONNECTED);
    EXPECT_FALSE(link.GetStatus(text, nStatus));

    link.SetStatusText("ACTIVE Port 2");
    EXPECT_TRUE(link.GetStatus(text, nStatus));
    EXPECT_EQ(text, "ACTIVE Port 2");
    link.SetStatusText("ACTIVE Port 2");
    EXPECT_TRUE(link.GetStatus(text, nStatus)) << "setting the same text still counts";
    link.SetStatusText(nullptr);
    EXPECT_TRUE(link.GetStatus(text, nStatus));
    EXPECT_EQ(text, "");
    EXPECT_EQ(nStatus, LINK_CONNECTED);
}

}  // namespace
