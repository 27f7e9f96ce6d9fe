// The About box under wine, from the program's dialog 100: it runs modally
// over its owner, shows the program's icon and the version line, and ends
// with IDOK from the OK button (pointer or Enter) and with IDCANCEL from
// Escape or the close box.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "panel/about_dlg.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr COLORREF kLensYellow = RGB(255, 221, 0);  // the icon's lens
const char kVersionLine[] = "Tavrel Plus Remote Version 1.10";

// A plain top-level window to own the box, as the panel does.
class OwnerWnd : public CWnd {
  public:
    bool Create() {
        return CreateEx(0, RegisterWndClass(0), "about test owner",
                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420, 300, nullptr, nullptr);
    }
};

// Runs the box modally and, once its window is on screen, calls act() from
// inside the box's own modal loop (a thread timer that polls for the window).
// act() looks at the box and then asks it to close; its messages go through
// the modal loop like a user's. A box that does not end within the deadline
// is ended with kTimedOut so that a fault fails the test instead of hanging it.
class AboutRun {
  public:
    static constexpr INT_PTR kTimedOut = -99;

    INT_PTR Run(CAboutDlg& dlg, std::function<void(HWND hAbout)> act) {
        s_pRun = this;
        m_pDlg = &dlg;
        m_act = std::move(act);
        m_hAbout = nullptr;
        m_dwStart = ::GetTickCount();
        const UINT_PTR idTimer = ::SetTimer(nullptr, 0, 20, &AboutRun::OnTimer);
        const INT_PTR nResult = dlg.DoModal();
        ::KillTimer(nullptr, idTimer);
        s_pRun = nullptr;
        return nResult;
    }

    HWND AboutWindow() const { return m_hAbout; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (s_pRun != nullptr) {
            s_pRun->Tick();
        }
    }

    void Tick() {
        if (::GetTickCount() - m_dwStart > 15000) {
            m_dwStart = ::GetTickCount();  // once
            m_pDlg->EndDialog(kTimedOut);
            return;
        }
        if (m_act && m_pDlg->m_hWnd != nullptr && ::IsWindowVisible(m_pDlg->m_hWnd)) {
            m_hAbout = m_pDlg->m_hWnd;
            auto act = std::move(m_act);
            m_act = nullptr;
            act(m_hAbout);
        }
    }

    static inline AboutRun* s_pRun = nullptr;
    CAboutDlg* m_pDlg = nullptr;
    std::function<void(HWND)> m_act;
    HWND m_hAbout = nullptr;
    DWORD m_dwStart = 0;
};

std::string TextOf(HWND hWnd) {
    char sz[256] = {};
    ::GetWindowTextA(hWnd, sz, sizeof sz);
    return sz;
}

// The box's child whose text is text, or null.
HWND ChildWithText(HWND hParent, const std::string& text) {
    for (HWND h = ::GetWindow(hParent, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
        if (TextOf(h) == text) {
            return h;
        }
    }
    return nullptr;
}

// The box's icon control (a static of type SS_ICON), or null.
HWND IconChild(HWND hParent) {
    for (HWND h = ::GetWindow(hParent, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char szClass[32] = {};
        ::GetClassNameA(h, szClass, sizeof szClass);
        if (std::string(szClass) == "Static" &&
            (::GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return h;
        }
    }
    return nullptr;
}

// hChild's window rectangle in hParent's client coordinates.
RECT RectIn(HWND hParent, HWND hChild) {
    RECT rc = {};
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void ClickWithPointer(HWND hWnd) {
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    ::SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].type = INPUT_MOUSE;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, clicks, sizeof clicks[0]);
}

class AboutBox : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_owner.Create()); }
    void TearDown() override {
        m_owner.DestroyWindow();
        PumpMessages(20);
    }

    OwnerWnd m_owner;
};

TEST_F(AboutBox, OpensModallyOverItsOwnerWithTheIconAndTheVersionLine) {
    CAboutDlg dlg(&m_owner);
    EXPECT_EQ(dlg.TemplateId(), static_cast<UINT>(IDD_ABOUTBOX));
    bool bLooked = false;
    AboutRun run;
    const INT_PTR nResult = run.Run(dlg, [&](HWND hAbout) {
        bLooked = true;
        EXPECT_TRUE(dlg.IsModal());
        EXPECT_FALSE(::IsWindowEnabled(m_owner)) << "the owner waits while the box is up";
        EXPECT_EQ(::GetWindow(hAbout, GW_OWNER), m_owner.m_hWnd);
        EXPECT_EQ(TextOf(hAbout), "About");

        HWND hLine = ChildWithText(hAbout, kVersionLine);
        ASSERT_NE(hLine, nullptr) << "no version line";
        EXPECT_TRUE(::IsWindowVisible(hLine));
        HWND hIcon = IconChild(hAbout);
        ASSERT_NE(hIcon, nullptr) << "no icon control";
        EXPECT_NE(::SendMessageA(hIcon, STM_GETICON, 0, 0), 0) << "the icon control has no icon";
        HWND hOk = ::GetDlgItem(hAbout, IDOK);
        ASSERT_NE(hOk, nullptr);
        EXPECT_EQ(TextOf(hOk), "OK");
        EXPECT_EQ(::SendMessageA(hAbout, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));

        // On screen: the lens of icon 128 is in the icon's place and nowhere
        // else, and the version line has ink.
        const ClientPixels pixels(hAbout);
        ASSERT_FALSE(pixels.Empty());
        const RECT rcIcon = RectIn(hAbout, hIcon);
        const RECT rcAll = {0, 0, pixels.Width(), pixels.Height()};
        const int nYellow = pixels.Count(rcIcon, kLensYellow);
        EXPECT_GT(nYellow, 60) << "the icon's lens is not shown";
        EXPECT_EQ(pixels.Count(rcAll, kLensYellow), nYellow);
        const COLORREF crFace = pixels.At(rcAll.right - 2, 2);
        const RECT rcLine = RectIn(hAbout, hLine);
        const int nLineInk = (rcLine.right - rcLine.left) * (rcLine.bottom - rcLine.top) -
                             pixels.Count(rcLine, crFace);
        EXPECT_GT(nLineInk, 40) << "the version line is not drawn";
        SaveWindowBitmap(hAbout, "about_box.bmp");

        ::PostMessageA(hOk, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    });
    EXPECT_TRUE(bLooked);
    EXPECT_EQ(nResult, IDCANCEL);
    EXPECT_FALSE(::IsWindow(run.AboutWindow())) << "the box's window is destroyed";
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(m_owner)) << "the owner gets its input back";
}

TEST_F(AboutBox, OkEndsItWithIdOkByThePointerAndByEnter) {
    {
        CAboutDlg dlg(&m_owner);
        AboutRun run;
        EXPECT_EQ(run.Run(dlg,
                          [](HWND hAbout) {
                              ::SetForegroundWindow(hAbout);
                              ClickWithPointer(::GetDlgItem(hAbout, IDOK));
                          }),
                  IDOK);
    }
    {
        CAboutDlg dlg(&m_owner);
        AboutRun run;
        EXPECT_EQ(run.Run(dlg,
                          [](HWND hAbout) {
                              ::PostMessageA(::GetDlgItem(hAbout, IDOK), WM_KEYDOWN, VK_RETURN,
                                             0x001C0001);
                          }),
                  IDOK);
    }
}

TEST_F(AboutBox, EscapeAndTheCloseBoxEndItWithIdCancel) {
    {
        CAboutDlg dlg(&m_owner);
        AboutRun run;
        EXPECT_EQ(run.Run(dlg,
                          [](HWND hAbout) {
                              ::PostMessageA(::GetDlgItem(hAbout, IDOK), WM_KEYDOWN, VK_ESCAPE,
                                             0x00010001);
                          }),
                  IDCANCEL);
    }
    {
        CAboutDlg dlg(&m_owner);
        AboutRun run;
        EXPECT_EQ(
            run.Run(dlg, [](HWND hAbout) { ::PostMessageA(hAbout, WM_SYSCOMMAND, SC_CLOSE, 0); }),
            IDCANCEL);
    }
}

TEST_F(AboutBox, RunsWithoutAnOwnerToo) {
    // The panel may be hidden when the tray menu asks for the box.
    CAboutDlg dlg;
    AboutRun run;
    EXPECT_EQ(run.Run(dlg,
                      [](HWND hAbout) {
                          EXPECT_EQ(::GetWindow(hAbout, GW_OWNER), nullptr);
                          ::PostMessageA(::GetDlgItem(hAbout, IDOK), WM_KEYDOWN, VK_RETURN,
                                         0x001C0001);
                      }),
              IDOK);
}

}  // namespace
