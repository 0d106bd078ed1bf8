// Runs each lesson and its floor program many times and prints the medians:
// the whole run (the 2000 ms hold taken out), peak resident memory, and the
// time of a failed start-up (which must not hold).
//
// Usage: bench <runs> <driver> <no_delay.so> <lesson> <floor> [<lesson> <floor> ...]
// A floor of "-" means the lesson has none: it is timed alone, with no ratio.
// The driver is an SDL video driver (dummy, x11, wayland); x11 needs DISPLAY and
// wayland WAYLAND_DISPLAY. The preload is a file name found through LD_LIBRARY_PATH.

#include "launch.hpp"

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Sample {
    double ms = 0;
    double mib = 0;
    int status = -1;
};

Sample run_once(const std::string& program, const std::string& driver, const std::string& preload)
{
    Launch launch(program, driver, preload);
    Sample sample;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = launch.spawn();
    if (pid < 0) {
        std::perror(program.c_str());
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sample.mib = usage.ru_maxrss / 1024.0;
    sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
    double run_ms, mib, fail_ms;
};

std::string base_name(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 6 || (argc - 4) % 2 != 0) {
        std::fprintf(stderr, "usage: %s <runs> <driver> <no_delay.so> <lesson> <floor> ...\n",
                     argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    if (runs < 1) {
        // A median of no runs means nothing.
        std::fprintf(stderr, "%s: <runs> must be 1 or more, not '%s'\n", argv[0], argv[1]);
        return 2;
    }
    const std::string driver = argv[2];
    const std::string no_delay = argv[3];

    bool all_met = true;
    for (int i = 4; i + 1 < argc; i += 2) {
        const std::string programs[2] = {argv[i], argv[i + 1]};
        const int count = programs[1] == "-" ? 1 : 2;
        std::vector<double> run_ms[2], mib[2], fail_ms[2];
        // Lesson and floor take turns, each going first every other round, so
        // drift on the machine hits both alike.
        for (int r = 0; r < runs; ++r) {
            for (int turn = 0; turn < count; ++turn) {
                const int p = (r + turn) % count;
                Sample ok = run_once(programs[p], driver, no_delay);
                if (ok.status != 0) {
                    std::fprintf(stderr, "%s exited %d on %s\n", programs[p].c_str(), ok.status,
                                 driver.c_str());
                    return 1;
                }
                run_ms[p].push_back(ok.ms);
                mib[p].push_back(ok.mib);
                // A start-up that fails, with the real SDL_Delay in place.
                Sample failed = run_once(programs[p], "no-such-driver", "");
                fail_ms[p].push_back(failed.ms);
            }
        }
        Figures lesson{median(run_ms[0]), median(mib[0]), median(fail_ms[0])};
        const bool fail_met = driver != "dummy" || lesson.fail_ms <= 50.0;
        if (count == 1) {
            // Nothing to compare with: the figures alone, and the failure target.
            all_met = all_met && fail_met;
            std::printf("| %s | %s | %.1f | no floor | no ratio | %.1f | | | %.1f | | %s |\n",
                        base_name(programs[0]).c_str(), driver.c_str(), lesson.run_ms, lesson.mib,
                        lesson.fail_ms, fail_met ? "no floor program: failure only" : "**no**");
            std::fflush(stdout);
            continue;
        }
        Figures floor{median(run_ms[1]), median(mib[1]), median(fail_ms[1])};
        const bool time_met = lesson.run_ms <= std::max(floor.run_ms * 1.05, floor.run_ms + 0.5);
        const bool memory_met = lesson.mib <= floor.mib + 1.0;
        all_met = all_met && time_met && memory_met && fail_met;
        std::printf("| %s | %s | %.1f | %.1f | %.3f | %.1f | %.1f | %+.2f | %.1f | %.1f | %s |\n",
                    base_name(programs[0]).c_str(), driver.c_str(), lesson.run_ms, floor.run_ms,
                    lesson.run_ms / floor.run_ms, lesson.mib, floor.mib, lesson.mib - floor.mib,
                    lesson.fail_ms, floor.fail_ms,
                    time_met && memory_met && fail_met ? "yes" : "**no**");
        std::fflush(stdout);
    }
    return all_met ? 0 : 3;
}
