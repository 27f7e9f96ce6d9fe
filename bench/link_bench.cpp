// Figures of the device link against the simulator on a pseudo-terminal:
// time to connect, press latency, time to notice an unplug and a replug, and
// the link thread's CPU time while idle. Prints figures; never fails on them.
//
//   link_bench [PRESSES [IDLE_SECONDS [ROUNDS]]]    (default 200 60 5)
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "sim_process.h"

namespace {

using namespace std::chrono_literals;

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Print(const char* pszWhat, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    v.push_back(v.empty() ? -1 : v.back());  // -1: the link did not get there in 10 s
    std::printf("%s, %zu rounds: median %.1f ms, p99 %.1f ms, max %.1f ms\n", pszWhat, v.size() - 1,
                v[v.size() / 2], v[v.size() * 99 / 100], v.back());
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int presses = argc > 1 ? std::atoi(argv[1]) : 200;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (presses < 1 || idleSeconds < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: link_bench [PRESSES [IDLE_SECONDS [ROUNDS]]]\n");
        return 2;
    }
    std::vector<double> connect, latency, lost, found;
    for (int r = 0; r < rounds; ++r) {
        SimProcess sim;
        MapPorts({"", "", sim.LinkPath()});
        CDeviceLink link;
        const double t0 = NowMs();
        LinkRunner running(link);
        if (WaitFor([&] { return link.m_bConnected != 0; }, 10s)) {
            connect.push_back(NowMs() - t0);
        }
    }
    Print("start to connected on COM3", connect);

    SimProcess sim;
    MapPorts({sim.LinkPath()});
    // The simulator's log time 0 on our clock: its first line is "# clock MS".
    const double epoch = std::atof(sim.Log().at(0).text.c_str() + 8);
    CDeviceLink link;
    link.m_nPosition = 63;
    link.m_nWidth = 63;
    LinkRunner running(link);
    // After a press the link is busy for 150 ms, then idles in 50 ms cycles:
    // 100 to 200 ms after the last command a press lands anywhere in a cycle.
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> phase(100, 200);
    int from = sim.WaitForLine("w3f", 10s);
    for (int i = 0; i < presses && from >= 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(phase(rng)));
        const double tSet = NowMs();
        link.m_bWindowPending = 1;
        const int at = sim.WaitForLine("BW", 5s, from + 1);
        from = at < 0 ? -1 : sim.WaitForLine("w3f", 5s, at);
        if (from >= 0) {
            latency.push_back(sim.Log()[at].ms + epoch - tSet);
        }
    }
    Print("press set in the record to its command at the magnifier (1 ms log)", latency);

    // From a command to the simulator to the link's noticing it; -1 after 10 s.
    auto timeTo = [&](const char* pszCommand, bool bConnected) {
        const double t0 = NowMs();
        sim.Control(pszCommand);
        const bool bDone = WaitFor([&] { return (link.m_bConnected != 0) == bConnected; }, 10s);
        return bDone ? NowMs() - t0 : -1.0;
    };
    for (int r = 0; r < rounds; ++r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(137 * r % 900));
        lost.push_back(timeTo("unplug", false));
        found.push_back(timeTo("replug", true));
    }
    Print("unplug to disconnected", lost);
    Print("replug to connected", found);

    // Beside the link, a thread that only sleeps in 50 ms steps: the price of
    // the idle link's twenty wake-ups a second on this machine.
    std::atomic<bool> bStop{false};
    std::thread sleeper([&bStop] {
        while (!bStop) {
            std::this_thread::sleep_for(50ms);
        }
    });
    auto cpuMs = [](std::thread::native_handle_type handle) {
        clockid_t id;
        timespec ts{};
        pthread_getcpuclockid(handle, &id);
        clock_gettime(id, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    const double link0 = cpuMs(running.NativeHandle()), sleeper0 = cpuMs(sleeper.native_handle());
    const double t0 = NowMs();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double wall = NowMs() - t0, linkCpu = cpuMs(running.NativeHandle()) - link0;
    const double sleeperCpu = cpuMs(sleeper.native_handle()) - sleeper0;
    bStop = true;
    sleeper.join();
    std::printf(
        "link thread CPU while connected and idle for %d s: %.1f ms, %.4f%% of a core\n"
        "  (a thread that only sleeps 50 ms at a time: %.4f%% of a core)\n",
        idleSeconds, linkCpu, 100.0 * linkCpu / wall, 100.0 * sleeperCpu / wall);
    return 0;
}
