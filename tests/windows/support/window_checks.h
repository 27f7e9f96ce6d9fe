// Waiting for a window's state.
#pragma once

#include <windows.h>

#include <functional>

#include "pixels.h"

// Dispatches messages until done() holds, for at most nMilliseconds; done()'s
// last answer.
bool WaitFor(const std::function<bool()>& done, int nMilliseconds = 5000);
