// The least a Win32 program can cost while it waits, for app_bench.py:
//   empty_win32.exe               a message loop in GetMessage, nothing else
//   empty_win32.exe -keepalive N  also the keep-alive's own I/O on COMN once a
//                                 second ("?" CR LF out, the answer read as its
//                                 7th byte comes, within 200 ms)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

DWORD WINAPI KeepAlive(void* pPort) {
    char szName[32];
    std::snprintf(szName, sizeof szName, "\\\\.\\COM%d", *static_cast<int*>(pPort));
    const HANDLE hComm = ::CreateFileA(szName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hComm == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "empty_win32: cannot open %s (error %lu)\n", szName, ::GetLastError());
        std::exit(1);
    }
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadTotalTimeoutConstant = 200;  // a read ends at its last byte or after 200 ms
    timeouts.WriteTotalTimeoutConstant = 1000;
    ::SetCommTimeouts(hComm, &timeouts);
    for (;;) {
        ::Sleep(1000);
        DWORD dwDone = 0;
        ::WriteFile(hComm, "?\r\n", 3, &dwDone, nullptr);
        char buffer[7];
        ::ReadFile(hComm, buffer, sizeof buffer, &dwDone, nullptr);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int) {
    static int nPort = 0;
    if (std::strncmp(pszCmdLine, "-keepalive ", 11) == 0) {
        nPort = std::atoi(pszCmdLine + 11);
        if (nPort < 1 || ::CreateThread(nullptr, 0, KeepAlive, &nPort, 0, nullptr) == nullptr) {
            std::fprintf(stderr, "empty_win32: bad -keepalive '%s'\n", pszCmdLine + 11);
            return 2;
        }
    } else if (*pszCmdLine != '\0') {
        std::fprintf(stderr, "usage: empty_win32.exe [-keepalive PORT]\n");
        return 2;
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}
