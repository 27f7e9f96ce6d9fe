// Figures of the device link against the simulator on a pseudo-terminal:
// press latency, time to connect, time to notice an unplug and a replug, and
// the link thread's CPU time while idle. Prints figures; never fails on them.
//
//   link_bench [--presses N] [--idle-seconds S] [--rounds R]
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/device_link.h"
#include "link_runner.h"
#include "sim_process.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double NowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * v.size()));
    return v[i];
}

int Status(CDeviceLink& link) {
    std::string text;
    int status = 0;
    link.GetStatus(text, status);
    return status;
}

void MapPorts(const SimProcess& sim, int nDevicePort) {
    for (int n = 1; n <= 4; ++n) {
        CComPort::SetPortPath(
            n, n == nDevicePort ? sim.LinkPath() : sim.Dir() + "/none" + std::to_string(n));
    }
}

// The simulator stamps its log in milliseconds since it started; this is that
// start on our steady clock.
double SimEpochMs(const SimProcess& sim) {
    for (const auto& line : sim.Log()) {
        if (line.text.rfind("# clock ", 0) == 0) {
            return std::atof(line.text.c_str() + 8);
        }
    }
    std::fprintf(stderr, "link_bench: the simulator's log has no clock line\n");
    std::exit(1);
}

void TimeToConnect(int rounds) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        SimProcess sim;
        MapPorts(sim, 3);
        CDeviceLink link;
        const double t0 = NowMs();
        LinkRunner running(link);
        if (!WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
            std::printf("  connect: not found within 10 s\n");
            return;
        }
        times.push_back(NowMs() - t0);
    }
    std::printf("start to connected, magnifier on COM3 (COM1, COM2 missing), %d rounds:\n", rounds);
    std::printf("  median %.0f ms, min %.0f ms, max %.0f ms\n", Percentile(times, 50),
                Percentile(times, 0), Percentile(times, 100));
}

void PressLatency(int presses) {
    SimProcess sim;
    MapPorts(sim, 1);
    const double epoch = SimEpochMs(sim);
    CDeviceLink link;
    link.m_nPosition = 63;  // as the panel starts
    link.m_nWidth = 63;
    LinkRunner running(link);
    if (!WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
        std::printf("press latency: not connected\n");
        return;
    }
    std::mt19937 rng(12345);
    // After a press the link is busy for 150 ms and then idles in 50 ms cycles;
    // waiting 100 to 200 ms after the last command lands each press at a
    // uniformly random point of an idle cycle, as a user's press would.
    std::uniform_int_distribution<int> phase(100, 200);
    std::vector<double> latencies;
    size_t from = sim.Log().size();
    for (int i = 0; i < presses; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(phase(rng)));
        const double tSet = NowMs();
        link.m_bWindowPending = 1;
        const int at = sim.WaitForLine("BW", 5s, from);
        if (at < 0) {
            std::printf("  press %d never reached the magnifier\n", i);
            return;
        }
        const int after = sim.WaitForLine("w3f", 5s, at);  // the cycle is over
        if (after < 0) {
            std::printf("  press %d was not followed by the width\n", i);
            return;
        }
        latencies.push_back(sim.Log()[at].ms + epoch - tSet);
        from = static_cast<size_t>(after) + 1;
    }
    std::printf("press set in the record to its command at the magnifier, %d presses:\n", presses);
    std::printf("  p50 %.1f ms, p99 %.1f ms, max %.1f ms (log resolution 1 ms)\n",
                Percentile(latencies, 50), Percentile(latencies, 99), Percentile(latencies, 100));
}

void UnplugReplug(int rounds) {
    SimProcess sim;
    MapPorts(sim, 1);
    CDeviceLink link;
    LinkRunner running(link);
    std::vector<double> lost, found;
    for (int r = 0; r < rounds; ++r) {
        if (!WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
            std::printf("unplug/replug: not connected\n");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(137 * r % 900));
        double t0 = NowMs();
        sim.Control("unplug");
        if (!WaitFor([&] { return Status(link) == LINK_SEARCHING; }, 10s)) {
            std::printf("unplug not noticed within 10 s\n");
            return;
        }
        lost.push_back(NowMs() - t0);
        t0 = NowMs();
        sim.Control("replug");
        if (!WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
            std::printf("replug not noticed within 10 s\n");
            return;
        }
        found.push_back(NowMs() - t0);
    }
    std::printf("unplug to status 1 (searching), %d rounds:\n", rounds);
    std::printf("  median %.0f ms, min %.0f ms, max %.0f ms\n", Percentile(lost, 50),
                Percentile(lost, 0), Percentile(lost, 100));
    std::printf("replug to connected, %d rounds:\n", rounds);
    std::printf("  median %.0f ms, min %.0f ms, max %.0f ms\n", Percentile(found, 50),
                Percentile(found, 0), Percentile(found, 100));
}

void IdleCpu(int seconds) {
    SimProcess sim;
    MapPorts(sim, 1);
    CDeviceLink link;
    LinkRunner running(link);
    if (!WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
        std::printf("idle CPU: not connected\n");
        return;
    }
    // Beside it, a thread that does nothing but sleep in 50 ms steps: the
    // price of the idle link's 20 wake-ups a second on this machine.
    std::atomic<bool> stop{false};
    std::thread sleeper([&stop] {
        while (!stop) {
            std::this_thread::sleep_for(50ms);
        }
    });
    auto cpuOf = [](std::thread::native_handle_type handle) {
        clockid_t id;
        timespec ts{};
        if (pthread_getcpuclockid(handle, &id) != 0 || clock_gettime(id, &ts) != 0) {
            return -1.0;
        }
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    const double link0 = cpuOf(running.NativeHandle());
    const double sleeper0 = cpuOf(sleeper.native_handle());
    const double t0 = NowMs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double linkCpu = cpuOf(running.NativeHandle()) - link0;
    const double sleeperCpu = cpuOf(sleeper.native_handle()) - sleeper0;
    const double wall = NowMs() - t0;
    stop = true;
    sleeper.join();
    std::printf("link thread CPU time while connected and idle for %d s:\n", seconds);
    std::printf("  %.1f ms, %.4f%% of a core\n", linkCpu, 100.0 * linkCpu / wall);
    std::printf("  (a thread that only sleeps 50 ms at a time: %.1f ms, %.4f%% of a core)\n",
                sleeperCpu, 100.0 * sleeperCpu / wall);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int presses = 200;
    int idleSeconds = 60;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const bool next = i + 1 < argc;
        if (!std::strcmp(argv[i], "--presses") && next) {
            presses = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--idle-seconds") && next) {
            idleSeconds = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--rounds") && next) {
            rounds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: link_bench [--presses N] [--idle-seconds S] [--rounds R]\n");
            return 2;
        }
    }
    if (presses < 1 || idleSeconds < 1 || rounds < 1) {
        std::fprintf(stderr, "link_bench: counts must be at least 1\n");
        return 2;
    }
    TimeToConnect(rounds);
    PressLatency(presses);
    UnplugReplug(rounds);
    IdleCpu(idleSeconds);
    return 0;
}
