// Command line of the console remote.
#pragma once

#include <map>
#include <string>
#include <vector>

enum class CtlAction { Window, Lines, Options, Probe, Watch };

struct CtlOptions {
    std::map<int, std::string> ports;  // --com N=PATH
    int port = 0;                      // --port N: this port alone; 0: as the settings say
    double timeoutSeconds = 10.0;
    int position = 63;  // the panel's starting level
    int width = 63;
    bool levelsGiven = false;        // a position or width was asked for
    std::vector<CtlAction> presses;  // window, lines, options in the order given
    bool probe = false;
    bool watch = false;
    bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns
// false and sets error to a message that names it. comAllowed is false on
// Windows, where the ports are the system's.
bool ParseCtlOptions(const std::vector<std::string>& args, bool comAllowed, CtlOptions& options,
                     std::string& error);

extern const char* const kCtlUsage;
