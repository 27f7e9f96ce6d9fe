// Fuzzes the console remote's command line. Input: byte 0 bit 0 says whether
// --com is allowed (it is not on Windows); the rest, split on NUL bytes, is
// the argument vector. The parser must either give a sound set of actions -
// presses in the order given, levels 0 to 255, a timeout above 0, ports 1 to
// 4 with a path - that reads the same when written back as a canonical
// command line, or refuse with a message that names what it refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ctl_options.h"
#include "fuzz_check.h"

namespace {

bool IsActionWord(const std::string& arg) {
    return arg == "window" || arg == "lines" || arg == "options" || arg == "position" ||
           arg == "width" || arg == "probe" || arg == "watch";
}

// The command line that asks for exactly these options.
std::vector<std::string> Canonical(const CtlOptions& o) {
    std::vector<std::string> args;
    for (const auto& [nPort, strPath] : o.ports) {
        args.push_back("--com");
        args.push_back(std::to_string(nPort) + "=" + strPath);
    }
    char szTimeout[64];
    std::snprintf(szTimeout, sizeof szTimeout, "%.17g", o.timeoutSeconds);
    args.push_back("--timeout=" + std::string(szTimeout));
    for (CtlAction a : o.presses) {
        args.push_back(a == CtlAction::Window  ? "window"
                       : a == CtlAction::Lines ? "lines"
                                               : "options");
    }
    if (o.levelsGiven) {
        args.insert(args.end(),
                    {"position", std::to_string(o.position), "width", std::to_string(o.width)});
    }
    if (o.probe) {
        args.push_back("probe");
    }
    if (o.watch) {
        args.push_back("watch");
    }
    return args;
}

bool Same(const CtlOptions& a, const CtlOptions& b) {
    return a.ports == b.ports && a.timeoutSeconds == b.timeoutSeconds && a.position == b.position &&
           a.width == b.width && a.levelsGiven == b.levelsGiven && a.presses == b.presses &&
           a.probe == b.probe && a.watch == b.watch && a.help == b.help;
}

void CheckAccepted(const std::vector<std::string>& args, bool bComAllowed, const CtlOptions& o) {
    if (o.help) {
        bool bAsked = false;
        for (const std::string& arg : args) {
            bAsked |= arg == "--help" || arg == "-h";
        }
        FUZZ_CHECK(bAsked);
        return;  // --help ends the parse; the rest is not looked at
    }
    // Action words cannot have been taken as an option's value without an
    // error, so each one in the arguments is an action.
    std::vector<CtlAction> presses;
    bool bLevels = false, bProbe = false, bWatch = false;
    for (const std::string& arg : args) {
        if (arg == "window")
            presses.push_back(CtlAction::Window);
        if (arg == "lines")
            presses.push_back(CtlAction::Lines);
        if (arg == "options")
            presses.push_back(CtlAction::Options);
        bLevels |= arg == "position" || arg == "width";
        bProbe |= arg == "probe";
        bWatch |= arg == "watch";
    }
    FUZZ_CHECK(o.presses == presses);
    FUZZ_CHECK(o.levelsGiven == bLevels);
    FUZZ_CHECK(o.probe == bProbe);
    FUZZ_CHECK(o.watch == bWatch);
    FUZZ_CHECK(!o.presses.empty() || o.levelsGiven || o.probe || o.watch);
    FUZZ_CHECK(o.position >= 0 && o.position <= 255);
    FUZZ_CHECK(o.width >= 0 && o.width <= 255);
    FUZZ_CHECK(bLevels || (o.position == 63 && o.width == 63));
    FUZZ_CHECK(o.timeoutSeconds > 0 && o.timeoutSeconds <= 86400);
    FUZZ_CHECK(bComAllowed || o.ports.empty());
    for (const auto& [nPort, strPath] : o.ports) {
        FUZZ_CHECK(nPort >= 1 && nPort <= 4);
        FUZZ_CHECK(!strPath.empty());
    }
    // Written back as a command line, the options read the same.
    CtlOptions again;
    std::string strError;
    FUZZ_CHECK(ParseCtlOptions(Canonical(o), bComAllowed, again, strError));
    FUZZ_CHECK(Same(o, again));
}

void CheckRefused(const std::vector<std::string>& args, const std::string& strError) {
    FUZZ_CHECK(!strError.empty());
    if (strError == "no action given") {
        for (const std::string& arg : args) {
            FUZZ_CHECK(!IsActionWord(arg));
        }
        return;
    }
    // The message names the argument it refused, or the name or the value of
    // a "--name=VALUE" one.
    bool bNamed = strError.find("''") != std::string::npos;
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        const std::string name = eq == std::string::npos ? arg : arg.substr(0, eq);
        const std::string value = eq == std::string::npos ? arg : arg.substr(eq + 1);
        for (const std::string& part : {arg, name, value}) {
            bNamed |= !part.empty() && strError.find(part) != std::string::npos;
        }
    }
    FUZZ_CHECK(bNamed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool bComAllowed = data[0] & 1;
    std::vector<std::string> args;
    if (size > 1) {
        const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
        for (std::size_t start = 0;;) {
            const std::size_t end = rest.find('\0', start);
            args.push_back(rest.substr(start, end - start));
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
    // The parser starts from nothing, whatever the options held.
    CtlOptions options;
    options.presses.assign(3, CtlAction::Lines);
    options.ports[2] = "/stale";
    options.probe = options.watch = options.help = options.levelsGiven = true;
    options.position = options.width = 1;
    std::string strError;
    if (ParseCtlOptions(args, bComAllowed, options, strError)) {
        CheckAccepted(args, bComAllowed, options);
    } else {
        CheckRefused(args, strError);
    }
    return 0;
}
