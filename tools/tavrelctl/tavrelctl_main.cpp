// tavrelctl: the console remote for the Tavrel Plus magnifier.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "ctl_options.h"
#include "settings/options_section.h"
#include "ctl_remote.h"
#include "device/device_link.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnSignal(int) {
    g_interrupted = true;
}

// The USB serial devices present, /dev/ttyUSB* then /dev/ttyACM*, each in
// number order: the ports above COM4 when the user names none.
std::vector<std::string> UsbSerialDevices() {
    std::vector<std::string> devices;
    for (const std::string prefix : {"ttyUSB", "ttyACM"}) {
        std::vector<std::pair<int, std::string>> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
            const std::string name = entry.path().filename().string();
            const std::string digits = name.substr(std::min(name.size(), prefix.size()));
            if (name.compare(0, prefix.size(), prefix) == 0 && !digits.empty() &&
                digits.size() < 6 && digits.find_first_not_of("0123456789") == std::string::npos) {
                found.emplace_back(std::stoi(digits), entry.path().string());
            }
        }
        std::sort(found.begin(), found.end());
        for (const auto& device : found) {
            devices.push_back(device.second);
        }
    }
    return devices;
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
    if (kComAllowed && options.ports.empty()) {
        int port = CDeviceLink::kLastPort;
        for (const std::string& device : UsbSerialDevices()) {
            CComPort::SetPortPath(++port, device);
        }
    }
    // The port the panel's user chose, and the one where the magnifier last
    // answered, from the panel's settings (none where there is no registry).
    g_options.Load();
    g_deviceLink.SetRememberedPort(g_options.m_nLastPort);
    g_deviceLink.SetPortChoice(options.port != 0 ? options.port : g_options.m_nPort);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return RunRemote(options, g_deviceLink, std::cout, std::cerr, g_interrupted);
}
