#include "controls/hover_button.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "controls/button_look.h"
#include "framework/dpi_scale.h"
#include "base/gdi_win.h"
#include "framework/high_contrast.h"
#include "framework/window_dpi.h"

using namespace button_look;

namespace {

constexpr UINT_PTR kToolId = 1;       // the button's one tool in its tooltip
constexpr LPARAM kMaxTipWidth = 400;  // pixels; longer tips wrap
// The focus frame's lines and their distance from the button's edge, in
// pixels at 96 dots per inch: clear of the hover and high-contrast frames.
constexpr int kFocusWidth = 2;
constexpr int kFocusInset = 4;

void FillSolid(HDC hdc, int x, int y, int cx, int cy, COLORREF cr) {
    CBrush brush(::CreateSolidBrush(cr));
    const RECT rc = {x, y, x + cx, y + cy};
    ::FillRect(hdc, &rc, brush);
}

}  // namespace

CHoverButton::CHoverButton() {
    SetPressedShift(PRESSED_SHIFT_DIAGONAL, FALSE);
    ResetColors(FALSE);
    SetLink(nullptr);
}

CHoverButton::~CHoverButton() {
    DestroyTip();
}

DWORD CHoverButton::SetStateColor(BYTE nIndex, COLORREF crColor, BOOL bRepaint) {
    if (nIndex >= BTNCOLOR_COUNT) {
        return HOVER_BAD_COLOR_INDEX;
    }
    m_colors[nIndex] = crColor;
    if (bRepaint && m_hWnd != nullptr) {
        Invalidate(true);
    }
    return HOVER_OK;
}

DWORD CHoverButton::ResetColors(BOOL bRepaint) {
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF crText = ::GetSysColor(COLOR_BTNTEXT);
    m_colors[BTNCOLOR_FACE_HOT] = crFace;
    m_colors[BTNCOLOR_TEXT_HOT] = crText;
    m_colors[BTNCOLOR_FACE] = crFace;
    m_colors[BTNCOLOR_TEXT] = crText;
    m_colors[BTNCOLOR_FACE_FOCUS] = crFace;
    m_colors[BTNCOLOR_TEXT_FOCUS] = crText;
    if (bRepaint && m_hWnd != nullptr) {
        Invalidate(true);
    }
    return HOVER_OK;
}

DWORD CHoverButton::SetPressedShift(BYTE nStyle, BOOL bRepaint) {
    Offset shift = {};
    if (!PressedShiftOfStyle(nStyle, &shift)) {
        return HOVER_BAD_PRESSED_STYLE;
    }
    m_ptPressedShift = {shift.x, shift.y};
    if (bRepaint && m_hWnd != nullptr) {
        Invalidate(true);
    }
    return HOVER_OK;
}

DWORD CHoverButton::SetCheckState(int nCheck, BOOL bRepaint) {
    if (m_bCheckBox) {
        m_nCheck = nCheck != 0 ? 1 : 0;
        if (bRepaint && m_hWnd != nullptr) {
            Invalidate(true);
        }
    }
    return HOVER_OK;
}

DWORD CHoverButton::SetLink(const char* pszLink) {
    std::memset(m_szLink, 0, sizeof m_szLink);
    if (pszLink != nullptr) {
        // Longer texts are cut so that the field stays terminated.
        std::memcpy(m_szLink, pszLink, std::min(std::strlen(pszLink), sizeof m_szLink - 1));
    }
    return HOVER_OK;
}

void CHoverButton::CreateTip() {
    if (m_toolTip != nullptr || m_hWnd == nullptr) {
        return;
    }
    m_toolTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | m_dwTipStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (m_toolTip == nullptr) {
        return;
    }
    ::SendMessageA(m_toolTip, TTM_ACTIVATE, FALSE, 0);
    ::SendMessageA(m_toolTip, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
}

void CHoverButton::DestroyTip() {
    if (m_toolTip != nullptr) {
        if (::IsWindow(m_toolTip)) {
            ::DestroyWindow(m_toolTip);
        }
        m_toolTip = nullptr;
    }
}

void CHoverButton::SetTipText(const char* pszText, BOOL bActivate) {
    if (pszText == nullptr) {
        return;
    }
    CreateTip();
    if (m_toolTip == nullptr) {
        return;
    }
    // The size that both the old and the new common controls accept.
    TTTOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = m_hWnd;
    info.uId = kToolId;
    info.lpszText = const_cast<char*>(pszText);
    if (::SendMessageA(m_toolTip, TTM_GETTOOLCOUNT, 0, 0) == 0) {
        info.rect = GetClientRect();
        ::SendMessageA(m_toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
    ::SendMessageA(m_toolTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageA(m_toolTip, TTM_ACTIVATE, bActivate ? TRUE : FALSE, 0);
}

void CHoverButton::UpdateTipRect() {
    if (m_toolTip == nullptr || ::SendMessageA(m_toolTip, TTM_GETTOOLCOUNT, 0, 0) == 0) {
        return;
    }
    TTTOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = m_hWnd;
    info.uId = kToolId;
    info.rect = GetClientRect();
    ::SendMessageA(m_toolTip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&info));
}

int CHoverButton::ScaledLine(int nValue) const {
    return dpi_scale::ScaleLineForDpi(nValue, static_cast<int>(DpiOfWindow(m_hWnd)));
}

void CHoverButton::EndHover() {
    if (m_bHover) {
        m_bHover = FALSE;
        Invalidate(true);
    }
}

void CHoverButton::PreSubclassWindow() {
    const LONG nStyle = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (IsCheckBoxStyle(static_cast<unsigned long>(nStyle))) {
        m_bCheckBox = TRUE;
    }
    if (IsDefPushStyle(static_cast<unsigned long>(nStyle))) {
        m_bDefault = TRUE;
    }
    ::SetWindowLongA(m_hWnd, GWL_STYLE,
                     static_cast<LONG>(OwnerDrawStyle(static_cast<unsigned long>(nStyle))));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CButton::PreSubclassWindow();
}

bool CHoverButton::PreTranslateMessage(MSG* pMsg) {
    CreateTip();
    if (m_toolTip != nullptr) {
        ::SendMessageA(m_toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
    }
    // Each press of a fast double click is a click of its own.
    if (pMsg->message == WM_LBUTTONDBLCLK) {
        pMsg->message = WM_LBUTTONDOWN;
    }
    return CButton::PreTranslateMessage(pMsg);
}

bool CHoverButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        OnClicked();
        return false;  // the parent runs its own handler for the click too
    }
    if (IsCtlColorMessage(message)) {
        // No background of its own: the face is painted whole at each paint.
        *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    }
    return CButton::OnChildNotify(message, wParam, lParam, pResult);
}

void CHoverButton::OnClicked() {
    ::SetFocus(m_hWnd);
    if (m_bCheckBox) {
        m_nCheck = m_nCheck == 0 ? 1 : 0;
        Invalidate(true);
    } else if (m_szLink[0] != '\0') {
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.hwnd = nullptr;
        info.lpVerb = "open";
        info.lpFile = m_szLink;
        info.nShow = SW_SHOWMAXIMIZED;
        ::ShellExecuteExA(&info);
    }
}

void CHoverButton::OnMouseMove(UINT nFlags, POINT pt) {
    POINT ptScreen = pt;
    ::ClientToScreen(m_hWnd, &ptScreen);
    HWND hUnder = ::WindowFromPoint(ptScreen);
    // A pointer that comes in with the button held does not hover.
    if ((nFlags & MK_LBUTTON) != 0 && !m_bHover) {
        return;
    }
    HWND hActive = m_bAlwaysTrack ? m_hWnd : ::GetActiveWindow();
    if (hUnder == m_hWnd && hActive != nullptr) {
        if (!m_bHover) {
            m_bHover = TRUE;
            Invalidate(true);
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = m_hWnd;
            ::_TrackMouseEvent(&track);
        }
    } else {
        EndHover();
    }
}

void CHoverButton::OnDisabled() {
    // The focus leaves a disabled button, whether or not it was there.
    HWND hParent = ::GetParent(m_hWnd);
    HWND hNext = hParent != nullptr ? ::GetNextDlgTabItem(hParent, m_hWnd, FALSE) : nullptr;
    if (hNext != nullptr && hNext != m_hWnd) {
        ::SetFocus(hNext);
    } else if (hParent != nullptr) {
        ::SetFocus(hParent);
    }
    EndHover();
}

LRESULT CHoverButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE: {
            const LRESULT result = Default();
            OnMouseMove(static_cast<UINT>(wParam),
                        {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return result;
        }
        case WM_MOUSELEAVE:
            EndHover();
            return 0;
        case WM_KILLFOCUS:
        case WM_CANCELMODE: {
            const LRESULT result = Default();
            EndHover();
            return result;
        }
        case WM_ACTIVATE: {
            const LRESULT result = Default();
            if (LOWORD(wParam) == WA_INACTIVE) {
                EndHover();
            }
            return result;
        }
        case WM_ENABLE: {
            const LRESULT result = Default();
            if (!wParam) {
                OnDisabled();
            }
            return result;
        }
        case WM_GETDLGCODE:
            return static_cast<LRESULT>(
                DialogCode(static_cast<unsigned>(Default()), m_bDefault != FALSE));
        case BM_SETSTYLE: {
            const auto nStyle = static_cast<unsigned long>(wParam);
            m_bDefault = DefaultAfterSetStyle(m_bDefault != FALSE, nStyle) ? TRUE : FALSE;
            // The control stays owner-drawn whatever type it is given.
            return ::DefSubclassProc(m_hWnd, message, static_cast<WPARAM>(OwnerDrawStyle(nStyle)),
                                     lParam);
        }
        case BM_SETCHECK:
            SetCheckState(wParam == BST_CHECKED || wParam == BST_INDETERMINATE ? 1 : 0, TRUE);
            return 0;
        case BM_GETCHECK:
            return GetCheckState();
        case WM_UPDATEUISTATE: {
            // The focus frame and the underline come and go with the cues.
            const UINT nFlags = HIWORD(wParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
            if (LOWORD(wParam) == UIS_SET) {
                m_nUiState |= nFlags;
            } else if (LOWORD(wParam) == UIS_CLEAR) {
                m_nUiState &= ~nFlags;
            }
            const LRESULT result = Default();
            Invalidate(true);
            return result;
        }
        case WM_SYSCOLORCHANGE: {
            const LRESULT result = Default();
            ResetColors(TRUE);
            return result;
        }
        case WM_SIZE: {
            // A button laid out again (a screen of another scale) keeps its
            // tip over the whole of it.
            const LRESULT result = Default();
            UpdateTipRect();
            return result;
        }
        case WM_DESTROY:
            // The tooltip belongs to the dialog window; it goes with the button.
            DestroyTip();
            return Default();
        default:
            return CButton::WindowProc(message, wParam, lParam);
    }
}

void CHoverButton::DrawItem(LPDRAWITEMSTRUCT pDrawItem) {
    HDC hdc = pDrawItem->hDC;
    CSaveDC saved(hdc);
    if (HFONT hFont = GetFont()) {
        ::SelectObject(hdc, hFont);
    }
    const UINT nState = pDrawItem->itemState;
    m_bPressed = IsDrawnPressed((nState & ODS_SELECTED) != 0, m_bCheckBox != FALSE, m_nCheck);
    m_bFocused = (nState & ODS_FOCUS) != 0;
    m_bDisabled = (nState & ODS_DISABLED) != 0;
    m_bHighContrast = IsHighContrastOn() ? TRUE : FALSE;
    // The cues the window hides: the system's answer where it keeps one
    // (Wine keeps none), and what the last WM_UPDATEUISTATE said.
    const UINT nUiState = static_cast<UINT>(SendMessage(WM_QUERYUISTATE)) | m_nUiState;
    m_bHideAccel = (nState & ODS_NOACCEL) != 0 || (nUiState & UISF_HIDEACCEL) != 0;
    const bool bShowFocus = (nState & ODS_NOFOCUSRECT) == 0 && (nUiState & UISF_HIDEFOCUS) == 0;

    RECT rcItem = pDrawItem->rcItem;
    ::SetBkMode(hdc, TRANSPARENT);
    PaintFace(hdc, &rcItem);
    PaintFrame(hdc, &rcItem);

    const std::string title = GetWindowText();
    RECT rcCaption = pDrawItem->rcItem;
    PaintIcon(hdc, !title.empty(), &rcItem, &rcCaption, m_bPressed, m_bDisabled);
    PaintBitmap(hdc, !title.empty(), &rcItem, &rcCaption, m_bPressed, m_bDisabled);
    if (!title.empty()) {
        PaintCaption(hdc, title.c_str(), &rcItem, &rcCaption, m_bPressed, m_bDisabled);
    }
    if (m_bFocused && bShowFocus && !m_bDisabled) {
        PaintFocusFrame(hdc, pDrawItem->rcItem);
    }
    if (m_bFlatFocus && m_bFocused) {
        RECT rcFocus = rcItem;
        const int nInset = ScaledLine(3);
        ::InflateRect(&rcFocus, -nInset, -nInset);
        ::DrawFocusRect(hdc, &rcFocus);
    }
}

COLORREF CHoverButton::FaceColor() const {
    if (m_bHighContrast) {
        return ::GetSysColor(COLOR_BTNFACE);
    }
    return m_colors[FaceColorIndex(m_bHover || m_bPressed, m_bFocused != FALSE)];
}

COLORREF CHoverButton::TextColor() const {
    if (m_bHighContrast) {
        return ::GetSysColor(COLOR_BTNTEXT);
    }
    return m_colors[TextColorIndex(m_bHover || m_bPressed, m_bFocused != FALSE)];
}

void CHoverButton::PaintFace(HDC hdc, RECT* pRect) {
    CBrush brush(::CreateSolidBrush(FaceColor()));
    ::FillRect(hdc, pRect, brush);
}

void CHoverButton::PaintFocusFrame(HDC hdc, const RECT& rcItem) {
    // In the caption's colour under high contrast, which the user chose to
    // stand out from the face; otherwise black or white against the face.
    const COLORREF crFrame =
        m_bHighContrast ? ::GetSysColor(COLOR_BTNTEXT) : ContrastingColor(FaceColor());
    RECT rc = rcItem;
    const int nInset = ScaledLine(kFocusInset);
    ::InflateRect(&rc, -nInset, -nInset);
    const int nWidth = ScaledLine(kFocusWidth);
    if (rc.right - rc.left > 2 * nWidth && rc.bottom - rc.top > 2 * nWidth) {
        Draw3dRect(hdc, rc, crFrame, crFrame, nWidth);
    }
}

void CHoverButton::Draw3dRect(HDC hdc, const RECT& rc, COLORREF crTopLeft, COLORREF crBottomRight,
                              int nWidth) const {
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    const int w = nWidth;
    FillSolid(hdc, rc.left, rc.top, cx - w, w, crTopLeft);
    FillSolid(hdc, rc.left, rc.top, w, cy - w, crTopLeft);
    FillSolid(hdc, rc.right - w, rc.top, w, cy, crBottomRight);
    FillSolid(hdc, rc.left, rc.bottom - w, cx, w, crBottomRight);
}

void CHoverButton::PaintFrame(HDC hdc, RECT* pRect) {
    // One pixel at 100 %, thicker on a screen of a larger scale.
    const int nWidth = ScaledLine(1);
    RECT rc = *pRect;
    if (m_bHighContrast) {
        // A face of the system's colour may be the window's colour too: the
        // caption's colour outlines it, the 3D frame goes inside.
        const COLORREF crText = ::GetSysColor(COLOR_BTNTEXT);
        Draw3dRect(hdc, rc, crText, crText, nWidth);
        ::InflateRect(&rc, -nWidth, -nWidth);
    }
    if (!m_bDrawBorder) {
        return;
    }
    const COLORREF crShadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF crHighlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    if (m_bPressed) {
        Draw3dRect(hdc, rc, crShadow, crHighlight, nWidth);  // sunken
    } else if (m_bHover) {
        Draw3dRect(hdc, rc, crHighlight, crShadow, nWidth);  // raised
    }
}

void CHoverButton::PaintIcon(HDC, bool, RECT*, RECT*, bool, bool) {
    // This button shows no icon.
}

void CHoverButton::PaintBitmap(HDC, bool, RECT*, RECT*, bool, bool) {
    // This button shows no bitmap.
}

void CHoverButton::PaintCaption(HDC hdc, const char* pszTitle, RECT* /*pItem*/, RECT* pCaption,
                                bool bPressed, bool bDisabled) {
    // "&" marks the access key: underlined while the window shows access
    // keys, never drawn itself. The marks are taken out rather than hidden
    // with DT_HIDEPREFIX, which Wine ignores.
    const std::string strPlain = m_bHideAccel ? WithoutPrefix(pszTitle) : std::string();
    if (m_bHideAccel) {
        pszTitle = strPlain.c_str();
    }
    const UINT nFormat = DT_CENTER | DT_WORDBREAK | (m_bHideAccel ? DT_NOPREFIX : 0);
    if (bPressed && !m_bCheckBox) {
        ::OffsetRect(pCaption, ScaledLine(m_ptPressedShift.x), ScaledLine(m_ptPressedShift.y));
    }
    const RECT rcArea = *pCaption;
    ::DrawTextA(hdc, pszTitle, -1, pCaption, nFormat | DT_CALCRECT);
    const Offset centre =
        CenterOffset(rcArea.right - rcArea.left, rcArea.bottom - rcArea.top,
                     pCaption->right - pCaption->left, pCaption->bottom - pCaption->top);
    ::OffsetRect(pCaption, centre.x, centre.y);
    ::SetBkMode(hdc, TRANSPARENT);
    if (bDisabled) {
        // Embossed: a light copy one pixel down and right under a shadow.
        const int nEmboss = ScaledLine(1);
        ::OffsetRect(pCaption, nEmboss, nEmboss);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextA(hdc, pszTitle, -1, pCaption, nFormat);
        ::OffsetRect(pCaption, -nEmboss, -nEmboss);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextA(hdc, pszTitle, -1, pCaption, nFormat);
    } else {
        ::SetTextColor(hdc, TextColor());
        ::SetBkColor(hdc, FaceColor());
        ::DrawTextA(hdc, pszTitle, -1, pCaption, nFormat);
    }
}
