#include "ctl_options.h"

#include <cerrno>
#include <cstdlib>

#include "device/com_port.h"

const char* const kCtlUsage =
    "Usage: tavrelctl [--com N=PATH]... [--port N] [--timeout SECONDS] ACTION...\n"
    "\n"
    "Operates a Tavrel Plus magnifier over its serial cable, as the panel of\n"
    "Tavrel Plus Remote does. The magnifier is looked for as the panel looks:\n"
    "on the port chosen in its Connection details, or else on the port where\n"
    "it last answered, COM1 to COM4, then the other serial ports present, in\n"
    "number order, never on a Bluetooth port.\n"
    "\n"
    "Actions, carried out in the order given once the magnifier is found:\n"
    "  window            press the WINDOW button\n"
    "  lines             press the LINES button\n"
    "  options           press the OPTIONS button\n"
    "  position VALUE    set POSITION to VALUE (0 to 255, decimal)\n"
    "  width VALUE       set WIDTH to VALUE (0 to 255, decimal)\n"
    "  probe             find the magnifier and print its answer\n"
    "  watch             stay connected and print every change of the link\n"
    "                    until Ctrl+C or SIGTERM\n"
    "\n"
    "POSITION and WIDTH are levels, not presses: the last value given for each\n"
    "is sent (63 when none is given, as the panel starts), and both are sent\n"
    "again after every button press.\n"
    "\n"
    "Options:\n"
    "  --com N=PATH      use the device PATH as port N (1 and up); by default\n"
    "                    COM1 to COM4 are /dev/ttyS0 to /dev/ttyS3, and COM5\n"
    "                    and up the USB serial devices present (/dev/ttyUSB*,\n"
    "                    then /dev/ttyACM*); with --com only the ports given\n"
    "                    above 4. Not available on Windows, where the ports\n"
    "                    are the system's.\n"
    "  --port N          look on COMN alone (1 to 999)\n"
    "  --timeout SECONDS how long to look for the magnifier, at start and\n"
    "                    again after it was lost (default 10)\n"
    "  --help            show this text\n"
    "\n"
    "Exit codes: 0 done, 1 no magnifier found (\"Tavrel Plus Not Detected\",\n"
    "then why each port tried gave none),\n"
    "2 bad arguments.\n";

namespace {

bool ParseLevel(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        n = n * 10 + (c - '0');
        if (n > 255) {
            return false;
        }
    }
    value = n;
    return true;
}

bool ParsePortNumber(const std::string& text, int& port) {
    const int n = ParsePortName(("COM" + text).c_str());
    if (n == 0) {
        return false;
    }
    port = n;
    return true;
}

bool ParseSeconds(const std::string& text, double& seconds) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !(v > 0) || v > 86400) {
        return false;
    }
    seconds = v;
    return true;
}

// "--name" or "--name=VALUE".
bool IsOption(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

// The value of the option at args[i], from "--name=VALUE" or the next
// argument (then i moves on to it).
bool TakeOptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                     const char* what, std::string& value, std::string& error) {
    if (args[i] != name) {
        value = args[i].substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = name + " needs " + what;
        return false;
    }
    value = args[++i];
    return true;
}

}  // namespace

bool ParseCtlOptions(const std::vector<std::string>& args, bool comAllowed, CtlOptions& options,
                     std::string& error) {
    options = CtlOptions{};
    bool anyAction = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasNext = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (IsOption(arg, "--com")) {
            std::string mapping;
            if (!TakeOptionValue(args, i, "--com", "N=PATH", mapping, error)) {
                return false;
            }
            if (!comAllowed) {
                error = "--com " + mapping +
                        ": not available on Windows, where the ports are the system's";
                return false;
            }
            const size_t eq = mapping.find('=');
            int port = 0;
            bool goodNumber = eq != std::string::npos && eq > 0 && eq < 4;
            for (size_t k = 0; goodNumber && k < eq; ++k) {
                goodNumber = mapping[k] >= '0' && mapping[k] <= '9';
                port = port * 10 + (mapping[k] - '0');
            }
            if (!goodNumber || port < 1 || eq + 1 >= mapping.size()) {
                error = "bad --com '" + mapping + "': expected N=PATH with N from 1 to 999";
                return false;
            }
            options.ports[port] = mapping.substr(eq + 1);
        } else if (IsOption(arg, "--port")) {
            std::string text;
            if (!TakeOptionValue(args, i, "--port", "N", text, error)) {
                return false;
            }
            if (!ParsePortNumber(text, options.port)) {
                error = "bad --port '" + text + "': expected a number from 1 to 999";
                return false;
            }
        } else if (IsOption(arg, "--timeout")) {
            std::string text;
            if (!TakeOptionValue(args, i, "--timeout", "SECONDS", text, error)) {
                return false;
            }
            if (!ParseSeconds(text, options.timeoutSeconds)) {
                error = "bad --timeout '" + text + "': expected a number of seconds above 0";
                return false;
            }
        } else if (arg == "window") {
            options.presses.push_back(CtlAction::Window);
            anyAction = true;
        } else if (arg == "lines") {
            options.presses.push_back(CtlAction::Lines);
            anyAction = true;
        } else if (arg == "options") {
            options.presses.push_back(CtlAction::Options);
            anyAction = true;
        } else if (arg == "position" || arg == "width") {
            if (!hasNext) {
                error = arg + " needs a VALUE from 0 to 255";
                return false;
            }
            const std::string& text = args[++i];
            int& level = arg == "position" ? options.position : options.width;
            if (!ParseLevel(text, level)) {
                error = "bad " + arg + " value '" + text + "': expected a number from 0 to 255";
                return false;
            }
            options.levelsGiven = true;
            anyAction = true;
        } else if (arg == "probe") {
            options.probe = true;
            anyAction = true;
        } else if (arg == "watch") {
            options.watch = true;
            anyAction = true;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return false;
        } else {
            error = "unknown action '" + arg + "'";
            return false;
        }
    }
    if (!anyAction) {
        error = "no action given";
        return false;
    }
    return true;
}
