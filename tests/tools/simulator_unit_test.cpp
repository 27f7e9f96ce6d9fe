// The magnifier model and the simulator's command line.
#include <gtest/gtest.h>

#include "simulator.h"

using namespace tavrel_sim;

TEST(MagnifierModel, EachButtonStepsItsOwnModeAndWraps) {
    struct Case {
        const char* command;
        int Magnifier::*mode;
        int count;
    };
    for (Case c : {Case{"BW", &Magnifier::window, Magnifier::kWindowModes},
                   Case{"BL", &Magnifier::lines, Magnifier::kLineModes},
                   Case{"BO", &Magnifier::options, Magnifier::kOptionModes}}) {
        Magnifier magnifier;
        for (int press = 1; press <= 2 * c.count + 1; ++press) {
            EXPECT_EQ(magnifier.Apply(c.command), Magnifier::Result::Applied);
            EXPECT_EQ(magnifier.*c.mode, press % c.count) << c.command << " press " << press;
        }
        int others = magnifier.window + magnifier.lines + magnifier.options - magnifier.*c.mode;
        EXPECT_EQ(others, 0) << c.command << " moved another mode";
        EXPECT_EQ(magnifier.position, 128);
        EXPECT_EQ(magnifier.width, 128);
    }
}

TEST(MagnifierModel, LevelsTakeExactlyTwoLowercaseHexDigits) {
    Magnifier magnifier;
    EXPECT_EQ(magnifier.Apply("p00"), Magnifier::Result::Applied);
    EXPECT_EQ(magnifier.Apply("wff"), Magnifier::Result::Applied);
    EXPECT_EQ(magnifier.position, 0);
    EXPECT_EQ(magnifier.width, 255);
    EXPECT_EQ(magnifier.Apply("p3f"), Magnifier::Result::Applied);
    EXPECT_EQ(magnifier.Apply("w0a"), Magnifier::Result::Applied);
    EXPECT_EQ(magnifier.position, 63);
    EXPECT_EQ(magnifier.width, 10);

    for (const char* bad : {"pzz", "pAB", "wFF", "p1", "p123", "p", "w-1", "w 1"}) {
        EXPECT_EQ(magnifier.Apply(bad), Magnifier::Result::BadValue) << bad;
    }
    EXPECT_EQ(magnifier.position, 63);
    EXPECT_EQ(magnifier.width, 10);
    EXPECT_EQ(magnifier.Describe(), "window=0 lines=0 options=0 position=63 width=10");
}

TEST(MagnifierModel, ProbeAndUnknownCommandsChangeNothing) {
    Magnifier magnifier;
    EXPECT_EQ(magnifier.Apply("?"), Magnifier::Result::Probe);
    for (const char* other : {"", "BX", "bw", "B", "??", "hello", "? "}) {
        EXPECT_EQ(magnifier.Apply(other), Magnifier::Result::Unknown) << other;
    }
    EXPECT_EQ(magnifier.Describe(), Magnifier().Describe());
}

TEST(SimulatorArguments, AcceptsTheDocumentedOptions) {
    Options options;
    std::string error;
    ASSERT_EQ(
        ParseArguments({"--link", "/tmp/l", "--log=/tmp/x.log", "--fault", "answer none",
                        "--version", R"(V9.99\r\n)", "--control", "/tmp/c", "--fault", "pace on"},
                       options, error),
        ArgsResult::Run)
        << error;
    EXPECT_EQ(options.linkPath, "/tmp/l");
    EXPECT_EQ(options.logPath, "/tmp/x.log");
    EXPECT_EQ(options.controlPath, "/tmp/c");
    EXPECT_EQ(options.startCommands,
              (std::vector<std::string>{"answer none", R"(version V9.99\r\n)", "pace on"}));

    ASSERT_EQ(ParseArguments({"--link", "l"}, options, error), ArgsResult::Run);
    EXPECT_EQ(options.logPath, "");
    EXPECT_TRUE(options.startCommands.empty());
    EXPECT_EQ(ParseArguments({"--link", "l", "--help"}, options, error), ArgsResult::Help);
}

TEST(SimulatorArguments, BadArgumentsAreNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    for (const Case& c :
         {Case{{}, "--link"}, Case{{"--log", "x"}, "--link"},
          Case{{"--link", "l", "--bogus"}, "--bogus"}, Case{{"--link", "l", "stray"}, "stray"},
          Case{{"--link"}, "--link"}, Case{{"--link", "l", "--log"}, "--log"},
          Case{{"--link", "l", "--link", "m"}, "--link"},
          Case{{"--link", "l", "--fault", "answer maybe"}, "answer maybe"},
          Case{{"--link", "l", "--version", R"(V\q)"}, "--version"}, Case{{"--link="}, "--link"}}) {
        Options options;
        std::string error;
        EXPECT_EQ(ParseArguments(c.args, options, error), ArgsResult::Error) << c.named;
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
}
