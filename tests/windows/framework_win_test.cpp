// The window layer under Wine: modal loop, binding, reflection,
// pre-translation, and what happens when objects and windows part.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/message_box.h"
#include "framework_test_ids.h"

namespace {

constexpr UINT WM_TEST_END = WM_APP + 1;    // wParam: the result
constexpr UINT WM_TEST_THROW = WM_APP + 2;  // the handler throws

std::vector<std::string> g_events;

// A button that logs what reaches it and decides whether it consumes the
// notifications its parent would get.
class LoggingButton : public CButton {
  public:
    bool bConsumeClicks = false;
    bool bEatEscape = false;

    void PreSubclassWindow() override { g_events.push_back("attach button"); }
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* pResult) override {
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            g_events.push_back("button sees click");
            *pResult = 0;
            return bConsumeClicks;
        }
        return false;
    }
    bool PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) {
            g_events.push_back("button pre-translates escape");
            return bEatEscape;
        }
        return false;
    }
};

class PaintedStatic : public CStatic {
  public:
    HBRUSH hBrush = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    void PreSubclassWindow() override { g_events.push_back("attach static"); }
    bool OnChildNotify(UINT message, WPARAM, LPARAM, LRESULT* pResult) override {
        if (message == WM_CTLCOLORSTATIC) {
            *pResult = reinterpret_cast<LRESULT>(hBrush);
            return true;
        }
        return false;
    }
};

class LoggingCombo : public CComboBox {
  public:
    void PreSubclassWindow() override { g_events.push_back("attach combo"); }
};

class TestDialog : public CDialog {
  public:
    explicit TestDialog(CWnd* pParent = nullptr) : CDialog(IDD_LAYER_TEST, pParent) {}

    LoggingButton m_button;
    PaintedStatic m_static;
    LoggingCombo m_combo;
    std::function<void(TestDialog&)> onInit;   // drives the test from inside the loop
    std::function<void(TestDialog&)> onTimer;  // runs at a timer, before the dialog ends

  protected:
    void DoDataExchange() override {
        BindControl(IDC_TEST_STATIC, m_static);
        BindControl(IDC_TEST_BUTTON, m_button);
        BindControl(IDC_TEST_COMBO, m_combo);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (onInit) {
            onInit(*this);
        }
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_TEST_END:
                EndDialog(static_cast<INT_PTR>(wParam));
                return 0;
            case WM_TEST_THROW:
                throw std::runtime_error("a handler that throws");
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_TEST_BUTTON) {
                    g_events.push_back("dialog sees click");
                    return 0;
                }
                break;
            case WM_TIMER:
                KillTimer(wParam);
                if (onTimer) {
                    onTimer(*this);
                }
                EndDialog(static_cast<INT_PTR>(1000 + wParam));
                return 0;
            default:
                break;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class WindowLayer : public ::testing::Test {
  protected:
    void SetUp() override { g_events.clear(); }
};

TEST_F(WindowLayer, ModalLoopEndsWithTheResultAndDestroysTheDialog) {
    TestDialog dlg;
    HWND hSeen = nullptr;
    dlg.onInit = [&](TestDialog& d) {
        hSeen = d.m_hWnd;
        d.PostMessage(WM_TEST_END, 42);
    };
    EXPECT_EQ(dlg.DoModal(), 42);
    ASSERT_NE(hSeen, nullptr);
    EXPECT_FALSE(::IsWindow(hSeen));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hSeen), nullptr);
    EXPECT_EQ(dlg.m_button.m_hWnd, nullptr);  // the controls went with it

    // The same object runs again.
    dlg.onInit = [](TestDialog& d) { d.SetTimer(7, 10); };
    EXPECT_EQ(dlg.DoModal(), 1007);
}

TEST_F(WindowLayer, ControlsAreBoundInTheOrderWrittenAndFoundFromTheirWindows) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        EXPECT_EQ(CWnd::FromHandle(d.GetDlgItem(IDC_TEST_BUTTON)), &d.m_button);
        EXPECT_EQ(CWnd::FromHandle(d.GetDlgItem(IDC_TEST_COMBO)), &d.m_combo);
        EXPECT_EQ(CWnd::FromHandle(d.m_hWnd), &d);
        EXPECT_EQ(d.m_button.GetWindowText(), "Press");
        d.m_combo.AddString("Pg-Down");
        EXPECT_EQ(d.m_combo.GetLBText(0), "Pg-Down");
        EXPECT_EQ(d.m_combo.GetLBText(5), "");
        d.PostMessage(WM_TEST_END, 1);
    };
    dlg.DoModal();
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"attach static", "attach button", "attach combo"}));
}

TEST_F(WindowLayer, NotificationsReachTheControlFirstAndTheParentOnlyIfLeft) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        const WPARAM click = MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED);
        d.SendMessage(WM_COMMAND, click, reinterpret_cast<LPARAM>(d.m_button.m_hWnd));
        d.m_button.bConsumeClicks = true;
        d.SendMessage(WM_COMMAND, click, reinterpret_cast<LPARAM>(d.m_button.m_hWnd));

        // The static answers WM_CTLCOLORSTATIC with its own brush.
        HDC hdc = ::GetDC(d.m_hWnd);
        const LRESULT brush = d.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                            reinterpret_cast<LPARAM>(d.m_static.m_hWnd));
        ::ReleaseDC(d.m_hWnd, hdc);
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(d.m_static.hBrush));
        d.PostMessage(WM_TEST_END, 1);
    };
    dlg.DoModal();
    EXPECT_EQ(g_events, (std::vector<std::string>{"attach static", "attach button", "attach combo",
                                                  "button sees click", "dialog sees click",
                                                  "button sees click"}));
}

TEST_F(WindowLayer, PreTranslationRunsBeforeTheDialogManager) {
    // Escape is the dialog manager's Cancel; a control that eats it first
    // keeps the dialog open.
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        d.m_button.bEatEscape = true;
        ::SetFocus(d.m_button.m_hWnd);
        d.m_button.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        d.PostMessage(WM_TEST_END, 5);
    };
    EXPECT_EQ(dlg.DoModal(), 5);
    EXPECT_EQ(g_events.back(), "button pre-translates escape");

    TestDialog passing;
    passing.onInit = [](TestDialog& d) {
        ::SetFocus(d.m_button.m_hWnd);
        d.m_button.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    };
    EXPECT_EQ(passing.DoModal(), IDCANCEL);
}

TEST_F(WindowLayer, TheOwnerIsDisabledWhileTheModalDialogRuns) {
    TestDialog owner;
    ASSERT_TRUE(owner.Create());
    TestDialog dlg(&owner);
    bool bOwnerEnabledInside = true;
    HWND hOwnerSeen = nullptr;
    dlg.onInit = [](TestDialog& d) { d.SetTimer(1, 1); };
    dlg.onTimer = [&](TestDialog& d) {
        bOwnerEnabledInside = ::IsWindowEnabled(owner.m_hWnd) != FALSE;
        hOwnerSeen = ::GetWindow(d.m_hWnd, GW_OWNER);
    };
    EXPECT_EQ(dlg.DoModal(), 1001);
    EXPECT_FALSE(bOwnerEnabledInside);
    EXPECT_EQ(hOwnerSeen, owner.m_hWnd);
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
    owner.DestroyWindow();
}

TEST_F(WindowLayer, AThrowingHandlerGetsTheDefaultInsteadOfUnwinding) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.SendMessage(WM_TEST_THROW), 0);
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(WindowLayer, AControlObjectGoneBeforeItsWindowLeavesTheWindowWorking) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    HWND hButton = dlg.GetDlgItem(IDOK);  // a control the dialog did not bind
    {
        LoggingButton temporary;
        ASSERT_TRUE(temporary.SubclassWindow(hButton));
        EXPECT_FALSE(LoggingButton().SubclassWindow(hButton));  // one object per window
    }
    EXPECT_EQ(CWnd::FromHandle(hButton), nullptr);
    ::SetWindowTextA(hButton, "Still here");
    char text[32] = {};
    ::GetWindowTextA(hButton, text, sizeof text);
    EXPECT_STREQ(text, "Still here");
    dlg.DestroyWindow();
}

TEST_F(WindowLayer, MessageBoxesGoThroughTheReplaceableFunction) {
    std::vector<std::string> seen;
    UINT nTypeSeen = 0;
    SetMessageBoxFunction([&](HWND, const std::string& text, const std::string& caption, UINT t) {
        seen = {text, caption};
        nTypeSeen = t;
        return IDOK;
    });
    EXPECT_EQ(AppMessageBox("Serial comm thread still running"), IDOK);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Serial comm thread still running", "Tavrel Plus Remote"}));
    EXPECT_EQ(nTypeSeen, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    SetMessageBoxFunction(nullptr);
}

}  // namespace

namespace {

TEST_F(WindowLayer, CancelHidesAModelessDialogWithoutDestroyingIt) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_SHOW);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(dlg.m_hWnd));
    dlg.DestroyWindow();
}

}  // namespace

namespace {

// A window object that notes the messages it is given.
class CreatedWindow : public CWnd {
  public:
    std::vector<UINT> m_messages;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_messages.push_back(message);
        if (message == WM_APP) {
            return 42;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

bool Saw(const CreatedWindow& wnd, UINT message) {
    for (UINT m : wnd.m_messages) {
        if (m == message) {
            return true;
        }
    }
    return false;
}

TEST_F(WindowLayer, AWindowOfTheLayersClassBelongsToItsObjectFromItsCreation) {
    LPCSTR lpszClass = RegisterWndClass(0);
    ASSERT_NE(lpszClass, nullptr);
    EXPECT_STREQ(RegisterWndClass(0), lpszClass) << "one class per style";
    EXPECT_STRNE(RegisterWndClass(CS_DBLCLKS), lpszClass);

    CreatedWindow wnd;
    ASSERT_TRUE(wnd.CreateEx(0, lpszClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr));
    HWND hWnd = wnd.m_hWnd;
    EXPECT_EQ(CWnd::FromHandle(hWnd), &wnd);
    EXPECT_TRUE(Saw(wnd, WM_CREATE)) << "creation messages reach the object";
    EXPECT_EQ(wnd.SendMessage(WM_APP), 42);
    EXPECT_FALSE(::IsWindowVisible(hWnd));
    EXPECT_EQ(::GetParent(hWnd), nullptr);

    // The class has the style asked for and nothing else of its own.
    EXPECT_EQ(::GetClassLongPtrA(hWnd, GCL_STYLE), 0);
    EXPECT_EQ(::GetClassLongPtrA(hWnd, GCLP_HCURSOR), 0);
    EXPECT_EQ(::GetClassLongPtrA(hWnd, GCLP_HBRBACKGROUND), 0);
    EXPECT_EQ(::GetClassLongPtrA(hWnd, GCLP_HICON), 0);

    EXPECT_FALSE(wnd.CreateEx(0, lpszClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr))
        << "an object has one window";
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
}

TEST_F(WindowLayer, AWindowOfAnotherClassIsTakenOverOnceCreated) {
    CreatedWindow wnd;
    ASSERT_TRUE(wnd.CreateEx(0, "STATIC", "text", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);
    EXPECT_FALSE(Saw(wnd, WM_CREATE));
    EXPECT_EQ(wnd.SendMessage(WM_APP), 42);
    EXPECT_EQ(wnd.GetWindowText(), "text");
    wnd.DestroyWindow();

    CreatedWindow none;
    EXPECT_FALSE(none.CreateEx(0, "NoSuchClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(none.m_hWnd, nullptr);
}

TEST_F(WindowLayer, TheMainWindowIsPerThreadAndForgottenWithItsObject) {
    EXPECT_EQ(GetMainWnd(), nullptr);
    {
        CreatedWindow wnd;
        SetMainWnd(&wnd);
        EXPECT_EQ(GetMainWnd(), &wnd);
        CWnd* pOnOtherThread = &wnd;
        std::thread other([&] { pOnOtherThread = GetMainWnd(); });
        other.join();
        EXPECT_EQ(pOnOtherThread, nullptr);
    }
    EXPECT_EQ(GetMainWnd(), nullptr) << "no pointer to a destroyed object";
}

}  // namespace

namespace {

TEST_F(WindowLayer, MenuCommandsTheMainWindowLeavesGoToTheApplication) {
    std::vector<UINT> taken;
    SetAppCommandHandler([&](UINT nId) {
        taken.push_back(nId);
        return nId == 57670;
    });
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());

    // Not the main window: nothing is routed.
    dlg.SendMessage(WM_COMMAND, 57670, 0);
    EXPECT_TRUE(taken.empty());

    SetMainWnd(&dlg);
    dlg.SendMessage(WM_COMMAND, 57670, 0);
    dlg.SendMessage(WM_COMMAND, 40001, 0);  // offered, left
    // What the dialog handles itself, and a control's notification, stay there.
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_COMBO, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(dlg.m_combo.m_hWnd));
    EXPECT_EQ(taken, (std::vector<UINT>{57670, 40001}));

    SetAppCommandHandler({});
    dlg.SendMessage(WM_COMMAND, 57670, 0);  // no handler: left to the default
    EXPECT_EQ(taken.size(), 2u);
    SetMainWnd(nullptr);
    dlg.DestroyWindow();
}

}  // namespace

namespace {

POINT CentreOf(const RECT& rc) {
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

TEST_F(WindowLayer, ADialogItsInitialisationDidNotPlaceIsCentred) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);

    // No owner: the middle of the work area.
    {
        TestDialog dlg;
        ASSERT_TRUE(dlg.Create());
        const POINT at = CentreOf(dlg.GetWindowRect());
        const POINT work = CentreOf(monitor.rcWork);
        EXPECT_LE(std::abs(at.x - work.x), 1);
        EXPECT_LE(std::abs(at.y - work.y), 1);
        dlg.DestroyWindow();
    }

    // A visible owner off the middle: over the owner.
    TestDialog owner;
    ASSERT_TRUE(owner.Create());
    ::SetWindowPos(owner.m_hWnd, nullptr, 40, 60, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
    {
        TestDialog dlg(&owner);
        ASSERT_TRUE(dlg.Create());
        const POINT at = CentreOf(dlg.GetWindowRect());
        const POINT over = CentreOf(owner.GetWindowRect());
        EXPECT_LE(std::abs(at.x - over.x), 1);
        EXPECT_LE(std::abs(at.y - over.y), 1);
        dlg.DestroyWindow();
    }

    // One that placed itself stays where it went.
    {
        TestDialog dlg(&owner);
        dlg.onInit = [](TestDialog& d) {
            ::SetWindowPos(d.m_hWnd, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        };
        ASSERT_TRUE(dlg.Create());
        const RECT rc = dlg.GetWindowRect();
        EXPECT_EQ(rc.left, 7);
        EXPECT_EQ(rc.top, 9);
        dlg.DestroyWindow();
    }
    owner.DestroyWindow();
}

}  // namespace
