#include "window_checks.h"

bool WaitFor(const std::function<bool()>& done, int nMilliseconds) {
    const DWORD dwStart = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - dwStart >= static_cast<DWORD>(nMilliseconds)) {
            return done();
        }
        PumpMessages(10);
    }
    return true;
}
