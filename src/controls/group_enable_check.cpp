#include "controls/group_enable_check.h"

#include <string>

#include "framework/dpi_scale.h"
#include "base/gdi_win.h"
#include "framework/window_dpi.h"

namespace {

// Where the check box sits on the group box's top edge, and the room for the
// check mark and the gap before the text, in pixels at 96 dots per inch: both
// follow the scale of the dialog's screen, as the mark itself does.
constexpr int kLeftInset = 10;
constexpr int kMarkWidth = 25;

}  // namespace

CGroupEnableCheck::~CGroupEnableCheck() = default;

void CGroupEnableCheck::AttachGroup(HWND hGroup, BOOL bAlsoHide) {
    m_bAlsoHide = bAlsoHide;
    m_pGroupWnd = hGroup;
    if (m_hWnd == nullptr || m_pGroupWnd == nullptr) {
        return;
    }
    ::SetWindowTextA(m_pGroupWnd, "");

    // The caption is measured whole, trailing blanks included, with the font
    // the check box has now.
    const std::string text = GetWindowText();
    SIZE extent = {};
    {
        CClientDC dc(m_hWnd);
        CSelectObject font(dc, GetFont());
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    }

    RECT rcGroup = {};
    ::GetWindowRect(m_pGroupWnd, &rcGroup);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rcGroup), 2);
    const int nDpi = static_cast<int>(DpiOfWindow(m_hWnd));
    ::SetWindowPos(m_hWnd, m_pGroupWnd, rcGroup.left + dpi_scale::ScaleForDpi(kLeftInset, nDpi),
                   rcGroup.top, extent.cx + dpi_scale::ScaleForDpi(kMarkWidth, nDpi), extent.cy, 0);
    UpdateGroup();
}

void CGroupEnableCheck::AttachGroupById(UINT nId, BOOL bAlsoHide) {
    HWND hGroup =
        m_hWnd != nullptr ? ::GetDlgItem(::GetParent(m_hWnd), static_cast<int>(nId)) : nullptr;
    AttachGroup(hGroup, bAlsoHide);
}

void CGroupEnableCheck::SetChecked(int nState) {
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(nState));
    UpdateGroup();
}

void CGroupEnableCheck::UpdateGroup() {
    if (m_hWnd == nullptr || m_pGroupWnd == nullptr) {
        return;
    }
    const int nState = GetCheck();
    RECT rcArea = {};
    ::GetWindowRect(m_pGroupWnd, &rcArea);

    // A control belongs to the group when any part of it overlaps the group
    // box; one that only touches its edge does not.
    for (HWND hChild = ::GetWindow(::GetParent(m_hWnd), GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if (hChild == m_hWnd || hChild == m_pGroupWnd) {
            continue;
        }
        RECT rcChild = {};
        RECT rcCommon = {};
        ::GetWindowRect(hChild, &rcChild);
        if (!::IntersectRect(&rcCommon, &rcChild, &rcArea)) {
            continue;
        }
        ::EnableWindow(hChild, nState == BST_CHECKED);
        if (m_bAlsoHide) {
            ::ShowWindow(hChild, nState != BST_UNCHECKED ? SW_SHOW : SW_HIDE);
        }
    }
    if (m_bAlsoHide) {
        ::ShowWindow(m_pGroupWnd, nState != BST_UNCHECKED ? SW_SHOW : SW_HIDE);
    }
}

bool CGroupEnableCheck::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        UpdateGroup();
    }
    return false;
}
