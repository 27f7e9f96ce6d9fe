#include "instance_child.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "app/instance_checker.h"
#include "framework/wnd.h"

namespace {

constexpr DWORD kWaitLimitMs = 60000;

void RegisterChildClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kChildWindowClass;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::RegisterClassA(&wc);
}

// A copy's main window, known to the window layer so that it can be the
// thread's main window.
class CChildMain : public CWnd {
  public:
    CChildMain(const std::string& strTitle, bool bVisible) {
        SubclassWindow(::CreateWindowExA(0, kChildWindowClass, strTitle.c_str(),
                                         WS_OVERLAPPEDWINDOW | (bVisible ? WS_VISIBLE : 0), 120,
                                         120, 300, 200, nullptr, nullptr,
                                         ::GetModuleHandleA(nullptr), nullptr));
    }
    ~CChildMain() override {
        HWND hWnd = m_hWnd;
        UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }
};

// Waits for hEvent while keeping the windows of this thread answering.
bool WaitPumping(HANDLE hEvent, DWORD dwLimitMs) {
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        const DWORD dwSpent = ::GetTickCount() - dwStart;
        if (dwSpent >= dwLimitMs) {
            return ::WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0;
        }
        DWORD dwWait =
            ::MsgWaitForMultipleObjects(1, &hEvent, FALSE, dwLimitMs - dwSpent, QS_ALLINPUT);
        if (dwWait == WAIT_OBJECT_0) {
            return true;
        }
    }
}

HANDLE ChildEvent(const std::string& strName, const std::string& strTag) {
    return ::CreateEventA(nullptr, TRUE, FALSE, ChildEventName(strName, strTag).c_str());
}

}  // namespace

int RunInstanceChild(const std::string& strName, const std::string& strActions) {
    RegisterChildClass();
    auto pChecker = std::make_unique<CInstanceChecker>(strName);
    std::unique_ptr<CChildMain> pMain;
    HWND hPopup = nullptr;
    int nResult = 0;

    std::istringstream actions(strActions);
    std::string strAction;
    while (std::getline(actions, strAction, ',')) {
        const std::string::size_type nColon = strAction.find(':');
        const std::string strVerb = strAction.substr(0, nColon);
        const std::string strArg = nColon == std::string::npos ? "" : strAction.substr(nColon + 1);
        if (strVerb == "lock" && pChecker) {
            pChecker->TakeStartupLock();
        } else if (strVerb == "check" && pChecker) {
            nResult =
                (nResult & ~kFoundOther) | (pChecker->IsAnotherCopyRunning() ? kFoundOther : 0);
        } else if (strVerb == "register" && pChecker) {
            nResult |= pChecker->RegisterFirstCopy() ? kRegistered : 0;
        } else if (strVerb == "activate" && pChecker) {
            nResult |= pChecker->ActivateOtherCopy() != nullptr ? kRaised : 0;
        } else if (strVerb == "destroy") {
            pChecker.reset();
        } else if (strVerb == "window" && !pMain) {
            pMain = std::make_unique<CChildMain>(ChildMainTitle(strName), strArg != "hidden");
            SetMainWnd(pMain.get());
            if (strArg == "min") {
                ::ShowWindow(*pMain, SW_MINIMIZE);
            } else if (strArg == "popup") {
                hPopup = ::CreateWindowExA(0, kChildWindowClass, ChildPopupTitle(strName).c_str(),
                                           WS_POPUP | WS_CAPTION | WS_VISIBLE, 180, 160, 200, 120,
                                           *pMain, nullptr, ::GetModuleHandleA(nullptr), nullptr);
                ::SetActiveWindow(hPopup);
            } else if (!strArg.empty() && strArg != "hidden") {
                return kBadActions;
            }
        } else if (strVerb == "signal" && !strArg.empty()) {
            HANDLE hEvent = ChildEvent(strName, strArg);
            ::SetEvent(hEvent);
            ::CloseHandle(hEvent);
        } else if ((strVerb == "wait" && !strArg.empty()) || strVerb == "serve") {
            HANDLE hEvent = ChildEvent(strName, strVerb == "serve" ? "quit" : strArg);
            const bool bSet = WaitPumping(hEvent, kWaitLimitMs);
            ::CloseHandle(hEvent);
            if (!bSet) {
                return kWaitTimedOut;
            }
        } else if (strVerb == "die") {
            // No destructor runs: a lock held now is left abandoned.
            ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(nResult));
        } else {
            return kBadActions;
        }
    }
    if (hPopup != nullptr) {
        ::DestroyWindow(hPopup);
    }
    SetMainWnd(nullptr);
    return nResult;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kChildSwitch) == 0) {
        return argc == 4 ? RunInstanceChild(argv[2], argv[3]) : kBadActions;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
