// What screen readers say about a control beyond its own text: a name for a
// control whose text does not say what it is (a scroll bar, a key list, one of
// many "Ctrl" boxes), a value for a label whose text changes, and frames that
// are only paint; and notifications they speak at once. Set through the system's annotation
// service, which is created on first use; where the system has none (as under Wine), nothing
// changes and the dialog templates name the controls: a control without text
// is named after the static text just before it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

enum class Annotation { Name, Value, Hidden, Notification };

// False when the system has no annotation service or refused the request.
bool SetAccessibleName(HWND hWnd, const std::string& strName);
bool SetAccessibleValue(HWND hWnd, const std::string& strValue);
// Not read at all: a control that only paints.
bool HideFromScreenReaders(HWND hWnd);

// A UI Automation notification: text that screen readers speak at once,
// wherever the user's focus is, raised from the window hWnd's element. Of
// the notifications of one activity only the most recent is spoken, so that
// a held key does not queue dozens. The system has it from Windows 10 1709;
// it is looked up when first needed, and where it is missing or fails
// nothing is raised.
void RaiseUiaNotification(HWND hWnd, const std::string& strText,
                          const wchar_t* pszActivity = L"Tavrel Plus Remote connection");

// Whether a screen reader runs (the system's screen-reader flag), unless a
// test has set the answer (std::nullopt: the system's again).
bool IsScreenReaderRunning();
void SetScreenReaderOverride(std::optional<bool> bRunning);

// Replaces the service for tests: fn gets every request, the notifications
// too, and returns its answer. An empty function restores the system's service.
using AnnotationFn = std::function<bool(HWND, Annotation, const std::string&)>;
void SetAnnotationFunction(AnnotationFn fn);
