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

StatusLook InitialStatusLook() {
    return {"Not Connected", RGB_WHITE, RGB_RED};
}

StatusLook StatusLookOf(int nStatus, const std::string& strStatus) {
    if (nStatus == LINK_CONNECTED) {
        return {strStatus, RGB_BLACK, RGB_GREEN};
    }
    return {"NONE", RGB_BLACK, RGB_RED};
}

std::optional<StatusLook> RefreshStatusLook(bool bChanged, int nStatus,
                                            const std::string& strStatus) {
    if (!bChanged) {
        return std::nullopt;
    }
    return StatusLookOf(nStatus, strStatus);
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
