// tavrel-sim: the magnifier simulator. See UsageText() for the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "simulator.h"

int main(int argc, char** argv) {
    using namespace tavrel_sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    switch (ParseArguments(args, options, error)) {
        case ArgsResult::Help:
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        case ArgsResult::Error:
            std::fprintf(stderr, "tavrel-sim: %s\nTry 'tavrel-sim --help'.\n", error.c_str());
            return 2;
        case ArgsResult::Run:
            break;
    }
    Simulator simulator(std::move(options));
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "tavrel-sim: %s\n", error.c_str());
        return 1;
    }
    return simulator.Run();
}
