// A DLL planted beside a program (a portable copy unzipped into Downloads
// beside a winmm.dll): loaded, it leaves the file "<its own path>.ran".
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        wchar_t szPath[MAX_PATH + 8] = {};
        ::GetModuleFileNameW(hInstance, szPath, MAX_PATH);
        ::CloseHandle(::CreateFileW(::lstrcatW(szPath, L".ran"), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}

// What the program takes from winmm.dll.
extern "C" __declspec(dllexport) BOOL WINAPI PlaySoundW(const wchar_t*, HMODULE, DWORD) {
    return FALSE;
}
