#include "ctl_remote.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "device/device_link.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(10);

LinkButton ButtonOf(CtlAction action) {
    switch (action) {
        case CtlAction::Lines:
            return LinkButton::Lines;
        case CtlAction::Options:
            return LinkButton::Options;
        default:
            return LinkButton::Window;
    }
}

const char* PressName(CtlAction action) {
    switch (action) {
        case CtlAction::Lines:
            return "LINES";
        case CtlAction::Options:
            return "OPTIONS";
        default:
            return "WINDOW";
    }
}

std::string PortLabel(int port) {
    const std::string name = CComPort::PortName(port);
    const std::string com = "COM" + std::to_string(port);
    return name == com ? com : com + " (" + name + ")";
}

// Asks the thread to stop (also before it has started) and waits until it
// has returned.
void StopLink(CDeviceLink& link, std::thread& thread) {
    link.RequestStop();
    thread.join();
}

}  // namespace

std::string DescribeStatus(int status, const std::string& text, int port) {
    switch (status) {
        case LINK_STARTING:
            return "Starting";
        case LINK_SEARCHING:
            // The text already names the port being tried, as the panel
            // would show it once it answers; here it has not answered yet.
            if (text.empty()) {
                return "No magnifier found; looking again";
            }
            return "Looking on " + PortLabel(port);
        case LINK_CONNECTED:
            return "Connected on " + PortLabel(port) + " [" + text + "]";
        case LINK_STOPPED:
            return "Stopped";
        default:
            return "Status " + std::to_string(status);
    }
}

std::string EscapeForConsole(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int RunRemote(const CtlOptions& options, CDeviceLink& link, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& interrupted) {
    // Levels are state: set before the link starts so the magnifier never sees
    // an intermediate value.
    CDeviceLink::Ticket lastAsked = link.SetLevels(static_cast<std::uint8_t>(options.position),
                                                   static_cast<std::uint8_t>(options.width));

    std::thread thread([&link] { LinkThreadProc(&link); });

    const auto timeout = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.timeoutSeconds));
    auto deadline = Clock::now() + timeout;
    // probe and watch alone send nothing of their own: they end (probe) as soon
    // as the magnifier answers.
    const bool sendsSomething = !options.presses.empty() || options.levelsGiven;
    std::string lastShown;
    size_t nextPress = 0;
    bool done = false;
    int exitCode = kExitOk;

    for (;;) {
        std::string text;
        int status = 0;
        const int port = link.CurrentPort();
        if (link.GetStatus(text, status)) {
            const std::string shown = DescribeStatus(status, text, port);
            if (shown != lastShown) {
                out << shown << std::endl;
                lastShown = shown;
            }
        }
        if (interrupted) {
            exitCode = options.watch ? kExitOk : kExitInterrupted;
            if (!options.watch) {
                err << "tavrelctl: interrupted" << std::endl;
            }
            break;
        }
        if (link.IsConnected()) {
            // The time to find the magnifier again after a loss, with
            // presses still to go out, is --timeout too.
            deadline = Clock::now() + timeout;
            // Presses are events: one at a time, each once the previous
            // one (or the levels) is on the wire, so that two of one button
            // are two presses.
            if (!sendsSomething) {
                done = true;
            } else if (!done && link.IsSent(lastAsked)) {
                if (nextPress < options.presses.size()) {
                    const CtlAction action = options.presses[nextPress++];
                    lastAsked = link.PressButton(ButtonOf(action));
                    out << "Pressing " << PressName(action) << std::endl;
                } else {
                    done = true;
                    out << "Sent; position " << options.position << ", width " << options.width
                        << std::endl;
                }
            }
            if (done && !options.watch) {
                break;
            }
        } else if (!options.watch && Clock::now() >= deadline) {
            exitCode = kExitNotDetected;
            break;
        }
        std::this_thread::sleep_for(kTick);
    }

    StopLink(link, thread);
    std::string text;
    int status = 0;
    if (link.GetStatus(text, status)) {
        const std::string shown = DescribeStatus(status, text, link.CurrentPort());
        if (shown != lastShown) {
            out << shown << std::endl;
        }
    }

    const std::string debugInfo = link.GetDebugInfo();
    out << "Last probe: " << (debugInfo.empty() ? "(none)" : EscapeForConsole(debugInfo))
        << std::endl;

    if (exitCode == kExitNotDetected) {
        err << "Tavrel Plus Not Detected" << std::endl;
        // Why each port tried gave no magnifier, one line each.
        const std::vector<std::string> reasons = link.GetPortReasons();
        if (reasons.empty()) {
            err << "No port was tried" << std::endl;
        }
        for (const std::string& line : reasons) {
            err << line << std::endl;
        }
    }
    return exitCode;
}
