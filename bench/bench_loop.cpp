// Times a lesson that runs until its window is closed: each run lets it draw for
// two seconds, then asks it to close (SIGTERM, which SDL turns into SDL_QUIT) and
// prints the medians: its first frame (from its start), the frames it presents a
// second, the CPU time (user and system) it spends a frame, its peak resident
// memory, and how long it takes to end once asked.
//
// Usage: bench_loop <runs> <driver> <frame_clock.so> <lesson>...
// The driver is an SDL video driver (dummy, x11, wayland); the preload, a file
// name found through LD_LIBRARY_PATH, counts the frames.

#include "launch.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr double kDrawSeconds = 2.0;

double now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Sample {
    double first_ms, per_second, cpu_ms_per_frame, mib, end_ms;
};

bool run_once(const std::string& program, const std::string& driver, const std::string& preload,
              Sample& sample)
{
    char frames_file[] = "/tmp/bench_loop.XXXXXX";
    const int fd = mkstemp(frames_file);
    if (fd < 0) {
        std::perror("mkstemp");
        return false;
    }
    close(fd);
    Launch launch(program, driver, preload, {std::string("BENCH_FRAMES=") + frames_file});
    const double started = now_ms();
    const pid_t pid = launch.spawn();
    if (pid < 0) {
        std::perror(program.c_str());
        std::remove(frames_file);
        return false;
    }
    usleep(static_cast<useconds_t>(kDrawSeconds * 1e6));
    const double asked = now_ms();
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ended = now_ms();

    long long first_ns = 0, frames = 0;
    FILE* in = std::fopen(frames_file, "r");
    const bool read = in != nullptr && std::fscanf(in, "%lld %lld", &first_ns, &frames) == 2;
    if (in != nullptr) {
        std::fclose(in);
    }
    std::remove(frames_file);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !read || frames == 0) {
        std::fprintf(stderr, "%s on %s: status %d, %lld frames: it must draw and end when closed\n",
                     program.c_str(), driver.c_str(), status, frames);
        return false;
    }
    const double cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                          (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    sample.first_ms = first_ns / 1e6 - started;
    sample.per_second = frames / ((asked - started) / 1e3);
    sample.cpu_ms_per_frame = cpu_ms / static_cast<double>(frames);
    sample.mib = usage.ru_maxrss / 1024.0;
    sample.end_ms = ended - asked;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s <runs> <driver> <frame_clock.so> <lesson>...\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    if (runs < 1) {
        std::fprintf(stderr, "%s: <runs> must be 1 or more, not '%s'\n", argv[0], argv[1]);
        return 2;
    }
    for (int i = 4; i < argc; ++i) {
        std::vector<double> first, per_second, cpu, mib, end;
        for (int r = 0; r < runs; ++r) {
            Sample s{};
            if (!run_once(argv[i], argv[2], argv[3], s)) {
                return 1;
            }
            first.push_back(s.first_ms);
            per_second.push_back(s.per_second);
            cpu.push_back(s.cpu_ms_per_frame);
            mib.push_back(s.mib);
            end.push_back(s.end_ms);
        }
        const std::string path = argv[i];
        std::printf("| %s | %s | %.1f | %.0f | %.3f | %.1f | %.1f |\n",
                    path.substr(path.find_last_of('/') + 1).c_str(), argv[2], median(first),
                    median(per_second), median(cpu), median(mib), median(end));
        std::fflush(stdout);
    }
    return 0;
}
