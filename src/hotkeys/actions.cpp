#include "hotkeys/actions.h"

namespace {

constexpr std::uint32_t kCtrl = HOTKEY_MOD_CONTROL;
using enum ActionKind;
using enum LinkButton;

const HotKeyAction* Find(bool (*match)(const HotKeyAction&, int), int nValue) {
    for (const HotKeyAction& action : g_hotKeyActions) {
        if (match(action, nValue)) {
            return &action;
        }
    }
    return nullptr;
}

}  // namespace

// The default keys are not in F-key order: Position takes F11 and F12, Width
// takes F9 and F10.
const HotKeyAction g_hotKeyActions[kHotKeyCount] = {
    {HOTKEY_POPUP,
     "Popup",
     "Popup Window",
     "sPopupKey",
     "nPopupModifiers",
     "F5",
     kCtrl,
     ShowPanel,
     Window,
     0,
     0,
     0,
     0,
     {IDC_POPUP_CTRL, IDC_POPUP_ALT, IDC_POPUP_SHIFT, IDC_POPUP_WIN, IDC_POPUP_KEY},
     false},
    {HOTKEY_WINDOW,
     "Window",
     "Window Button",
     "sWindowKey",
     "nWindowModifiers",
     "F6",
     kCtrl,
     Press,
     Window,
     IDC_WINDOW_BUTTON,
     'W',
     0,
     0,
     {IDC_WINDOW_CTRL, IDC_WINDOW_ALT, IDC_WINDOW_SHIFT, IDC_WINDOW_WIN, IDC_WINDOW_KEY},
     false},
    {HOTKEY_LINES,
     "Lines",
     "Lines Button",
     "sLinesKey",
     "nLinesModifiers",
     "F7",
     kCtrl,
     Press,
     Lines,
     IDC_LINES_BUTTON,
     'L',
     0,
     0,
     {IDC_LINES_CTRL, IDC_LINES_ALT, IDC_LINES_SHIFT, IDC_LINES_WIN, IDC_LINES_KEY},
     false},
    {HOTKEY_OPTIONS,
     "Options",
     "Options Button",
     "sOptionsKey",
     "nOptionsModifiers",
     "F8",
     kCtrl,
     Press,
     Options,
     IDC_OPTIONS_BUTTON,
     'O',
     0,
     0,
     {IDC_OPTIONS_CTRL, IDC_OPTIONS_ALT, IDC_OPTIONS_SHIFT, IDC_OPTIONS_WIN, IDC_OPTIONS_KEY},
     false},
    {HOTKEY_POSDOWN,
     "Position Decrease",
     "Position Slider Decrease",
     "sPosDownKey",
     "nPosDownModifiers",
     "F11",
     kCtrl,
     Step,
     Window,
     0,
     0,
     IDC_POSITION_BAR,
     -1,
     {IDC_POSDOWN_CTRL, IDC_POSDOWN_ALT, IDC_POSDOWN_SHIFT, IDC_POSDOWN_WIN, IDC_POSDOWN_KEY},
     true},
    {HOTKEY_POSUP,
     "Position Increase",
     "Position Slider Increase",
     "sPosUpKey",
     "nPosUpModifiers",
     "F12",
     kCtrl,
     Step,
     Window,
     0,
     0,
     IDC_POSITION_BAR,
     +1,
     {IDC_POSUP_CTRL, IDC_POSUP_ALT, IDC_POSUP_SHIFT, IDC_POSUP_WIN, IDC_POSUP_KEY},
     true},
    {HOTKEY_WIDTHDOWN,
     "Width Decrease",
     "Width Slider Decrease",
     "sWidthDownKey",
     "nWidthDownModifiers",
     "F9",
     kCtrl,
     Step,
     Window,
     0,
     0,
     IDC_WIDTH_BAR,
     -1,
     {IDC_WIDTHDOWN_CTRL, IDC_WIDTHDOWN_ALT, IDC_WIDTHDOWN_SHIFT, IDC_WIDTHDOWN_WIN,
      IDC_WIDTHDOWN_KEY},
     true},
    {HOTKEY_WIDTHUP,
     "Width Increase",
     "Width Slider Increase",
     "sWidthUpKey",
     "nWidthUpModifiers",
     "F10",
     kCtrl,
     Step,
     Window,
     0,
     0,
     IDC_WIDTH_BAR,
     +1,
     {IDC_WIDTHUP_CTRL, IDC_WIDTHUP_ALT, IDC_WIDTHUP_SHIFT, IDC_WIDTHUP_WIN, IDC_WIDTHUP_KEY},
     true},
};

const HotKeyAction* ActionOfHotKey(int nId) {
    return Find([](const HotKeyAction& a, int n) { return a.nId == n; }, nId);
}

const HotKeyAction* ActionOfButton(int nButtonId) {
    return Find([](const HotKeyAction& a,
                   int n) { return a.kind == ActionKind::Press && a.nButtonId == n; },
                nButtonId);
}

const HotKeyAction* ActionOfAccessKey(unsigned nKey) {
    return Find(
        [](const HotKeyAction& a, int n) {
            return a.kind == ActionKind::Press && static_cast<unsigned char>(a.chAccessKey) == n;
        },
        static_cast<int>(nKey));
}
