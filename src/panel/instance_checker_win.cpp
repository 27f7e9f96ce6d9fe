#include "panel/instance_checker_win.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "framework/message_box.h"
#include "framework/wnd.h"

const char* const CInstanceChecker::kNoAnswerText =
    "Tavrel Plus Remote is already running but does not answer.\n"
    "Wait a moment and start it again, or end it in Task Manager and then start it.";

namespace {

constexpr char kMappingPrefix[] = "CInstanceChecker_MMF_";
constexpr DWORD kBlockSize = sizeof(std::int32_t);

// The mark a first copy puts on the window it publishes; a later copy raises
// only a window that carries it, whatever the file name of the program that
// owns it (a renamed portable copy is still this program).
constexpr char kPublishedMark[] = "TavrelRemote.Published";

// True when hWnd is a window a first copy published: a handle read from the
// block may by now name another program's window, which is never raised.
bool IsPublishedWindow(HWND hWnd) {
    return hWnd != nullptr && ::IsWindow(hWnd) && ::GetPropA(hWnd, kPublishedMark) != nullptr;
}

}  // namespace

CHandle CInstanceChecker::s_hMapping;

CInstanceChecker::CInstanceChecker(const std::string& strName)
    : m_mutexData(::CreateMutexA(nullptr, FALSE, nullptr)),
      // Opens the mutex when another copy has created it already; null when
      // the name belongs to another kind of object.
      m_mutexStartup(::CreateMutexA(nullptr, FALSE, strName.c_str())),
      m_strName(strName) {}

CInstanceChecker::~CInstanceChecker() {
    ReleaseStartupLock();  // before the mutex is closed
}

BOOL CInstanceChecker::TakeStartupLock() {
    if (m_pStartupLock || !m_mutexStartup) {
        return TRUE;
    }
    DWORD dwWait = ::WaitForSingleObject(m_mutexStartup.Get(), m_dwAnswerWaitMs);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
        m_pStartupLock = std::make_unique<CSingleLock>(m_mutexStartup.Get());
        return TRUE;
    }
    return FALSE;
}

bool CInstanceChecker::MayRun() {
    const bool bLocked = TakeStartupLock() != FALSE;
    if (bLocked && !IsAnotherCopyRunning()) {
        return true;
    }
    if (!bLocked || ActivateOtherCopy() == nullptr) {
        AppMessageBox(kNoAnswerText, MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}

BOOL CInstanceChecker::IsAnotherCopyRunning() {
    const CHandle hBlock(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str()));
    return hBlock ? TRUE : FALSE;
}

BOOL CInstanceChecker::RegisterFirstCopy() {
    // One block per process: the handle is class-wide.
    if (s_hMapping || IsAnotherCopyRunning()) {
        return FALSE;
    }
    CHandle hBlock(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kBlockSize, GetMappingName().c_str()));
    if (!hBlock) {
        return FALSE;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another copy created it since the look above: only possible without
        // the start-up lock. That copy is the first one.
        return FALSE;
    }
    s_hMapping = std::move(hBlock);

    // Without a view the block stays (a new block reads as a null handle):
    // this copy is still the first one, later copies end raising nothing.
    void* pView =
        ::MapViewOfFile(s_hMapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
    LockData();
    if (pView != nullptr) {
        HWND hPublished = GetWindowToPublish();
        if (hPublished != nullptr) {
            ::SetPropA(hPublished, kPublishedMark, reinterpret_cast<HANDLE>(1));
        }
        const std::int32_t nHandle = HandleToLong(hPublished);
        std::memcpy(pView, &nHandle, sizeof nHandle);
        ::UnmapViewOfFile(pView);
    }
    ReleaseStartupLock();
    UnlockData();
    return TRUE;
}

HWND CInstanceChecker::ActivateOtherCopy() {
    // The block is closed before the start-up lock goes: a copy that takes
    // the lock next must not find it held open by this one.
    CHandle hBlock(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str()));
    if (!hBlock) {
        return nullptr;
    }
    void* pView = ::MapViewOfFile(hBlock.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
    if (pView == nullptr) {
        hBlock.Close();
        ReleaseStartupLock();
        return nullptr;
    }

    LockData();
    std::int32_t nHandle = 0;
    std::memcpy(&nHandle, pView, sizeof nHandle);
    HWND hWnd = static_cast<HWND>(LongToHandle(nHandle));
    // A handle of a window that is gone (or never was) is left alone: it could
    // by now name nothing, or another program's window. A first copy that
    // does not take a message within the wait counts as not there: nothing
    // below may then wait on it.
    DWORD_PTR nAnswer = 0;
    if (!IsPublishedWindow(hWnd) ||
        ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, m_dwAnswerWaitMs,
                              &nAnswer) == 0) {
        hWnd = nullptr;
    }
    if (hWnd != nullptr) {
        // The panel, or a dialog it has open.
        HWND hLastActive = ::GetLastActivePopup(hWnd);
        if (::IsIconic(hWnd)) {
            ::ShowWindowAsync(hWnd, SW_RESTORE);
        }
        ::SetForegroundWindow(hLastActive != nullptr ? hLastActive : hWnd);
        // Brings back a panel that has hidden itself to the tray.
        ::ShowWindowAsync(hWnd, SW_SHOW);
    }
    ::UnmapViewOfFile(pView);
    hBlock.Close();
    ReleaseStartupLock();
    UnlockData();
    return hWnd;
}

void CInstanceChecker::ReleaseStartupLock() {
    m_pStartupLock.reset();
}

std::string CInstanceChecker::GetMappingName() const {
    return kMappingPrefix + m_strName;
}

HWND CInstanceChecker::GetWindowToPublish() const {
    CWnd* pMainWnd = GetMainWnd();
    return pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
}

void CInstanceChecker::LockData() {
    if (m_mutexData) {
        ::WaitForSingleObject(m_mutexData.Get(), INFINITE);
    }
}

void CInstanceChecker::UnlockData() {
    if (m_mutexData) {
        ::ReleaseMutex(m_mutexData.Get());
    }
}
