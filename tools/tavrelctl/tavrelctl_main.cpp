// tavrelctl: the console remote for the Tavrel Plus magnifier.
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "ctl_options.h"
#include "ctl_remote.h"
#include "device/device_link.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnSignal(int) {
    g_interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    constexpr bool kComAllowed = false;
#else
    constexpr bool kComAllowed = true;
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    CtlOptions options;
    std::string error;
    if (!ParseCtlOptions(args, kComAllowed, options, error)) {
        std::cerr << "tavrelctl: " << error << "\n"
                  << "Try 'tavrelctl --help'." << std::endl;
        return kExitBadArguments;
    }
    if (options.help) {
        std::cout << kCtlUsage;
        return kExitOk;
    }
    for (const auto& [port, path] : options.ports) {
        CComPort::SetPortPath(port, path);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return RunRemote(options, g_deviceLink, std::cout, std::cerr, g_interrupted);
}
