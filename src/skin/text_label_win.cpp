#include "skin/text_label_win.h"

#include <cstring>

#include "framework/dpi_scale.h"
#include "base/utf16.h"
#include "framework/window_dpi.h"
#include "skin/font_height.h"

namespace {

constexpr LONG kWeightBold = FW_BOLD;      // 700
constexpr LONG kWeightNormal = FW_NORMAL;  // 400

}  // namespace

CTextLabel::CTextLabel()
    : m_crText(::GetSysColor(COLOR_BTNTEXT)), m_crBack(::GetSysColor(COLOR_BTNFACE)) {
    NewBackBrush();
}

CTextLabel::~CTextLabel() {
    m_font.DeleteObject();
    m_backBrush.DeleteObject();
    if (m_hWnd != nullptr) {
        // Give the window back first so that its last messages do not reach
        // a half-destroyed object.
        HWND hWnd = UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }
}

void CTextLabel::NewBackBrush() {
    m_backBrush.Attach(::CreateSolidBrush(m_crBack));
}

bool CTextLabel::GetControlFont(LOGFONTA& lf) const {
    HFONT hFont = GetFont();
    if (hFont == nullptr) {
        hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    }
    if (hFont == nullptr) {
        hFont = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
    }
    return GetLogFont(hFont, lf);
}

void CTextLabel::PreSubclassWindow() {
    LOGFONTA lf = {};
    if (GetControlFont(lf)) {
        m_font.CreateFontIndirect(lf);
        m_nFontDpi = DpiOfWindow(m_hWnd);
    }
}

void CTextLabel::Redraw() const {
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTextLabel::SetTextColor(COLORREF crText, BOOL bRedraw) {
    m_crText = crText;
    if (bRedraw) {
        Redraw();
    }
}

void CTextLabel::SetBkColor(COLORREF crBack, BOOL bRedraw) {
    m_crBack = crBack;
    NewBackBrush();
    if (bRedraw) {
        Redraw();
    }
}

void CTextLabel::RebuildFont(const LOGFONTA* pDesc, BOOL bRedraw) {
    if (pDesc == nullptr) {
        return;
    }
    m_font.DeleteObject();
    LOGFONTA lf = *pDesc;
    lf.lfWeight = m_bBold ? kWeightBold : kWeightNormal;
    m_font.CreateFontIndirect(lf);
    if (bRedraw) {
        Redraw();
    }
}

void CTextLabel::SetFontBold(BOOL bBold, BOOL bRedraw) {
    m_bBold = bBold;
    LOGFONTA lf = {};
    const bool bHave = GetControlFont(lf);
    RebuildFont(bHave ? &lf : nullptr, bRedraw);
    if (bHave) {
        m_nPoints = 0;  // the control's own font, at the size the dialog gave it
        m_nFontDpi = DpiOfWindow(m_hWnd);
    }
}

void CTextLabel::SetFontFace(const char* pszFace, int nPoints, BOOL bRedraw) {
    LOGFONTA lf = {};
    bool bHave = true;
    if (pszFace != nullptr) {
        // The face field holds 31 characters and its terminator; a longer
        // name is cut.
        const size_t nLength = ::strnlen(pszFace, LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, pszFace, nLength);
    } else {
        bHave = GetControlFont(lf);
    }
    const UINT nDpi = DpiOfWindow(m_hWnd);
    lf.lfHeight = PointsToHeightAt(nPoints, static_cast<int>(nDpi));
    RebuildFont(bHave ? &lf : nullptr, bRedraw);
    if (bHave) {
        m_nPoints = nPoints;
        m_nFontDpi = nDpi;
    }
}

void CTextLabel::RescaleFont(UINT nDpi, BOOL bRedraw) {
    LOGFONTA lf = {};
    if (!m_font || !GetLogFont(m_font, lf)) {
        return;
    }
    if (m_nPoints != 0) {
        lf.lfHeight = PointsToHeightAt(m_nPoints, static_cast<int>(nDpi));
    } else {
        const UINT nFrom = m_nFontDpi != 0 ? m_nFontDpi : DpiOfWindow(nullptr);
        lf.lfHeight =
            dpi_scale::RescaleDpi(lf.lfHeight, static_cast<int>(nFrom), static_cast<int>(nDpi));
    }
    m_font.DeleteObject();
    m_font.CreateFontIndirect(lf);  // the weight stays the font's own
    m_nFontDpi = nDpi;
    if (bRedraw) {
        Redraw();
    }
}

void CTextLabel::SetText(const std::string& text) {
    SetWindowText(text);
    Redraw();
}

int CTextLabel::PointsToHeight(int nPoints) {
    int nDotsPerInch = 0;
    HDC hdc = ::CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (hdc != nullptr) {
        nDotsPerInch = ::GetDeviceCaps(hdc, LOGPIXELSY);
        ::DeleteDC(hdc);
    }
    return PointsToHeightAt(nPoints, nDotsPerInch);
}

int CTextLabel::PointsToHeight(int nPoints, HWND hWnd) {
    return PointsToHeightAt(nPoints, static_cast<int>(DpiOfWindow(hWnd)));
}

LRESULT CTextLabel::OnEraseBkgnd(HDC hdc) {
    if (m_bTransparent) {
        // The static class has no background of its own: what the parent
        // painted beneath stays.
        return Default();
    }
    const RECT rc = GetClientRect();
    if (m_backBrush) {
        ::FillRect(hdc, &rc, m_backBrush);
    }
    return TRUE;
}

void CTextLabel::OnPaint() {
    CPaintDC dc(m_hWnd);
    CSaveDC saved(dc);
    ::SetTextColor(dc, m_crText);
    if (!m_bTransparent) {
        ::SetBkColor(dc, m_crBack);
        ::SetBkMode(dc, OPAQUE);
    } else {
        ::SetBkMode(dc, TRANSPARENT);
    }
    if (m_backBrush) {
        ::SelectObject(dc, m_backBrush);
    }
    if (m_font) {
        ::SelectObject(dc, m_font);
    }

    const std::wstring text = Utf16(GetWindowText());
    const LONG nStyle = GetStyle();
    UINT nFormat = DT_LEFT;
    if (nStyle & SS_CENTER) {
        nFormat = DT_CENTER;
    } else if (nStyle & SS_RIGHT) {
        nFormat = DT_RIGHT;
    }
    if (nStyle & SS_CENTERIMAGE) {
        nFormat |= DT_VCENTER | DT_SINGLELINE;
    } else {
        nFormat |= DT_WORDBREAK;
    }
    RECT rc = GetClientRect();
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, nFormat);
}

LRESULT CTextLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            OnPaint();
            return 0;
        default:
            return CStatic::WindowProc(message, wParam, lParam);
    }
}
