// The simulator's control language: escapes and the parsing of control lines.
#include <gtest/gtest.h>

#include "control_line.h"

using namespace tavrel_sim;
using Kind = ControlCommand::Kind;

namespace {

ControlCommand Parse(const std::string& line) {
    ControlCommand command;
    std::string error;
    EXPECT_TRUE(ParseControlLine(line, command, error)) << line << ": " << error;
    return command;
}

std::string ParseError(const std::string& line) {
    ControlCommand command;
    std::string error;
    EXPECT_FALSE(ParseControlLine(line, command, error)) << line;
    return error;
}

}  // namespace

TEST(ControlEscapes, DecodesEachEscapeAndKeepsPlainBytes) {
    std::string out, error;
    ASSERT_TRUE(DecodeEscapes(R"(V1.23\r\n)", out, error)) << error;
    EXPECT_EQ(out, "V1.23\r\n");
    ASSERT_TRUE(DecodeEscapes(R"(a\tb\\c\x00d\x7F\xfe)", out, error)) << error;
    EXPECT_EQ(out, std::string("a\tb\\c\0d\x7f\xfe", 9));
    ASSERT_TRUE(DecodeEscapes("no escapes, a space", out, error));
    EXPECT_EQ(out, "no escapes, a space");
}

TEST(ControlEscapes, RejectsMalformedEscapesNamingThem) {
    std::string out, error;
    EXPECT_FALSE(DecodeEscapes(R"(abc\)", out, error));
    EXPECT_FALSE(DecodeEscapes(R"(a\qb)", out, error));
    EXPECT_NE(error.find("\\q"), std::string::npos) << error;
    EXPECT_FALSE(DecodeEscapes(R"(\x4)", out, error));
    EXPECT_FALSE(DecodeEscapes(R"(\xg0)", out, error));
    EXPECT_FALSE(DecodeEscapes(R"(\x)", out, error));
}

TEST(ControlEscapes, LogFormOfEveryByteDecodesBack) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    std::string shown = EscapeBytes(all);
    for (char c : shown) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "unprintable byte in the log form";
    }
    std::string back, error;
    ASSERT_TRUE(DecodeEscapes(shown, back, error)) << error;
    EXPECT_EQ(back, all);
    EXPECT_EQ(EscapeBytes("p3f"), "p3f");
    EXPECT_EQ(EscapeBytes(std::string("?\r\n\0\\", 5)), "?\\x0d\\x0a\\x00\\x5c");
}

TEST(ControlLine, AnswerModes) {
    EXPECT_EQ(Parse("answer ok").answer, AnswerMode::Ok);
    EXPECT_EQ(Parse("answer none").answer, AnswerMode::None);

    ControlCommand late = Parse("answer late 500");
    EXPECT_EQ(late.kind, Kind::Answer);
    EXPECT_EQ(late.answer, AnswerMode::Late);
    EXPECT_EQ(late.ms, 500);

    ControlCommand pieces = Parse("  answer   pieces 3,2,2\t150 \r");
    EXPECT_EQ(pieces.answer, AnswerMode::Pieces);
    EXPECT_EQ(pieces.pieces, (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(pieces.ms, 150);

    ControlCommand wrong = Parse(R"(answer wrong V1 23\x00\r\n)");
    EXPECT_EQ(wrong.answer, AnswerMode::Wrong);
    EXPECT_EQ(wrong.bytes, std::string("V1 23\0\r\n", 8));
}

TEST(ControlLine, TheLoggedAnswerModeParsesToTheSameMode) {
    for (const char* line : {"answer ok", "answer none", "answer late 0", "answer pieces 1,6 20",
                             R"(answer wrong V1,23\x0d\x0a)"}) {
        ControlCommand first = Parse(line);
        EXPECT_EQ(DescribeAnswer(first), line);
        ControlCommand again = Parse(DescribeAnswer(first));
        EXPECT_EQ(again.answer, first.answer);
        EXPECT_EQ(again.ms, first.ms);
        EXPECT_EQ(again.pieces, first.pieces);
        EXPECT_EQ(again.bytes, first.bytes);
    }
}

TEST(ControlLine, OutputAndLinkCommands) {
    ControlCommand version = Parse(R"(version V2.05\r\n)");
    EXPECT_EQ(version.kind, Kind::Version);
    EXPECT_EQ(version.bytes, "V2.05\r\n");

    ControlCommand send = Parse(R"(send hello world\n)");
    EXPECT_EQ(send.kind, Kind::Send);
    EXPECT_EQ(send.bytes, "hello world\n");

    ControlCommand chatter = Parse("chatter 120 XY Z");
    EXPECT_EQ(chatter.kind, Kind::Chatter);
    EXPECT_EQ(chatter.ms, 120);
    EXPECT_EQ(chatter.bytes, "XY Z");
    EXPECT_EQ(Parse("chatter off").kind, Kind::ChatterOff);

    ControlCommand flood = Parse("flood 960");
    EXPECT_EQ(flood.kind, Kind::Flood);
    EXPECT_EQ(flood.rate, 960);
    EXPECT_EQ(Parse("flood 0").rate, 0);

    EXPECT_TRUE(Parse("pace on").on);
    EXPECT_FALSE(Parse("pace off").on);
    EXPECT_EQ(Parse("stall on").kind, Kind::Stall);
    EXPECT_TRUE(Parse("stall on").on);
    EXPECT_FALSE(Parse("stall off").on);

    EXPECT_EQ(Parse("unplug").kind, Kind::Unplug);
    ControlCommand replug = Parse("replug");
    EXPECT_EQ(replug.kind, Kind::Replug);
    EXPECT_EQ(replug.path, "");
    EXPECT_EQ(Parse("replug /tmp/other link").path, "/tmp/other link");
    EXPECT_EQ(Parse("status").kind, Kind::Status);
    EXPECT_EQ(Parse("quit").kind, Kind::Quit);
}

TEST(ControlLine, BadLinesAreRefusedWithAReason) {
    for (const char* line : {"",
                             "   ",
                             "bogus",
                             "answer",
                             "answer maybe",
                             "answer late",
                             "answer late -5",
                             "answer late 10x",
                             "answer late 600001",
                             "answer late 5 6",
                             "answer pieces 3,4",
                             "answer pieces 3,,4 10",
                             "answer pieces 0,7 10",
                             "answer pieces ,3 10",
                             "answer pieces 3,4 x",
                             "answer wrong",
                             R"(answer wrong \q)",
                             "answer ok now",
                             "version",
                             "send",
                             "chatter",
                             "chatter 10",
                             "chatter x TEXT",
                             "flood",
                             "flood -1",
                             "flood fast",
                             "flood 1000001",
                             "pace",
                             "pace maybe",
                             "stall",
                             "stall on now",
                             "unplug now",
                             "status 1",
                             "quit please"}) {
        EXPECT_FALSE(ParseError(line).empty()) << line;
    }
    EXPECT_NE(ParseError("bogus thing").find("bogus"), std::string::npos);
    EXPECT_NE(ParseError("answer late 10x").find("10x"), std::string::npos);
    EXPECT_NE(ParseError("answer maybe").find("maybe"), std::string::npos);
}
