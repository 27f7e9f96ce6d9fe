// The end-to-end test's hands inside wine: waits for the program's panel and
// presses its Exit command, as the menu bar does.
//
//   app_e2e_helper wait MILLISECONDS   0 once the panel is on screen, 1 if not in time
//   app_e2e_helper exit                0 once Exit was posted to the panel, 1 if none
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resource.h"

namespace {

constexpr const char* kPanelTitle = "Quorvane - Tavrel Plus Remote";

HWND VisiblePanel() {
    HWND hWnd = ::FindWindowA(nullptr, kPanelTitle);
    return hWnd != nullptr && ::IsWindowVisible(hWnd) ? hWnd : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "wait") == 0) {
        const DWORD dwLimit = static_cast<DWORD>(std::atol(argv[2]));
        const DWORD dwStart = ::GetTickCount();
        while (VisiblePanel() == nullptr) {
            if (::GetTickCount() - dwStart > dwLimit) {
                std::fprintf(stderr, "no panel within %lu ms\n", dwLimit);
                return 1;
            }
            ::Sleep(50);
        }
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "exit") == 0) {
        HWND hPanel = ::FindWindowA(nullptr, kPanelTitle);
        if (hPanel == nullptr || !::PostMessageA(hPanel, WM_COMMAND, ID_EXIT, 0)) {
            std::fprintf(stderr, "no panel to exit\n");
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: app_e2e_helper wait MILLISECONDS | exit\n");
    return 2;
}
