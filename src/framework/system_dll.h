// DLLs loaded at run time, from the system folder only. The program imports
// only DLLs that Windows always takes from the system folder (the KnownDLLs,
// see tests/windows/imports.sh) and comctl32 through its manifest; every
// other DLL comes through here, so that a copy planted beside the program (a
// portable copy unzipped into Downloads) is never loaded.
#pragma once

#include <windows.h>

// The function pszFunction of pszDll, loaded from the system folder and kept
// for the program's life. Null when either cannot be had: the caller goes
// on without it, and the reason is kept under the DLL's name
// (FailureReason("winmm.dll")) and sent to the debugger.
FARPROC SystemDllFunction(const char* pszDll, const char* pszFunction);

template <typename Fn>
Fn SystemDllFunction(const char* pszDll, const char* pszFunction) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemDllFunction(pszDll, pszFunction)));
}
