// A UI Automation notification: text that screen readers speak at once,
// wherever the user's focus is. The system has it from Windows 10 1709; it is
// looked up when first needed, and where it is missing or fails nothing is
// raised.
#pragma once

#include <windows.h>

#include <string>

// Raises the notification strText from the window hWnd's element.
void RaiseUiaNotification(HWND hWnd, const std::string& strText);
