#include "device/link_lock.h"

#include <windows.h>

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the lock keeps each of them in one pointer");

void CLinkLock::lock() {
    ::AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&m_srw));
}

void CLinkLock::unlock() {
    ::ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&m_srw));
}

void CLinkLock::WaitUntil(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return;
    }
    // Bounded below INFINITE; a wait cut short is a spurious wake-up to the caller.
    const DWORD dwMs = left.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left.count());
    ::SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&m_cv),
                                reinterpret_cast<PSRWLOCK>(&m_srw), dwMs, 0);
}

void CLinkLock::NotifyOne() {
    ::WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&m_cv));
}
