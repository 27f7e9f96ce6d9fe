// Figures of the device link against the simulator on a pseudo-terminal (it
// never fails on them): time to connect, press to the first byte and to the whole
// command (a real wire at 9600 baud adds 1.04 ms a byte), unplug and replug
// noticed, the link's wake-ups and CPU while idle.
//   link_bench [PRESSES [IDLE_SECONDS [ROUNDS]]]    (default 200 60 5)
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    const std::size_t n = v.size();
    v.push_back(v.empty() ? -1 : v.back());  // -1: the link did not get there in 10 s
    std::printf("%s, %zu rounds: p50 %.1f ms, p90 %.1f ms, p99 %.1f ms, max %.1f ms\n", pszWhat, n,
                v[n / 2], v[n * 9 / 10], v[n * 99 / 100], v.back());
}

// Voluntary and forced context switches of every thread of this process so far.
long ContextSwitches() {
    long nTotal = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string word; status >> word;) {
            if (word.ends_with("ctxt_switches:")) {
                long n = 0;
                status >> n;
                nTotal += n;
            }
        }
    }
    return nTotal;
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
        if (WaitFor([&] { return link.IsConnected(); }, 10s)) {
            connect.push_back(NowMs() - t0);
        }
    }
    Print("start to connected on COM3", connect);

    SimProcess sim;
    MapPorts({sim.LinkPath()});
    // The simulator's log time 0 on our clock: its first line is "# clock MS".
    const double epoch = std::atof(sim.Log().at(0).text.c_str() + 8);
    CDeviceLink link;
    link.SetLevels(63, 63);
    LinkRunner running(link);
    sim.Control("first on");
    // A press lands 60 to 1200 ms after the last command (past the magnifier's
    // 50 ms pause after it): in the link's idle wait, now and then on its
    // keep-alive probe.
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> phase(60, 1200);
    int from = sim.WaitForLine("w3f", 10s);
    std::vector<double> first, whole;
    for (int i = 0; i < presses && from >= 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(phase(rng)));
        const double tSet = NowMs();
        link.PressButton(LinkButton::Window);
        const int at = sim.WaitForLine("BW", 5s, from + 1);
        from = at < 0 ? -1 : sim.WaitForLine("w3f", 5s, at);
        if (from >= 0) {
            whole.push_back(sim.Log()[at].ms + epoch - tSet);
            first.push_back(sim.Log()[at - 1].ms + epoch - tSet);  // its "# first byte"
        }
    }
    Print("press to the first byte at the magnifier (1 ms log)", first);
    Print("press to the whole command at the magnifier", whole);
    sim.Control("first off");

    // From a command to the simulator to the link's noticing it; -1 after 10 s.
    auto timeTo = [&](const char* pszCommand, bool bConnected) {
        const double t0 = NowMs();
        sim.Control(pszCommand);
        const bool bDone = WaitFor([&] { return link.IsConnected() == bConnected; }, 10s);
        return bDone ? NowMs() - t0 : -1.0;
    };
    for (int r = 0; r < rounds; ++r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(137 * r % 900));
        lost.push_back(timeTo("unplug", false));
        found.push_back(timeTo("replug", true));
    }
    Print("unplug to disconnected", lost);
    Print("replug to connected", found);

    auto cpuMs = [](std::thread::native_handle_type handle) {
        clockid_t id;
        timespec ts{};
        pthread_getcpuclockid(handle, &id);
        clock_gettime(id, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    const double link0 = cpuMs(running.NativeHandle());
    const long switches0 = ContextSwitches();
    const double t0 = NowMs();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double wall = NowMs() - t0, linkCpu = cpuMs(running.NativeHandle()) - link0;
    std::printf(
        "link thread while connected and idle for %d s: CPU %.1f ms, %.4f%% of a core; "
        "%.2f wake-ups a second (context switches of the process)\n",
        idleSeconds, linkCpu, 100.0 * linkCpu / wall,
        (ContextSwitches() - switches0 - 1) * 1000.0 / wall);
    return 0;
}
