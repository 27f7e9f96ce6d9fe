#include "ctl_remote.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "device/device_link.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(10);

CDeviceLink::Flag& PendingFlag(CDeviceLink& link, CtlAction action) {
    switch (action) {
        case CtlAction::Lines:
            return link.m_bLinesPending;
        case CtlAction::Options:
            return link.m_bOptionsPending;
        default:
            return link.m_bWindowPending;
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

std::string PortLabel(int nPort) {
    const std::string strName = CComPort::PortName(nPort);
    const std::string strCom = "COM" + std::to_string(nPort);
    return strName == strCom ? strCom : strCom + " (" + strName + ")";
}

std::string DescribeStatus(int nStatus, const std::string& strText, int nPort) {
    switch (nStatus) {
        case LINK_STARTING:
            return "Starting";
        case LINK_SEARCHING:
            if (strText.empty()) {
                return "No magnifier on COM1 to COM4; looking again";
            }
            return "Looking on " + PortLabel(nPort) + " [" + strText + "]";
        case LINK_CONNECTED:
            return "Connected on " + PortLabel(nPort) + " [" + strText + "]";
        case LINK_STOPPED:
            return "Stopped";
        default:
            return "Status " + std::to_string(nStatus);
    }
}

// Asks the thread to stop and waits until it has returned. The request is
// repeated because the thread clears it once as it starts.
void StopLink(CDeviceLink& link, std::thread& thread, const std::atomic<bool>& finished) {
    while (!finished) {
        link.m_bStopRequest = 1;
        std::this_thread::sleep_for(kTick);
    }
    thread.join();
}

}  // namespace

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
    link.m_nPosition = static_cast<std::uint8_t>(options.position);
    link.m_nWidth = static_cast<std::uint8_t>(options.width);

    std::atomic<bool> finished{false};
    std::thread thread([&link, &finished] {
        LinkThreadProc(&link);
        finished = true;
    });

    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(options.timeoutSeconds));
    // probe and watch alone send nothing of their own: they end (probe) as soon
    // as the magnifier answers.
    const bool bSendsSomething = !options.presses.empty() || options.levelsGiven;
    std::set<int> portsTried;
    std::string strLastShown;
    size_t nNextPress = 0;
    CDeviceLink::Flag* pLastPress = nullptr;
    bool bMarked = false;
    unsigned nCycleMark = 0;
    bool bEverConnected = false;
    bool bDone = false;
    int nExit = CTL_EXIT_OK;

    for (;;) {
        std::string strText;
        int nStatus = 0;
        const int nPort = link.m_nPort;
        if (nPort >= CDeviceLink::kFirstPort && nPort <= CDeviceLink::kLastPort &&
            link.m_bRunning) {
            portsTried.insert(nPort);
        }
        if (link.GetStatus(strText, nStatus)) {
            const std::string strShown = DescribeStatus(nStatus, strText, nPort);
            if (strShown != strLastShown) {
                out << strShown << std::endl;
                strLastShown = strShown;
            }
        }
        if (interrupted) {
            nExit = options.watch ? CTL_EXIT_OK : CTL_EXIT_INTERRUPTED;
            if (!options.watch) {
                err << "tavrelctl: interrupted" << std::endl;
            }
            break;
        }
        if (link.m_bConnected) {
            bEverConnected = true;
            // Presses are events: one at a time, each once the previous is taken.
            if (pLastPress == nullptr || *pLastPress == 0) {
                if (nNextPress < options.presses.size()) {
                    const CtlAction action = options.presses[nNextPress++];
                    pLastPress = &PendingFlag(link, action);
                    *pLastPress = 1;
                    out << "Pressing " << PressName(action) << std::endl;
                } else if (!bDone) {
                    if (!bSendsSomething) {
                        bDone = true;
                    } else if (!bMarked) {
                        nCycleMark = link.m_nPollCycles;
                        bMarked = true;
                    } else if (link.m_nPollCycles != nCycleMark) {
                        // A whole cycle has passed since the last press was
                        // taken: it and both levels are on the wire.
                        bDone = true;
                    }
                    if (bDone && bSendsSomething) {
                        out << "Sent; position " << options.position << ", width " << options.width
                            << std::endl;
                    }
                }
            }
            if (bDone && !options.watch) {
                break;
            }
        } else if (!bEverConnected && !options.watch && Clock::now() >= deadline) {
            nExit = CTL_EXIT_NOT_DETECTED;
            break;
        }
        std::this_thread::sleep_for(kTick);
    }

    StopLink(link, thread, finished);
    std::string strText;
    int nStatus = 0;
    if (link.GetStatus(strText, nStatus)) {
        const std::string strShown = DescribeStatus(nStatus, strText, link.m_nPort);
        if (strShown != strLastShown) {
            out << strShown << std::endl;
        }
    }

    const std::string strDebug = link.GetDebugInfo();
    out << "Last probe: " << (strDebug.empty() ? "(none)" : EscapeForConsole(strDebug))
        << std::endl;

    if (nExit == CTL_EXIT_NOT_DETECTED) {
        err << "Tavrel Plus Not Detected" << std::endl;
        std::string strTried;
        for (int nPort : portsTried) {
            strTried += (strTried.empty() ? "" : ", ") + PortLabel(nPort);
        }
        err << "Ports tried: " << (strTried.empty() ? "none" : strTried) << std::endl;
    }
    return nExit;
}
