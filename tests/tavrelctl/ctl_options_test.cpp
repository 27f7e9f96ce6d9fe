#include "ctl_options.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    bool ok;
    CtlOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> args, bool bComAllowed = true) {
    Parsed p;
    p.ok = ParseCtlOptions(args, bComAllowed, p.options, p.error);
    return p;
}

TEST(CtlOptions, PressesKeepTheirOrderAndLevelsTakeTheLastValue) {
    const Parsed p = Parse({"position", "10", "window", "lines", "window", "position", "200",
                            "width", "0", "options"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.presses, (std::vector<CtlAction>{CtlAction::Window, CtlAction::Lines,
                                                         CtlAction::Window, CtlAction::Options}));
    EXPECT_EQ(p.options.position, 200);
    EXPECT_EQ(p.options.width, 0);
}

TEST(CtlOptions, LevelsDefaultToThePanelsStartingValue) {
    const Parsed p = Parse({"probe"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.options.position, 63);
    EXPECT_EQ(p.options.width, 63);
    EXPECT_TRUE(p.options.probe);
    EXPECT_FALSE(p.options.levelsGiven);
    EXPECT_TRUE(Parse({"probe", "position", "63"}).options.levelsGiven);
    EXPECT_DOUBLE_EQ(p.options.timeoutSeconds, 10.0);
}

TEST(CtlOptions, LevelValuesOutsideTheRangeOrNotDecimalAreRefusedByName) {
    for (const char* bad : {"256", "-1", "0x10", "", "12a", "1e2", " 5", "99999999999"}) {
        const Parsed p = Parse({"width", bad});
        EXPECT_FALSE(p.ok) << "accepted width '" << bad << "'";
        EXPECT_NE(p.error.find(std::string("'") + bad + "'"), std::string::npos) << p.error;
    }
    EXPECT_TRUE(Parse({"width", "255"}).ok);
    EXPECT_EQ(Parse({"width", "0255"}).options.width, 255);
    const Parsed missing = Parse({"window", "position"});
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("position"), std::string::npos);
}

TEST(CtlOptions, ComMapsPortsOneToFourOnly) {
    const Parsed p = Parse({"--com", "3=/tmp/x", "--com=1=/dev/ttyUSB0", "probe"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.ports.at(3), "/tmp/x");
    EXPECT_EQ(p.options.ports.at(1), "/dev/ttyUSB0");
    for (const char* bad : {"5=/x", "0=/x", "3=", "3", "=/x", "12=/x", "a=/x"}) {
        const Parsed q = Parse({"--com", bad, "probe"});
        EXPECT_FALSE(q.ok) << "accepted --com " << bad;
        EXPECT_NE(q.error.find(bad), std::string::npos) << q.error;
    }
    EXPECT_FALSE(Parse({"probe", "--com"}).ok);
}

TEST(CtlOptions, ComIsRefusedWhereThePortsAreTheSystems) {
    const Parsed p = Parse({"--com", "1=/x", "probe"}, false);
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find("Windows"), std::string::npos) << p.error;
}

TEST(CtlOptions, TimeoutMustBeAPositiveNumberOfSeconds) {
    const Parsed p = Parse({"--timeout", "2.5", "probe"});
    ASSERT_TRUE(p.ok);
    EXPECT_DOUBLE_EQ(p.options.timeoutSeconds, 2.5);
    for (const char* bad : {"0", "-3", "abc", "", "5s", "inf", "nan"}) {
        const Parsed q = Parse({"--timeout", bad, "probe"});
        EXPECT_FALSE(q.ok) << "accepted --timeout " << bad;
    }
}

TEST(CtlOptions, UnknownWordsAndAnEmptyCommandLineAreErrors) {
    const Parsed unknown = Parse({"window", "zoom"});
    EXPECT_FALSE(unknown.ok);
    EXPECT_NE(unknown.error.find("'zoom'"), std::string::npos);
    const Parsed option = Parse({"--fast", "window"});
    EXPECT_FALSE(option.ok);
    EXPECT_NE(option.error.find("'--fast'"), std::string::npos);
    EXPECT_FALSE(Parse({}).ok);
    EXPECT_TRUE(Parse({"--help"}).options.help);
}

}  // namespace
