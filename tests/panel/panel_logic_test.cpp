// Where a scroll code moves a level bar: one step or a page of 8, never out
// of 0..255.
#include "panel/panel_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace panel_logic;

// Each row: where a code moves a bar, and what it sounds like with Sounds on
// (a step towards the end the bar stands at sounds the limit).
TEST(PanelScroll, StepsOfOneAndEightStayWithin0To255AndSoundTheLimitAtEitherEnd) {
    constexpr PanelSound S = SOUND_SENT, L = SOUND_AT_LIMIT, N = SOUND_NONE;
    const struct {
        int nCode, nPos;
        std::optional<int> to;
        PanelSound sound;
    } cases[] = {
        {SCROLL_LINELEFT, 63, 62, S},    {SCROLL_LINERIGHT, 63, 64, S},
        {SCROLL_PAGELEFT, 63, 55, S},    {SCROLL_PAGERIGHT, 63, 71, S},
        {SCROLL_PAGERIGHT, 250, 255, S}, {SCROLL_PAGELEFT, 5, 0, S},
        {SCROLL_PAGERIGHT, 247, 255, S}, {SCROLL_PAGELEFT, 8, 0, S},
        {SCROLL_LINERIGHT, 254, 255, S}, {SCROLL_LINELEFT, 1, 0, S},
        {SCROLL_LINERIGHT, 255, {}, L},  {SCROLL_PAGERIGHT, 255, {}, L},
        {SCROLL_LINELEFT, 0, {}, L},     {SCROLL_PAGELEFT, 0, {}, L},
        {SCROLL_LEFT, 100, 0, S},        {SCROLL_RIGHT, 100, 255, S},
        {SCROLL_LEFT, 0, 0, L},          {SCROLL_RIGHT, 255, 255, L},
        {SCROLL_THUMBTRACK, 100, 17, N}, {SCROLL_THUMBPOSITION, 100, 17, S},
        {SCROLL_ENDSCROLL, 100, {}, N},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScrollTo(c.nCode, 17, c.nPos), c.to) << "code " << c.nCode << " at " << c.nPos;
        EXPECT_EQ(SoundOfScroll(c.nCode, c.nPos), c.sound)
            << "code " << c.nCode << " at " << c.nPos;
    }
    // What screen readers hear of the link, at the first and the last port
    // (the tray icon's tip: in the panel's test under Wine).
    EXPECT_EQ(ConnectionAnnouncement(true, 1), "Magnifier connected on COM1");
    EXPECT_EQ(ConnectionAnnouncement(true, 999), "Magnifier connected on COM999");
    EXPECT_EQ(ConnectionAnnouncement(false, 3), "Magnifier not found");
    // What each hot key's action says, at both ends of the levels.
    const char* const kSaid[kHotKeyCount][2] = {{"", ""},
                                                {"Window", "Window"},
                                                {"Lines", "Lines"},
                                                {"Options", "Options"},
                                                {"Position 0", "Position 255"},
                                                {"Position 0", "Position 255"},
                                                {"Width 0", "Width 255"},
                                                {"Width 0", "Width 255"}};
    for (int i = 0; i < kHotKeyCount; ++i) {
        EXPECT_EQ(HotKeyAnnouncement(g_hotKeyActions[i], 0), kSaid[i][0]);
        EXPECT_EQ(HotKeyAnnouncement(g_hotKeyActions[i], 255), kSaid[i][1]);
    }
}

TEST(PanelDebugLabel, WhileNoneAnswersThePortsReasonsTakeTurnsForAbout2s) {
    const std::vector<std::string> reasons = {"COM1: missing (12:03:04)", "COM2: no answer"};
    const std::pair<unsigned, std::string> shown[] = {
        {0, reasons[0]}, {1999, reasons[0]}, {2000, reasons[1]}, {4000, reasons[0]}};
    for (const auto& [nMs, strShown] : shown) {
        EXPECT_EQ(panel_logic::DebugLine("probe", reasons, false, nMs), strShown) << nMs;
    }
    EXPECT_EQ(panel_logic::DebugLine("probe", reasons, true, 2000), "probe") << "connected";
    EXPECT_EQ(panel_logic::DebugLine("probe", {}, false, 2000), "probe") << "no port tried";
}
