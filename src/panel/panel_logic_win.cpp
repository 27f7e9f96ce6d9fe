// The system's values that panel_logic.h keeps as plain numbers, checked
// against the Windows headers at compile time.
#include <windows.h>

#include "panel/panel_logic.h"

namespace panel_logic {

static_assert(SCROLL_LINELEFT == SB_LINELEFT);
static_assert(SCROLL_LINERIGHT == SB_LINERIGHT);
static_assert(SCROLL_PAGELEFT == SB_PAGELEFT);
static_assert(SCROLL_PAGERIGHT == SB_PAGERIGHT);
static_assert(SCROLL_THUMBPOSITION == SB_THUMBPOSITION);
static_assert(SCROLL_THUMBTRACK == SB_THUMBTRACK);
static_assert(SCROLL_LEFT == SB_LEFT);
static_assert(SCROLL_RIGHT == SB_RIGHT);
static_assert(SCROLL_ENDSCROLL == SB_ENDSCROLL);

static_assert(KEY_RETURN == VK_RETURN);
static_assert(KEY_ESCAPE == VK_ESCAPE);
static_assert(KEY_SPACE == VK_SPACE);
static_assert(KEY_PRIOR == VK_PRIOR);
static_assert(KEY_NEXT == VK_NEXT);
static_assert(KEY_END == VK_END);
static_assert(KEY_HOME == VK_HOME);
static_assert(KEY_LEFT == VK_LEFT);
static_assert(KEY_UP == VK_UP);
static_assert(KEY_RIGHT == VK_RIGHT);
static_assert(KEY_DOWN == VK_DOWN);
static_assert(MSG_KEYDOWN == WM_KEYDOWN);

static_assert(RGB_WHITE == RGB(255, 255, 255));
static_assert(RGB_BLACK == RGB(0, 0, 0));
static_assert(RGB_RED == RGB(255, 0, 0));
static_assert(RGB_GREEN == RGB(0, 200, 0));
static_assert(sizeof(ColorRef) == sizeof(COLORREF));

}  // namespace panel_logic
