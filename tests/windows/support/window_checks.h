// Waiting for a window's state.
#pragma once

#include <windows.h>

#include <functional>

#include "pixels.h"

// Dispatches messages until done() holds, for at most nMilliseconds; done()'s
// last answer.
inline bool WaitFor(const std::function<bool()>& done, int nMilliseconds = 5000) {
    for (const DWORD dwStart = ::GetTickCount(); !done(); PumpMessages(10)) {
        if (::GetTickCount() - dwStart >= static_cast<DWORD>(nMilliseconds)) {
            return done();
        }
    }
    return true;
}
