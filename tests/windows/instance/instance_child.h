// The other copies of the program in the guard's tests: this test program
// started again with "--instance-child NAME ACTIONS" plays one copy, step by
// step, and ends with what the guard answered.
//
// ACTIONS is a comma-separated list, run in order:
//   lock, check, register, activate   the guard's operations
//   destroy                           the guard goes away (before the copy ends)
//   window[:min|:hidden|:popup]       the copy's main window (with :popup, a
//                                     window it owns is the active one)
//   signal:TAG / wait:TAG             set / wait for the event ChildEventName(NAME, TAG)
//   serve                             keep the windows up until "quit" is signalled
//   die                               end at once, holding whatever is held
#pragma once

#include <windows.h>

#include <string>

// Exit code of a child: the bits of what the guard answered...
constexpr int kFoundOther = 1;  // the last IsAnotherCopyRunning was TRUE
constexpr int kRegistered = 2;  // RegisterFirstCopy returned TRUE
constexpr int kRaised = 4;      // ActivateOtherCopy returned a window
// ...or one of these.
constexpr int kWaitTimedOut = 90;
constexpr int kBadActions = 91;

constexpr char kChildSwitch[] = "--instance-child";
constexpr char kChildWindowClass[] = "TavrelInstanceTestWindow";

// The event a child signals or waits for (manual reset, created by either side).
inline std::string ChildEventName(const std::string& strName, const std::string& strTag) {
    return "TavrelInstanceTest:" + strName + ":" + strTag;
}
// Titles of a child's main window and of its popup.
inline std::string ChildMainTitle(const std::string& strName) {
    return "guard test " + strName;
}
inline std::string ChildPopupTitle(const std::string& strName) {
    return "guard test popup " + strName;
}

// Plays one copy; returns its exit code.
int RunInstanceChild(const std::string& strName, const std::string& strActions);
