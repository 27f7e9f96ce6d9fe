// The single-instance guard under wine: copies of this program as separate
// processes (see instance_child.h), the named objects they share, and which
// window comes to the front.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "app/instance_checker.h"
#include "instance_child.h"
#include "window_checks.h"

namespace {

constexpr DWORD kChildLimitMs = 30000;
constexpr int kStateLimitMs = 5000;

// A kernel handle closed with its scope.
class CHandle {
  public:
    explicit CHandle(HANDLE h = nullptr) : m_h(h) {}
    ~CHandle() {
        if (m_h != nullptr) {
            ::CloseHandle(m_h);
        }
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_h; }

  private:
    HANDLE m_h;
};

// One event of a child, open before the child starts so that no signal is lost.
class CChildEvent : public CHandle {
  public:
    CChildEvent(const std::string& strName, const std::string& strTag)
        : CHandle(::CreateEventA(nullptr, TRUE, FALSE, ChildEventName(strName, strTag).c_str())) {}
    void Set() const { ::SetEvent(Get()); }
    bool IsSet() const { return ::WaitForSingleObject(Get(), 0) == WAIT_OBJECT_0; }
    // Waits while this thread's windows keep answering.
    bool Wait(int nMilliseconds = kChildLimitMs) const {
        return WaitFor([this] { return IsSet(); }, nMilliseconds);
    }
};

// This test program started again as one copy of the program. A copy that is
// still running when the object goes is stopped through its own handle.
class CChild {
  public:
    CChild(const std::string& strName, const std::string& strActions) : m_quit(strName, "quit") {
        char szPath[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
        std::string strCommand = std::string("\"") + szPath + "\" " + kChildSwitch + " \"" +
                                 strName + "\" \"" + strActions + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        m_bStarted = ::CreateProcessA(szPath, strCommand.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &si, &m_pi) != FALSE;
        EXPECT_TRUE(m_bStarted) << strCommand << " error " << ::GetLastError();
    }
    ~CChild() {
        if (m_bStarted) {
            if (IsRunning()) {
                ADD_FAILURE() << "a copy was still running at the end of the test";
                ::TerminateProcess(m_pi.hProcess, 1);
                ::WaitForSingleObject(m_pi.hProcess, kChildLimitMs);
            }
            ::CloseHandle(m_pi.hThread);
            ::CloseHandle(m_pi.hProcess);
        }
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool IsRunning() const {
        return m_bStarted && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
    }
    // The copy's exit code, or -1 when it did not end in time.
    int WaitExit() const {
        if (!m_bStarted || !WaitFor([this] { return !IsRunning(); }, kChildLimitMs)) {
            return -1;
        }
        DWORD dwCode = 0;
        ::GetExitCodeProcess(m_pi.hProcess, &dwCode);
        return static_cast<int>(dwCode);
    }
    // Ends a copy that serves its windows.
    int Quit() const {
        m_quit.Set();
        return WaitExit();
    }

  private:
    CChildEvent m_quit;
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

// Whether another thread could take the named mutex now (it gives it back).
bool MutexIsFree(const std::string& strName) {
    bool bFree = false;
    std::thread probe([&] {
        CHandle hMutex(::CreateMutexA(nullptr, FALSE, strName.c_str()));
        const DWORD dwWait = ::WaitForSingleObject(hMutex.Get(), 0);
        bFree = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
        if (bFree) {
            ::ReleaseMutex(hMutex.Get());
        }
    });
    probe.join();
    return bFree;
}

// The 32-bit value in the block named strBlockName; false when there is none.
bool ReadBlock(const std::string& strBlockName, std::int32_t* pValue) {
    CHandle hBlock(::OpenFileMappingA(FILE_MAP_READ, FALSE, strBlockName.c_str()));
    if (hBlock.Get() == nullptr) {
        return false;
    }
    const void* pView = ::MapViewOfFile(hBlock.Get(), FILE_MAP_READ, 0, 0, sizeof *pValue);
    if (pView == nullptr) {
        return false;
    }
    std::memcpy(pValue, pView, sizeof *pValue);
    ::UnmapViewOfFile(pView);
    return true;
}

HWND ChildMain(const std::string& strName) {
    return ::FindWindowA(kChildWindowClass, ChildMainTitle(strName).c_str());
}

// A window of another program that has the focus before a copy starts.
class CForeground {
  public:
    CForeground() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TavrelInstanceTestForeground";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "some other program",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300, 300, 200, nullptr,
                                   nullptr, wc.hInstance, nullptr);
        ::SetForegroundWindow(m_hWnd);
        EXPECT_TRUE(WaitFor([this] { return ::GetForegroundWindow() == m_hWnd; }, kStateLimitMs));
    }
    ~CForeground() { ::DestroyWindow(m_hWnd); }
    CForeground(const CForeground&) = delete;
    CForeground& operator=(const CForeground&) = delete;
    HWND m_hWnd;
};

std::string TestName() {
    return std::string("Tavrel Guard ") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A block left with hInBlock in it (as by a copy that died) makes a new copy
// find another one running, raise nothing and give the lock back.
void ExpectLeftBlockRaisesNothing(const std::string& strName, HWND hInBlock) {
    CHandle hBlock(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                        ("CInstanceChecker_MMF_" + strName).c_str()));
    ASSERT_NE(hBlock.Get(), nullptr);
    void* pView = ::MapViewOfFile(hBlock.Get(), FILE_MAP_WRITE, 0, 0, 4);
    ASSERT_NE(pView, nullptr);
    const std::int32_t nHandle = HandleToLong(hInBlock);
    std::memcpy(pView, &nHandle, sizeof nHandle);
    ::UnmapViewOfFile(pView);

    CForeground other;
    CInstanceChecker guard(strName);
    guard.TakeStartupLock();
    EXPECT_TRUE(guard.IsAnotherCopyRunning());
    EXPECT_EQ(guard.ActivateOtherCopy(), nullptr);
    EXPECT_TRUE(MutexIsFree(strName));
    PumpMessages(300);
    EXPECT_EQ(::GetForegroundWindow(), other.m_hWnd);
}

TEST(InstanceChecker, FirstCopyPublishesItsWindowUnderTheProgramsNames) {
    const std::string kName = "Tavrel Remote App";
    EXPECT_EQ(CInstanceChecker(kName).GetMappingName(), "CInstanceChecker_MMF_Tavrel Remote App");

    CChildEvent locked(kName, "locked"), go(kName, "go"), ready(kName, "ready");
    CChild first(kName, "lock,check,signal:locked,wait:go,window,register,signal:ready,serve");
    ASSERT_TRUE(locked.Wait());
    EXPECT_FALSE(MutexIsFree("Tavrel Remote App")) << "the start-up lock is held until registered";
    EXPECT_FALSE(CInstanceChecker(kName).IsAnotherCopyRunning());

    go.Set();
    ASSERT_TRUE(ready.Wait());
    EXPECT_TRUE(MutexIsFree("Tavrel Remote App"));
    const HWND hFirst = ChildMain(kName);
    ASSERT_NE(hFirst, nullptr);
    std::int32_t nPublished = 0;
    ASSERT_TRUE(ReadBlock("CInstanceChecker_MMF_Tavrel Remote App", &nPublished));
    EXPECT_EQ(static_cast<HWND>(LongToHandle(nPublished)), hFirst);
    EXPECT_TRUE(CInstanceChecker(kName).IsAnotherCopyRunning());

    EXPECT_EQ(first.Quit(), kRegistered);
    // The block went with the first copy: the next start is the first copy.
    EXPECT_FALSE(CInstanceChecker(kName).IsAnotherCopyRunning());
}

// How the first copy's window is when a second copy starts, and which
// window must end up in front.
struct FirstWindow {
    const char* pszAction;
    bool bPopupInFront;
};

class SecondCopy : public ::testing::TestWithParam<FirstWindow> {};

TEST_P(SecondCopy, RaisesTheFirstCopyAndEnds) {
    const std::string kName = TestName();
    CChildEvent ready(kName, "ready");
    CChild first(kName, std::string(GetParam().pszAction) + ",lock,register,signal:ready,serve");
    ASSERT_TRUE(ready.Wait());
    const HWND hFirst = ChildMain(kName);
    ASSERT_NE(hFirst, nullptr);
    const HWND hFront = GetParam().bPopupInFront
                            ? ::FindWindowA(kChildWindowClass, ChildPopupTitle(kName).c_str())
                            : hFirst;
    ASSERT_NE(hFront, nullptr);
    CForeground other;
    ASSERT_NE(::GetForegroundWindow(), hFront);

    CChild second(kName, "lock,check,activate");
    EXPECT_EQ(second.WaitExit(), kFoundOther | kRaised);
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == hFront; }, kStateLimitMs))
        << "in front: " << ::GetForegroundWindow();
    EXPECT_FALSE(::IsIconic(hFirst));
    EXPECT_TRUE(::IsWindowVisible(hFirst));
    EXPECT_EQ(first.Quit(), kRegistered);
}

INSTANTIATE_TEST_SUITE_P(InstanceChecker, SecondCopy,
                         ::testing::Values(FirstWindow{"window", false},
                                           FirstWindow{"window:min", false},
                                           FirstWindow{"window:hidden", false},
                                           FirstWindow{"window:popup", true}));

TEST(InstanceChecker, SecondCopyWaitsUntilTheFirstHasRegistered) {
    const std::string kName = TestName();
    CChildEvent locked(kName, "locked"), go(kName, "go"), trying(kName, "trying"),
        passed(kName, "passed");
    CChild first(kName, "lock,signal:locked,wait:go,window,register,serve");
    ASSERT_TRUE(locked.Wait());
    CChild second(kName, "signal:trying,lock,signal:passed,check,activate");
    ASSERT_TRUE(trying.Wait());
    // However long it is given, the second copy cannot pass the lock now.
    EXPECT_FALSE(passed.Wait(1000));
    EXPECT_TRUE(second.IsRunning());

    go.Set();
    EXPECT_EQ(second.WaitExit(), kFoundOther | kRaised);
    EXPECT_TRUE(passed.IsSet());
    const HWND hFirst = ChildMain(kName);
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == hFirst; }, kStateLimitMs));
    EXPECT_EQ(first.Quit(), kRegistered);
}

TEST(InstanceChecker, StartupLockIsReleasedOnceAndOnDestruction) {
    const std::string kName = TestName();
    {
        CInstanceChecker guard(kName);
        guard.TakeStartupLock();
        guard.TakeStartupLock();  // still one hold, released by one release
        EXPECT_FALSE(MutexIsFree(kName));
        guard.ReleaseStartupLock();
        EXPECT_TRUE(MutexIsFree(kName));
        guard.ReleaseStartupLock();
        guard.TakeStartupLock();
        EXPECT_FALSE(MutexIsFree(kName));
    }
    EXPECT_TRUE(MutexIsFree(kName));

    // A copy that took the lock and went away without registering.
    CChildEvent locked(kName, "locked"), go(kName, "go"), gone(kName, "gone");
    CChild early(kName, "lock,signal:locked,wait:go,destroy,signal:gone,wait:quit");
    ASSERT_TRUE(locked.Wait());
    EXPECT_FALSE(MutexIsFree(kName));
    go.Set();
    ASSERT_TRUE(gone.Wait());
    EXPECT_TRUE(MutexIsFree(kName));
    EXPECT_EQ(early.Quit(), 0);
}

TEST(InstanceChecker, LaterCopyKeepsTheLockUntilItActivates) {
    const std::string kName = TestName();
    CChildEvent ready(kName, "ready");
    CChild first(kName, "window,lock,register,signal:ready,serve");
    ASSERT_TRUE(ready.Wait());

    CInstanceChecker guard(kName);
    guard.TakeStartupLock();
    EXPECT_TRUE(guard.IsAnotherCopyRunning());
    EXPECT_FALSE(guard.RegisterFirstCopy());
    EXPECT_FALSE(MutexIsFree(kName));
    EXPECT_EQ(guard.ActivateOtherCopy(), ChildMain(kName));
    EXPECT_TRUE(MutexIsFree(kName));
    EXPECT_EQ(first.Quit(), kRegistered);
}

TEST(InstanceChecker, LockAbandonedByADeadCopyIsTakenOver) {
    const std::string kName = TestName();
    // Keeps the mutex in existence after the dying copy, as a waiting copy would.
    CHandle hMutex(::CreateMutexA(nullptr, FALSE, kName.c_str()));
    CChild dead(kName, "lock,die");
    EXPECT_EQ(dead.WaitExit(), 0);
    CChild next(kName, "lock,check,window,register");
    EXPECT_EQ(next.WaitExit(), kRegistered);
}

TEST(InstanceChecker, NullOrStaleHandleRaisesNothingAndTheCopyEnds) {
    // A first copy without a main window publishes a null handle.
    const std::string kName = TestName();
    CChildEvent ready(kName, "ready");
    CChild first(kName, "lock,register,signal:ready,serve");
    ASSERT_TRUE(ready.Wait());
    std::int32_t nPublished = -1;
    ASSERT_TRUE(ReadBlock("CInstanceChecker_MMF_" + kName, &nPublished));
    EXPECT_EQ(nPublished, 0);
    {
        CForeground other;
        CChild second(kName, "lock,check,activate");
        EXPECT_EQ(second.WaitExit(), kFoundOther);
        PumpMessages(300);
        EXPECT_EQ(::GetForegroundWindow(), other.m_hWnd);
    }
    EXPECT_EQ(first.Quit(), kRegistered);

    // A block whose window is gone.
    const std::string kStale = kName + " stale";
    HWND hGone = ::CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ::DestroyWindow(hGone);
    ASSERT_FALSE(::IsWindow(hGone));
    ExpectLeftBlockRaisesNothing(kStale, hGone);
}

TEST(InstanceChecker, HandleNamingAnotherProgramsWindowRaisesNothing) {
    // The block's handle was recycled: it now names the taskbar, a window of
    // the desktop's own process.
    HWND hForeign = ::FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(hForeign, nullptr) << "the virtual desktop has a taskbar";
    DWORD dwForeign = 0;
    ::GetWindowThreadProcessId(hForeign, &dwForeign);
    ASSERT_NE(dwForeign, ::GetCurrentProcessId());

    ExpectLeftBlockRaisesNothing(TestName(), hForeign);
}

TEST(InstanceChecker, MutexNameTakenByAnEventLeavesTheBlockToDecide) {
    const std::string kName = TestName();
    CHandle hSquatter(::CreateEventA(nullptr, TRUE, FALSE, kName.c_str()));
    ASSERT_NE(hSquatter.Get(), nullptr);
    ASSERT_EQ(CHandle(::CreateMutexA(nullptr, FALSE, kName.c_str())).Get(), nullptr);

    // Started one after the other: the block still finds the first copy.
    CChildEvent ready(kName, "ready");
    CChild first(kName, "lock,check,window,register,signal:ready,serve");
    ASSERT_TRUE(ready.Wait());
    CChild second(kName, "lock,check,activate");
    EXPECT_EQ(second.WaitExit(), kFoundOther | kRaised);
    EXPECT_EQ(first.Quit(), kRegistered);

    // Both past the look for a running copy: exactly one becomes the first.
    // Each keeps its block until both have tried.
    CChildEvent a(kName, "a"), b(kName, "b"), go(kName, "go"), doneA(kName, "doneA"),
        doneB(kName, "doneB"), end(kName, "end");
    CChild one(kName, "lock,check,signal:a,wait:go,register,signal:doneA,wait:end");
    CChild two(kName, "lock,check,signal:b,wait:go,register,signal:doneB,wait:end");
    ASSERT_TRUE(a.Wait());
    ASSERT_TRUE(b.Wait());
    go.Set();
    ASSERT_TRUE(doneA.Wait());
    ASSERT_TRUE(doneB.Wait());
    end.Set();
    int nCodes[] = {one.WaitExit(), two.WaitExit()};
    std::sort(std::begin(nCodes), std::end(nCodes));
    EXPECT_EQ(nCodes[0], 0);
    EXPECT_EQ(nCodes[1], kRegistered);
}

// Looks for its block under one name and creates it under another, as if a
// copy without the start-up lock created the block between the two steps.
class CLateLook : public CInstanceChecker {
  public:
    CLateLook(const std::string& strName, const std::string& strTaken, HWND hWnd)
        : CInstanceChecker(strName), m_strTaken(strTaken), m_hWnd(hWnd) {}
    std::string GetMappingName() const override {
        return m_nCalls++ == 0 ? CInstanceChecker::GetMappingName() : m_strTaken;
    }
    HWND GetWindowToPublish() const override { return m_hWnd; }

  private:
    std::string m_strTaken;
    HWND m_hWnd;
    mutable int m_nCalls = 0;
};

TEST(InstanceChecker, BlockCreatedAfterTheLookStaysWithItsOwner) {
    const std::string kName = TestName();
    const std::string kTaken = "CInstanceChecker_MMF_" + kName + " owner";
    CHandle hBlock(
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kTaken.c_str()));
    ASSERT_NE(hBlock.Get(), nullptr);
    CForeground window;

    CLateLook guard(kName, kTaken, window.m_hWnd);
    guard.TakeStartupLock();
    EXPECT_FALSE(guard.RegisterFirstCopy());
    EXPECT_FALSE(MutexIsFree(kName));
    std::int32_t nValue = -1;
    ASSERT_TRUE(ReadBlock(kTaken, &nValue));
    EXPECT_EQ(nValue, 0) << "the owner's block was written";
}

TEST(InstanceChecker, BlockNameTakenByAnEventKeepsTheLockUntilTheEnd) {
    const std::string kName = TestName();
    CHandle hSquatter(
        ::CreateEventA(nullptr, TRUE, FALSE, ("CInstanceChecker_MMF_" + kName).c_str()));
    ASSERT_NE(hSquatter.Get(), nullptr);
    {
        CInstanceChecker guard(kName);
        guard.TakeStartupLock();
        EXPECT_FALSE(guard.IsAnotherCopyRunning());
        EXPECT_FALSE(guard.RegisterFirstCopy());
        EXPECT_FALSE(MutexIsFree(kName));
    }
    EXPECT_TRUE(MutexIsFree(kName));
}

}  // namespace
