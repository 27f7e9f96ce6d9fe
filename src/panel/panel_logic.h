// The remote panel's rules that need no window: where a scroll code moves a
// level bar, how the connection status label looks for a link status, which
// keys the panel keeps from the dialog manager, and the "-show" switch.
//
// The Win32 values the rules are written in are kept here as named numbers,
// so that this file builds without the Windows headers; panel_logic_win.cpp
// checks them against <windows.h>.
#pragma once

#include "hotkeys/actions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace panel_logic {

// Scroll-bar notification codes (the low word of WM_HSCROLL's wParam), the
// system's SB_ values under names that do not clash with its macros.
enum : int {
    SCROLL_LINELEFT = 0,
    SCROLL_LINERIGHT = 1,
    SCROLL_PAGELEFT = 2,
    SCROLL_PAGERIGHT = 3,
    SCROLL_THUMBPOSITION = 4,
    SCROLL_THUMBTRACK = 5,
    SCROLL_LEFT = 6,
    SCROLL_RIGHT = 7,
    SCROLL_ENDSCROLL = 8,
};

// The range of the POSITION and WIDTH bars and the step of a click in the
// page area (where they start is the settings' kStartLevel).
constexpr int LEVEL_MIN = 0;
constexpr int LEVEL_MAX = 255;
constexpr int LEVEL_PAGE = 8;

// Where the scroll code nCode moves a bar that stands at nPos in the range
// nMin to nMax; nThumbPos is the thumb's position for the two thumb codes.
// No value when the bar stays where it is: an arrow or page step at its end
// of the range, and every code past SCROLL_RIGHT (SCROLL_ENDSCROLL and up).
// The thumb codes give nThumbPos as it is; the bar itself keeps the position
// within its range.
std::optional<int> ScrollTo(int nCode, int nThumbPos, int nPos, int nMin = LEVEL_MIN,
                            int nMax = LEVEL_MAX);

// What a bar's position puts into the device record: its low byte.
constexpr std::uint8_t LevelByte(int nPos) {
    return static_cast<std::uint8_t>(nPos & 0xFF);
}

// Colours as COLORREF holds them: red in the low byte, then green, then blue.
using ColorRef = std::uint32_t;
constexpr ColorRef MakeRgb(int r, int g, int b) {
    return static_cast<ColorRef>(r & 0xFF) | (static_cast<ColorRef>(g & 0xFF) << 8) |
           (static_cast<ColorRef>(b & 0xFF) << 16);
}
constexpr ColorRef RGB_WHITE = MakeRgb(255, 255, 255);
constexpr ColorRef RGB_BLACK = MakeRgb(0, 0, 0);
constexpr ColorRef RGB_RED = MakeRgb(255, 0, 0);
constexpr ColorRef RGB_GREEN = MakeRgb(0, 200, 0);

// How the connection status label (control 1007) looks.
struct StatusLook {
    std::string strText;
    ColorRef crText = RGB_BLACK;
    ColorRef crBack = RGB_RED;

    bool operator==(const StatusLook&) const = default;
};

// The system's colours the label takes while high contrast is on (the
// values of GetSysColor): the words, not the colour, tell the state then.
struct SystemColors {
    ColorRef crWindow = RGB_WHITE;
    ColorRef crWindowText = RGB_BLACK;
    ColorRef crHighlight = RGB_BLACK;
    ColorRef crHighlightText = RGB_WHITE;
};

// Before the first refresh: "Not Connected", white on red; in the window
// colours while high contrast is on (pHighContrast given).
StatusLook InitialStatusLook(const SystemColors* pHighContrast = nullptr);
// For a link status (CDeviceLink::m_nStatus): LINK_CONNECTED shows the status
// text black on green, every other code "NONE" black on red (the text is not
// shown then). While high contrast is on (pHighContrast given) the connected
// text is in the highlight colours and "NONE" in the window colours.
StatusLook StatusLookOf(int nStatus, const std::string& strStatus,
                        const SystemColors* pHighContrast = nullptr);

// Virtual-key codes of the keys the panel swallows (the system's VK_ values),
// and the message they come in (WM_KEYDOWN).
enum : unsigned {
    KEY_RETURN = 0x0D,
    KEY_ESCAPE = 0x1B,
    KEY_SPACE = 0x20,
    KEY_PRIOR = 0x21,
    KEY_NEXT = 0x22,
    KEY_END = 0x23,
    KEY_HOME = 0x24,
    KEY_LEFT = 0x25,
    KEY_UP = 0x26,
    KEY_RIGHT = 0x27,
    KEY_DOWN = 0x28,
};
constexpr unsigned MSG_KEYDOWN = 0x0100;

// Keys whose WM_KEYDOWN the panel keeps from the dialog manager: Enter and
// Esc (which would end the dialog), and space, Page Up, Page Down, End, Home
// and the arrows (which would work the buttons and the bars).
bool IsSwallowedKey(unsigned nVirtKey);
// The same for a whole message: only a key-down (MSG_KEYDOWN) of those keys.
bool IsSwallowedKeyMessage(unsigned nMessage, std::uintptr_t wParam);

// Under Keyboard Control, the scroll code a key moves the focused level bar
// by, as the system's own scroll bars and sliders take it: Left and Up one
// step down, Right and Down one step up, Page Up a page down and Page Down a
// page up, Home to the lowest level and End to the highest. No value for any
// other key.
std::optional<int> ScrollCodeOfKey(unsigned nVirtKey);

// The short sounds that answer the user's actions while Sounds is on.
enum PanelSound : int {
    SOUND_NONE = 0,
    SOUND_SENT,          // a press or a level went into the record
    SOUND_NOT_DETECTED,  // the not-detected warning came up
    SOUND_AT_LIMIT,      // a step was asked for a level already at its end
};
// The sound of scroll code nCode on a bar at nPos in nMin to nMax, with a
// magnifier connected: a step (line, page, Home, End) towards an end the bar
// already stands at is SOUND_AT_LIMIT, any other step and the thumb's
// release SOUND_SENT; a thumb still being dragged and the end of a scroll
// are silent, so that a drag does not sound at every pixel.
PanelSound SoundOfScroll(int nCode, int nPos, int nMin = LEVEL_MIN, int nMax = LEVEL_MAX);

// The notification icon's tip: its first line always, and the link's state
// as a second: "ACTIVE Port 3" while the magnifier answers on COM nPort,
// "Tavrel Plus Not Detected" while none does.
std::string TrayTip(bool bConnected, int nPort);
// What a screen reader is told when the magnifier is found on COM nPort, or
// lost: "Magnifier connected on COM3", "Magnifier not found".
std::string ConnectionAnnouncement(bool bConnected, int nPort);
// What a screen reader is told a hot key did: "Window" for a press, "Position
// 71" for a step to level nLevel; nothing for showing the panel, which the
// reader speaks itself.
std::string HotKeyAnnouncement(const HotKeyAction& action, int nLevel);

// The argument text that follows the program's name in a whole command line,
// by the rule the C runtime gives WinMain: the name ends at the first blank
// or control character outside double quotes, and the blanks after it are
// skipped; the rest is kept as it is, trailing blanks included.
std::string_view ArgumentText(std::string_view strCommandLine);
// Whether the argument text is the "-show" switch: the whole text, byte by
// byte, case-sensitive, nothing trimmed.
bool IsShowSwitch(std::string_view strArguments);

// What the debug label shows at nNowMs on a millisecond clock: while no
// magnifier answers and ports have been tried, their reasons in turn, one
// line each for kReasonMs; otherwise the last probe's log line.
constexpr unsigned kReasonMs = 2000;
std::string DebugLine(const std::string& strProbe, const std::vector<std::string>& reasons,
                      bool bConnected, unsigned nNowMs);

}  // namespace panel_logic
