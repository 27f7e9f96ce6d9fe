// TavrelRemote.exe: a GUI program; the application object does all the work.
#include <windows.h>

#include "app/remote_app_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance();
    return 0;
}
