// The program's message boxes: captioned with the application's name, and
// going through one replaceable function so that tests never wait on a box.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

extern const char* const kAppName;  // "Tavrel Plus Remote"

// Shows text (UTF-8) in a message box owned by hOwner (may be null),
// captioned with the application's name. Returns the button the user chose.
int AppMessageBox(const std::string& text, UINT nType = MB_OK | MB_ICONEXCLAMATION,
                  HWND hOwner = nullptr);

// Replaces the box for tests: fn gets the owner, text, caption and type and
// returns the answer. An empty function restores the real box.
using MessageBoxFn = std::function<int(HWND, const std::string&, const std::string&, UINT)>;
void SetMessageBoxFunction(MessageBoxFn fn);
