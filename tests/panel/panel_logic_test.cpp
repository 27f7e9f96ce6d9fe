// The panel's rules without a window: scroll steps of the level bars, the
// connection status label's looks, the swallowed keys and the "-show" switch.
#include "panel/panel_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "device/device_link.h"

namespace {

using namespace panel_logic;

TEST(PanelScroll, ArrowsAndPagesStepByOneAndEightAndStopAtTheEnds) {
    EXPECT_EQ(ScrollTo(SCROLL_LINELEFT, 0, 63), 62);
    EXPECT_EQ(ScrollTo(SCROLL_LINERIGHT, 0, 63), 64);
    EXPECT_EQ(ScrollTo(SCROLL_PAGELEFT, 0, 63), 55);
    EXPECT_EQ(ScrollTo(SCROLL_PAGERIGHT, 0, 63), 71);
    // At an end the step changes nothing.
    EXPECT_EQ(ScrollTo(SCROLL_LINERIGHT, 0, 255), std::nullopt);
    EXPECT_EQ(ScrollTo(SCROLL_PAGERIGHT, 0, 255), std::nullopt);
    EXPECT_EQ(ScrollTo(SCROLL_LINELEFT, 0, 0), std::nullopt);
    EXPECT_EQ(ScrollTo(SCROLL_PAGELEFT, 0, 0), std::nullopt);
    // A page step that would pass an end stops on it.
    EXPECT_EQ(ScrollTo(SCROLL_PAGERIGHT, 0, 250), 255);
    EXPECT_EQ(ScrollTo(SCROLL_PAGELEFT, 0, 5), 0);
    EXPECT_EQ(ScrollTo(SCROLL_PAGERIGHT, 0, 247), 255);
    EXPECT_EQ(ScrollTo(SCROLL_PAGELEFT, 0, 8), 0);
    EXPECT_EQ(ScrollTo(SCROLL_LINERIGHT, 0, 254), 255);
    EXPECT_EQ(ScrollTo(SCROLL_LINELEFT, 0, 1), 0);
}

TEST(PanelScroll, PagingAcrossTheWholeRangeVisitsEveryEighthValueThenTheEnd) {
    std::vector<int> visited;
    int nPos = LEVEL_MIN;
    while (auto next = ScrollTo(SCROLL_PAGERIGHT, 0, nPos)) {
        nPos = *next;
        visited.push_back(nPos);
    }
    ASSERT_EQ(visited.size(), 32u);
    EXPECT_EQ(visited[0], 8);
    EXPECT_EQ(visited[30], 248);
    EXPECT_EQ(visited[31], 255);
    // And back down from 255: 247, ..., 7, then 0.
    int nSteps = 0;
    while (auto next = ScrollTo(SCROLL_PAGELEFT, 0, nPos)) {
        nPos = *next;
        ++nSteps;
    }
    EXPECT_EQ(nPos, 0);
    EXPECT_EQ(nSteps, 32);
}

TEST(PanelScroll, ThumbCodesFollowTheThumbAndEndCodesGoToTheRangesEnds) {
    for (int nThumb : {0, 1, 63, 200, 255}) {
        EXPECT_EQ(ScrollTo(SCROLL_THUMBPOSITION, nThumb, 100), nThumb);
        EXPECT_EQ(ScrollTo(SCROLL_THUMBTRACK, nThumb, 100), nThumb);  // while dragged
    }
    // The thumb position is ignored by every other code.
    EXPECT_EQ(ScrollTo(SCROLL_LINERIGHT, 200, 100), 101);
    EXPECT_EQ(ScrollTo(SCROLL_LEFT, 200, 100), 0);
    EXPECT_EQ(ScrollTo(SCROLL_RIGHT, 0, 100), 255);
    EXPECT_EQ(ScrollTo(SCROLL_LEFT, 0, 0), 0);  // already there: still a position
}

TEST(PanelScroll, EndScrollAndUnknownCodesLeaveTheBarWhereItIs) {
    for (int nCode : {int{SCROLL_ENDSCROLL}, 9, 100, 0xFFFF, -1}) {
        EXPECT_EQ(ScrollTo(nCode, 17, 63), std::nullopt) << nCode;
    }
}

TEST(PanelScroll, StepsKeepToTheBarsOwnRange) {
    EXPECT_EQ(ScrollTo(SCROLL_PAGELEFT, 0, 13, 10, 20), 10);
    EXPECT_EQ(ScrollTo(SCROLL_PAGERIGHT, 0, 13, 10, 20), 20);
    EXPECT_EQ(ScrollTo(SCROLL_LINELEFT, 0, 10, 10, 20), std::nullopt);
    EXPECT_EQ(ScrollTo(SCROLL_LEFT, 0, 13, 10, 20), 10);
    EXPECT_EQ(ScrollTo(SCROLL_RIGHT, 0, 13, 10, 20), 20);
}

TEST(PanelScroll, TheRecordGetsTheLowByteOfTheBar) {
    EXPECT_EQ(LevelByte(LEVEL_START), 63);
    EXPECT_EQ(LevelByte(255), 255);
    EXPECT_EQ(LevelByte(256), 0);
}

TEST(PanelStatusLabel, ColoursAreTheCOLORREFValues) {
    EXPECT_EQ(RGB_WHITE, 0x00FFFFFFu);
    EXPECT_EQ(RGB_BLACK, 0x00000000u);
    EXPECT_EQ(RGB_RED, 0x000000FFu);
    EXPECT_EQ(RGB_GREEN, 0x0000C800u);
    EXPECT_EQ(MakeRgb(1, 2, 3), 0x00030201u);
}

TEST(PanelStatusLabel, StartsNotConnectedWhiteOnRed) {
    const StatusLook look = InitialStatusLook();
    EXPECT_EQ(look.strText, "Not Connected");
    EXPECT_EQ(look.crText, RGB_WHITE);
    EXPECT_EQ(look.crBack, RGB_RED);
}

TEST(PanelStatusLabel, ConnectedShowsTheLinksTextOnGreenAndEverythingElseNoneOnRed) {
    const StatusLook connected = StatusLookOf(LINK_CONNECTED, "ACTIVE Port 3");
    EXPECT_EQ(connected.strText, "ACTIVE Port 3");
    EXPECT_EQ(connected.crText, RGB_BLACK);
    EXPECT_EQ(connected.crBack, RGB_GREEN);

    const StatusLook none{"NONE", RGB_BLACK, RGB_RED};
    EXPECT_EQ(StatusLookOf(LINK_STARTING, "Init"), none);
    EXPECT_EQ(StatusLookOf(LINK_SEARCHING, "Searching Port 2"), none);
    EXPECT_EQ(StatusLookOf(LINK_STOPPED, "ACTIVE Port 3"), none);
    EXPECT_EQ(StatusLookOf(-1, ""), none);
    EXPECT_EQ(StatusLookOf(LINK_CONNECTED, "").strText, "");  // the text as it is
}

TEST(PanelStatusLabel, ARefreshChangesTheLabelOnlyWhenTheLinkReportsAChange) {
    // The link thread's first status is 0 "Init": the first tick turns
    // "Not Connected" into "NONE".
    auto first = RefreshStatusLook(true, LINK_STARTING, "Init");
    ASSERT_TRUE(first.has_value());
    EXPECT_NE(*first, InitialStatusLook());
    EXPECT_EQ(first->strText, "NONE");
    // Nothing changed since the last tick: the label is left alone, whatever
    // the status is.
    EXPECT_EQ(RefreshStatusLook(false, LINK_CONNECTED, "ACTIVE Port 2"), std::nullopt);
    EXPECT_EQ(RefreshStatusLook(false, LINK_SEARCHING, "x"), std::nullopt);
    // A change of text alone while searching still repaints "NONE".
    EXPECT_EQ(RefreshStatusLook(true, LINK_SEARCHING, "Port 4"),
              StatusLookOf(LINK_SEARCHING, "Port 1"));
    EXPECT_EQ(RefreshStatusLook(true, LINK_CONNECTED, "ACTIVE Port 2"),
              StatusLookOf(LINK_CONNECTED, "ACTIVE Port 2"));
}

TEST(PanelKeys, ExactlyEnterEscSpaceAndTheNavigationKeysAreSwallowed) {
    const std::vector<unsigned> swallowed = {0x0D, 0x1B, 0x20, 0x21, 0x22, 0x23,
                                             0x24, 0x25, 0x26, 0x27, 0x28};
    for (unsigned nKey = 0; nKey < 256; ++nKey) {
        const bool bListed = std::find(swallowed.begin(), swallowed.end(), nKey) != swallowed.end();
        EXPECT_EQ(IsSwallowedKey(nKey), bListed) << "key " << nKey;
    }
    // Tab still moves the focus; Insert, Delete and F-keys pass.
    EXPECT_FALSE(IsSwallowedKey(0x09));
    EXPECT_FALSE(IsSwallowedKey(0x2D));
    EXPECT_FALSE(IsSwallowedKey(0x2E));
    EXPECT_FALSE(IsSwallowedKey(0x74));
}

TEST(PanelKeys, OnlyTheKeyDownMessageIsSwallowed) {
    constexpr unsigned WM_KEYUP_ = 0x0101;
    constexpr unsigned WM_CHAR_ = 0x0102;
    constexpr unsigned WM_SYSKEYDOWN_ = 0x0104;
    EXPECT_TRUE(IsSwallowedKeyMessage(MSG_KEYDOWN, KEY_ESCAPE));
    EXPECT_TRUE(IsSwallowedKeyMessage(MSG_KEYDOWN, KEY_DOWN));
    EXPECT_FALSE(IsSwallowedKeyMessage(MSG_KEYDOWN, 'A'));
    EXPECT_FALSE(IsSwallowedKeyMessage(WM_KEYUP_, KEY_RETURN));
    EXPECT_FALSE(IsSwallowedKeyMessage(WM_CHAR_, KEY_SPACE));
    EXPECT_FALSE(IsSwallowedKeyMessage(WM_SYSKEYDOWN_, KEY_LEFT));
    // A wParam that only looks like a listed key in its low byte.
    EXPECT_FALSE(IsSwallowedKeyMessage(MSG_KEYDOWN, 0x10D));
}

TEST(PanelShowSwitch, OnlyTheExactWholeTextCounts) {
    EXPECT_TRUE(IsShowSwitch("-show"));
    for (const char* psz : {"", "-SHOW", "-Show", "-show ", " -show", "-show\t", "/show", "show",
                            "-sho", "-showw", "-show -show", "--show"}) {
        EXPECT_FALSE(IsShowSwitch(psz)) << '"' << psz << '"';
    }
    EXPECT_FALSE(IsShowSwitch(std::string_view("-show\0", 6)));
}

TEST(PanelShowSwitch, TheArgumentTextFollowsTheProgramsName) {
    EXPECT_EQ(ArgumentText("TavrelRemote.exe -show"), "-show");
    EXPECT_EQ(ArgumentText("TavrelRemote.exe"), "");
    EXPECT_EQ(ArgumentText("TavrelRemote.exe "), "");
    EXPECT_EQ(ArgumentText(""), "");
    // Blanks and tabs after the name are skipped, those inside and after the
    // arguments are kept.
    EXPECT_EQ(ArgumentText("TavrelRemote.exe \t  -show "), "-show ");
    EXPECT_EQ(ArgumentText("TavrelRemote.exe -show  x"), "-show  x");
    // A quoted name may hold blanks; quotes may open anywhere in it.
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Tavrel\\TavrelRemote.exe\" -show"), "-show");
    EXPECT_EQ(ArgumentText("C:\\Tavrel\" Plus\"\\TavrelRemote.exe -SHOW"), "-SHOW");
    // A name whose quote never closes takes the whole line.
    EXPECT_EQ(ArgumentText("\"C:\\Tavrel Remote.exe -show"), "");
    EXPECT_TRUE(IsShowSwitch(ArgumentText("\"C:\\x y\\TavrelRemote.exe\"\t-show")));
    EXPECT_FALSE(IsShowSwitch(ArgumentText("TavrelRemote.exe -show ")));
}

}  // namespace
