// Helpers of the window tests: where the text is in a picture of a window, a
// window saved as a bitmap file, and waiting for a window's state.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "pixels.h"

// The bounding box of the pixels whose colour is not crBack (the ink); an
// empty rectangle (left >= right) when there is none.
RECT InkBox(const ClientPixels& pixels, COLORREF crBack);
// How many pixels are not crBack.
int InkCount(const ClientPixels& pixels, COLORREF crBack);

// Writes the whole window, frame included, as it is on screen into a 24-bit
// .bmp file. False when the window could not be read or the file written.
bool SaveWindowBitmap(HWND hWnd, const std::string& path);

// Pumps messages until done() holds, for at most nMilliseconds; done()'s
// last answer.
bool WaitFor(const std::function<bool()>& done, int nMilliseconds = 5000);

// Where the notification area starts on the taskbar hTaskbar (client x):
// right of the start button and the window buttons, its child windows.
int NotificationAreaLeft(HWND hTaskbar);

// The width in pixels of an icon's picture; 0 when hIcon is no icon.
int IconWidth(HICON hIcon);

// The description of a font; a zeroed one when hFont is not a font.
LOGFONTA FontOf(HFONT hFont);

// The default hot-key keys, Ctrl with each, in action order.
extern const UINT kDefaultHotKeys[8];
// Whether hRival (may be null) is refused the combination: someone holds it.
bool HotKeyTaken(HWND hRival, UINT nModifiers, UINT vk);
// How many of the eight default combinations someone holds.
int CountDefaultHotKeysTaken(HWND hRival);
