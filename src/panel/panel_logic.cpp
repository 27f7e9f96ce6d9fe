#include "panel/panel_logic.h"

#include <algorithm>

#include "device/device_link.h"

namespace panel_logic {

std::optional<int> ScrollTo(int nCode, int nThumbPos, int nPos, int nMin, int nMax) {
    switch (nCode) {
        case SCROLL_LINELEFT:
            if (nPos > nMin) {
                return nPos - 1;
            }
            return std::nullopt;
        case SCROLL_LINERIGHT:
            if (nPos < nMax) {
                return nPos + 1;
            }
            return std::nullopt;
        case SCROLL_PAGELEFT:
            if (nPos > nMin) {
                return std::max(nPos - LEVEL_PAGE, nMin);
            }
            return std::nullopt;
        case SCROLL_PAGERIGHT:
            if (nPos < nMax) {
                return std::min(nPos + LEVEL_PAGE, nMax);
            }
            return std::nullopt;
        case SCROLL_THUMBPOSITION:
        case SCROLL_THUMBTRACK:
            return nThumbPos;
        case SCROLL_LEFT:
            return nMin;
        case SCROLL_RIGHT:
            return nMax;
        default:
            return std::nullopt;
    }
}

StatusLook InitialStatusLook(const SystemColors* pHighContrast) {
    if (pHighContrast != nullptr) {
        return {"Not Connected", pHighContrast->crWindowText, pHighContrast->crWindow};
    }
    return {"Not Connected", RGB_WHITE, RGB_RED};
}

StatusLook StatusLookOf(int nStatus, const std::string& strStatus,
                        const SystemColors* pHighContrast) {
    if (nStatus == LINK_CONNECTED) {
        if (pHighContrast != nullptr) {
            return {strStatus, pHighContrast->crHighlightText, pHighContrast->crHighlight};
        }
        return {strStatus, RGB_BLACK, RGB_GREEN};
    }
    if (pHighContrast != nullptr) {
        return {"NONE", pHighContrast->crWindowText, pHighContrast->crWindow};
    }
    return {"NONE", RGB_BLACK, RGB_RED};
}

bool IsSwallowedKey(unsigned nVirtKey) {
    switch (nVirtKey) {
        case KEY_RETURN:
        case KEY_ESCAPE:
        case KEY_SPACE:
        case KEY_PRIOR:
        case KEY_NEXT:
        case KEY_END:
        case KEY_HOME:
        case KEY_LEFT:
        case KEY_UP:
        case KEY_RIGHT:
        case KEY_DOWN:
            return true;
        default:
            return false;
    }
}

bool IsSwallowedKeyMessage(unsigned nMessage, std::uintptr_t wParam) {
    return nMessage == MSG_KEYDOWN && wParam <= 0xFF &&
           IsSwallowedKey(static_cast<unsigned>(wParam));
}

std::optional<int> ScrollCodeOfKey(unsigned nVirtKey) {
    switch (nVirtKey) {
        case KEY_LEFT:
        case KEY_UP:
            return SCROLL_LINELEFT;
        case KEY_RIGHT:
        case KEY_DOWN:
            return SCROLL_LINERIGHT;
        case KEY_PRIOR:
            return SCROLL_PAGELEFT;
        case KEY_NEXT:
            return SCROLL_PAGERIGHT;
        case KEY_HOME:
            return SCROLL_LEFT;
        case KEY_END:
            return SCROLL_RIGHT;
        default:
            return std::nullopt;
    }
}

PanelSound SoundOfScroll(int nCode, int nPos, int nMin, int nMax) {
    switch (nCode) {
        case SCROLL_LINELEFT:
        case SCROLL_PAGELEFT:
        case SCROLL_LEFT:
            return nPos <= nMin ? SOUND_AT_LIMIT : SOUND_SENT;
        case SCROLL_LINERIGHT:
        case SCROLL_PAGERIGHT:
        case SCROLL_RIGHT:
            return nPos >= nMax ? SOUND_AT_LIMIT : SOUND_SENT;
        case SCROLL_THUMBPOSITION:
            return SOUND_SENT;
        default:
            return SOUND_NONE;
    }
}

std::string TrayTip(bool bConnected, int nPort) {
    return std::string("QRV Remote - Right click on me!\n") +
           (bConnected ? "ACTIVE Port " + std::to_string(nPort) : "Tavrel Plus Not Detected");
}

std::string ConnectionAnnouncement(bool bConnected, int nPort) {
    return bConnected ? "Magnifier connected on COM" + std::to_string(nPort)
                      : "Magnifier not found";
}

std::string HotKeyAnnouncement(const HotKeyAction& action, int nLevel) {
    switch (action.kind) {
        case ActionKind::Press:
            return action.pszDisplayName;
        case ActionKind::Step:
            return (action.nBarId == IDC_POSITION_BAR ? "Position " : "Width ") +
                   std::to_string(nLevel);
        default:
            return {};
    }
}

std::string_view ArgumentText(std::string_view strCommandLine) {
    std::size_t i = 0;
    bool bQuoted = false;
    while (i < strCommandLine.size()) {
        const auto ch = static_cast<unsigned char>(strCommandLine[i]);
        if (ch == '\0' || (ch <= ' ' && !bQuoted)) {
            break;
        }
        if (ch == '"') {
            bQuoted = !bQuoted;
        }
        ++i;
    }
    while (i < strCommandLine.size()) {
        const auto ch = static_cast<unsigned char>(strCommandLine[i]);
        if (ch == '\0' || ch > ' ') {
            break;
        }
        ++i;
    }
    return strCommandLine.substr(i);
}

bool IsShowSwitch(std::string_view strArguments) {
    return strArguments == std::string_view("-show");
}

std::string DebugLine(const std::string& strProbe, const std::vector<std::string>& reasons,
                      bool bConnected, unsigned nNowMs) {
    if (bConnected || reasons.empty()) {
        return strProbe;
    }
    return reasons[(nNowMs / kReasonMs) % reasons.size()];
}

}  // namespace panel_logic
