#include "framework/system_dll.h"

#include <string>

#include "base/failure_log_win.h"
#include "base/utf16.h"

FARPROC SystemDllFunction(const char* pszDll, const char* pszFunction) {
    // From Windows 8, and on Windows 7 with update KB2533623; without it the
    // call fails and the DLL is not loaded at all.
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE hModule = ::LoadLibraryExW(Utf16(pszDll).c_str(), nullptr, kSearchSystem32);
    if (hModule == nullptr) {
        KeepFailure(pszDll, "LoadLibraryEx from the system folder", ::GetLastError());
        return nullptr;
    }
    const FARPROC pProc = ::GetProcAddress(hModule, pszFunction);
    if (pProc == nullptr) {
        KeepFailure(pszDll, (std::string("GetProcAddress ") + pszFunction).c_str(),
                    ::GetLastError());
    }
    return pProc;
}
