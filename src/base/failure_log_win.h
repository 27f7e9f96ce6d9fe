// Why a system call failed where the program goes on without it: the
// system's text for the error, kept with the operation and what it was done
// to (a port "COM3", "hot key 101", "tray icon 130"), in one table the
// program can show from. Failures nobody is shown go to the debugger only.
//
// Both threads record here (the link thread its ports); every function takes
// the table's own lock. The table has room for 32 subjects and 255 characters
// of each reason; a subject beyond those goes to the debugger only.
#pragma once

#include <windows.h>

#include <string>

// The system's message for error code dwError (UTF-8), without its line end;
// the code itself when the system has no text for it.
std::string SystemErrorText(DWORD dwError);

// Keeps "pszOperation: text of dwError" as the reason for strSubject in place
// of the one it had, and sends it to the debugger (OutputDebugString) when it
// differs from that one. dwError is GetLastError() right after the call.
void KeepFailure(const std::string& strSubject, const char* pszOperation, DWORD dwError);
// Forgets the reason kept for strSubject, once what failed has worked.
void ForgetFailure(const std::string& strSubject);
// The reason kept for strSubject; empty when there is none.
std::string FailureReason(const std::string& strSubject);

// Sends "strSubject: pszOperation: text of dwError" to the debugger only.
void TraceFailure(const std::string& strSubject, const char* pszOperation, DWORD dwError);
