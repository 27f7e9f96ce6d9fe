// The console remote's session: runs the link thread on a record, carries out
// the actions once the magnifier is found, prints the link's changes, and stops
// the thread in order.
#pragma once

#include <atomic>
#include <ostream>
#include <string>

#include "ctl_options.h"

class CDeviceLink;

enum CtlExit : int {
    kExitOk = 0,
    kExitNotDetected = 1,
    kExitBadArguments = 2,
    kExitInterrupted = 130,
};

// Runs one session on link (whose thread must not be running). interrupted is
// raised by Ctrl+C or SIGTERM. Returns the process's exit code.
int RunRemote(const CtlOptions& options, CDeviceLink& link, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& interrupted);

// The line printed for a link status: the port being tried while searching
// ("Looking on COM3"), the port and the link's text once connected.
std::string DescribeStatus(int status, const std::string& text, int port);

// A probe's log line made printable on one line: CR as \r, LF as \n, other
// control bytes as \xHH.
std::string EscapeForConsole(const std::string& text);
