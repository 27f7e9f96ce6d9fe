// TavrelRemote.exe: a GUI program; the application object does all the work.
#include <windows.h>

#include "app/remote_app_win.h"

namespace {

// DLLs loaded from now on, by the program or by the system's DLLs for it,
// come from the system folder only, never from the program's own folder (a
// portable copy run from Downloads would load a DLL planted beside it). The
// imports were resolved before this and hold only DLLs that Windows always
// takes from the system folder (tests/windows/imports.sh checks them).
// SetDefaultDllDirectories exists from Windows 8, and on Windows 7 with
// update KB2533623; without it the program goes on as before.
void LoadDllsFromSystemFolderOnly() {
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    const FARPROC pProc =
        hKernel != nullptr ? ::GetProcAddress(hKernel, "SetDefaultDllDirectories") : nullptr;
    if (pProc != nullptr) {
        reinterpret_cast<SetDirectoriesFn>(reinterpret_cast<void*>(pProc))(kSearchSystem32);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LoadDllsFromSystemFolderOnly();
    theApp.InitInstance();
    return 0;
}
