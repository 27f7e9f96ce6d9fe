#include "base/failure_log_win.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "base/utf16.h"

namespace {

// Fixed slots of plain characters behind a slim lock: nothing here is ever
// destroyed, so a link thread that outlives the program's statics at exit
// can still record a port.
struct Slot {
    char szSubject[32];
    char szReason[256];
};
constexpr int kSlots = 32;
Slot g_slots[kSlots] = {};
SRWLOCK g_lock = SRWLOCK_INIT;

class CExclusive {
  public:
    CExclusive() { ::AcquireSRWLockExclusive(&g_lock); }
    ~CExclusive() { ::ReleaseSRWLockExclusive(&g_lock); }
    CExclusive(const CExclusive&) = delete;
    CExclusive& operator=(const CExclusive&) = delete;
};

// The slot of strSubject, or with bMake a free one given to it; null when
// there is none.
Slot* FindSlot(const std::string& strSubject, bool bMake) {
    Slot* pFree = nullptr;
    for (Slot& slot : g_slots) {
        if (slot.szSubject[0] == '\0') {
            pFree = pFree != nullptr ? pFree : &slot;
        } else if (strSubject == slot.szSubject) {
            return &slot;
        }
    }
    if (!bMake || pFree == nullptr || strSubject.empty()) {
        return nullptr;
    }
    std::snprintf(pFree->szSubject, sizeof pFree->szSubject, "%s", strSubject.c_str());
    return pFree;
}

std::string Describe(const char* pszOperation, DWORD dwError) {
    return std::string(pszOperation) + ": " + SystemErrorText(dwError);
}

void ToDebugger(const std::string& strSubject, const std::string& strReason) {
    ::OutputDebugStringW(Utf16(strSubject + ": " + strReason + "\n").c_str());
}

}  // namespace

std::string SystemErrorText(DWORD dwError) {
    // Wide: the text is in the user's language, which need not be the
    // system's code page.
    wchar_t szText[256] = {};
    DWORD dwLength =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         dwError, 0, szText, sizeof szText / sizeof szText[0], nullptr);
    while (dwLength > 0 && std::wcschr(L"\r\n .", szText[dwLength - 1]) != nullptr) {
        --dwLength;
    }
    const std::string strCode = "error " + std::to_string(dwError);
    return dwLength == 0 ? strCode : Utf8({szText, dwLength}) + " (" + strCode + ")";
}

void KeepFailure(const std::string& strSubject, const char* pszOperation, DWORD dwError) {
    const std::string strReason = Describe(pszOperation, dwError);
    {
        CExclusive lock;
        Slot* pSlot = FindSlot(strSubject, true);
        if (pSlot != nullptr) {
            if (strReason.compare(0, sizeof pSlot->szReason - 1, pSlot->szReason) == 0) {
                return;  // a port that fails at every scan is told once
            }
            std::snprintf(pSlot->szReason, sizeof pSlot->szReason, "%s", strReason.c_str());
        }
    }
    ToDebugger(strSubject, strReason);
}

void ForgetFailure(const std::string& strSubject) {
    CExclusive lock;
    if (Slot* pSlot = FindSlot(strSubject, false)) {
        *pSlot = Slot{};
    }
}

std::string FailureReason(const std::string& strSubject) {
    CExclusive lock;
    const Slot* pSlot = FindSlot(strSubject, false);
    return pSlot != nullptr ? pSlot->szReason : std::string();
}

void TraceFailure(const std::string& strSubject, const char* pszOperation, DWORD dwError) {
    ToDebugger(strSubject, Describe(pszOperation, dwError));
}
