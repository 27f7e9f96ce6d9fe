// Where a scroll code moves a level bar: one step or a page of 8, never out
// of 0..255.
#include "panel/panel_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace panel_logic;

TEST(PanelScroll, StepsOfOneAndEightStayWithin0To255) {
    const struct {
        int nCode, nPos;
        std::optional<int> to;
    } cases[] = {
        {SCROLL_LINELEFT, 63, 62},    {SCROLL_LINERIGHT, 63, 64},   {SCROLL_PAGELEFT, 63, 55},
        {SCROLL_PAGERIGHT, 63, 71},   {SCROLL_PAGERIGHT, 250, 255}, {SCROLL_PAGELEFT, 5, 0},
        {SCROLL_PAGERIGHT, 247, 255}, {SCROLL_PAGELEFT, 8, 0},      {SCROLL_LINERIGHT, 254, 255},
        {SCROLL_LINELEFT, 1, 0},      {SCROLL_LINERIGHT, 255, {}},  {SCROLL_PAGERIGHT, 255, {}},
        {SCROLL_LINELEFT, 0, {}},     {SCROLL_PAGELEFT, 0, {}},     {SCROLL_LEFT, 100, 0},
        {SCROLL_RIGHT, 100, 255},     {SCROLL_THUMBTRACK, 100, 17}, {SCROLL_ENDSCROLL, 100, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScrollTo(c.nCode, 17, c.nPos), c.to) << "code " << c.nCode << " at " << c.nPos;
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
