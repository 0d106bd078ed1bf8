#include "harness.hpp"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace harness {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "lesson-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

namespace {

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double ms_between(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The pictures SDL's dummy driver has saved in `folder` (SDL_window<id>-<n>.bmp),
// by number, so that frame 10 comes after frame 9.
std::map<long, fs::path> frames_in(const fs::path& folder)
{
    std::map<long, fs::path> frames;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string stem = entry.path().stem().string();
        if (stem.rfind("SDL_window", 0) == 0 && entry.path().extension() == ".bmp") {
            frames[std::atol(stem.substr(stem.rfind('-') + 1).c_str())] = entry.path();
        }
    }
    return frames;
}

// A traced twin's records of its calls, from its standard error.
std::vector<Call> calls_in(const std::string& err)
{
    std::vector<Call> calls;
    for (const std::string& line : expect::split_lines(err)) {
        if (line.rfind("{\"ms\":", 0) != 0) {
            continue;
        }
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded()) {
            ADD_FAILURE() << "a trace record that is not JSON: " << line;
            continue;
        }
        Call call;
        call.name = record.value("call", "");
        call.args = record.value("args", std::vector<std::string>{});
        call.result = record.value("result", "");
        call.file = record.value("file", "");
        call.line = record.value("line", 0);
        call.depth = record.value("depth", 0u);
        call.failed = record.value("failed", "");
        calls.push_back(call);
    }
    return calls;
}

} // namespace

Result run(const std::string& program, const Options& options)
{
    TempDir work;
    const fs::path err_path = work.path() / "stderr.txt";
    const fs::path cwd = options.cwd.empty() ? work.path() / "cwd" : options.cwd;
    fs::create_directories(cwd);

    std::vector<std::pair<std::string, std::string>> env = {
        {"SDL_VIDEODRIVER", "dummy"},
        // The dummy driver saves each picture presented as SDL_window<id>-<n>.bmp.
        {"SDL_VIDEO_DUMMY_SAVE_FRAMES", "1"},
        {"LESSONS_TRACE_FORMAT", "json"},
        // Sanitizer reports get exit codes no lesson uses, so they can't pass as
        // an expected failure exit.
        {"ASAN_OPTIONS", "exitcode=86:detect_leaks=1"},
        {"UBSAN_OPTIONS", "halt_on_error=1:exitcode=87:print_stacktrace=1"},
        {"LSAN_OPTIONS", "exitcode=88"},
    };
    env.insert(env.end(), options.env.begin(), options.env.end());

    std::vector<std::string> argv_text = options.wrapper;
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2];
    if (pipe(out_pipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // The child: only async-signal-safe work would be strictly proper here,
        // but the test process is single-threaded.
        for (const auto& [name, value] : env) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (err < 0 || in < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out_pipe[1], 1);
        dup2(err, 2);
        close(out_pipe[0]);
        close(out_pipe[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);

    // Polled, so that a program that hangs is ended at the deadline rather than by
    // CTest's timeout, which would not say which run hung. Only a signal may
    // interrupt the wait; any other error (ECHILD, when someone else reaped the
    // child) would make retrying spin forever.
    Result result;
    int status = 0;
    pid_t waited = 0;
    std::optional<Clock::time_point> first_frame_at, closed_at, last_line_at;
    Clock::time_point looked_at = start;
    long first_frame = -1;
    auto read_output = [&] {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(out_pipe[0], buffer, sizeof buffer)) > 0) {
            result.out.append(buffer, static_cast<std::size_t>(got));
            if (std::memchr(buffer, '\n', static_cast<std::size_t>(got)) != nullptr) {
                last_line_at = Clock::now();
            }
        }
    };
    // Of the pictures SDL saves, the first and the newest are kept: a lesson that
    // draws sixty frames a second would fill the disk.
    auto look_at_frames = [&] {
        auto frames = frames_in(cwd);
        if (frames.empty()) {
            return;
        }
        if (first_frame < 0) {
            first_frame = frames.begin()->first;
            first_frame_at = Clock::now();
        }
        const long newest = frames.rbegin()->first;
        for (const auto& [number, path] : frames) {
            if (number != first_frame && number != newest) {
                std::error_code ignored;
                fs::remove(path, ignored);
            }
        }
    };
    while ((waited = waitpid(pid, &status, WNOHANG)) != pid) {
        if (waited < 0 && errno != EINTR) {
            ADD_FAILURE() << "cannot wait for " << program << ": " << std::strerror(errno);
            close(out_pipe[0]);
            return result;
        }
        const auto now = Clock::now();
        read_output();
        if (ms_between(looked_at, now) >= 10) {
            looked_at = now;
            look_at_frames();
        }
        if (options.close_after_ms >= 0 && first_frame_at && !closed_at &&
            ms_between(*first_frame_at, now) >= options.close_after_ms) {
            kill(pid, SIGTERM);
            closed_at = now;
        }
        if (now - start > std::chrono::duration<double>(options.deadline_seconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", options.deadline_seconds);
            ADD_FAILURE() << program << " did not exit within " << limit << " s; it was killed";
            break;
        }
        usleep(1000); // a millisecond: the exit time is measured to that
    }
    const auto ended = Clock::now();
    const auto ended_on_disk = fs::file_time_type::clock::now();
    read_output();
    close(out_pipe[0]);
    result.seconds = ms_between(start, ended) / 1000;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.lines = expect::split_lines(result.out);
    result.err = read_file(err_path);
    result.calls = calls_in(result.err);

    expect::Run& run = result.run;
    run.lines = result.lines;
    run.exit_status = result.signal != 0 ? -1 : result.exit_code;
    look_at_frames();
    const auto frames = frames_in(cwd);
    result.frames_kept = static_cast<int>(frames.size());
    if (!frames.empty()) {
        picture::Picture picture;
        std::string why;
        if (picture::load(frames.begin()->second.string(), picture, why)) {
            run.frame = picture;
        } else {
            ADD_FAILURE() << "cannot read the picture " << frames.begin()->second << ": " << why;
        }
        if (picture::load(frames.rbegin()->second.string(), picture, why)) {
            result.last_frame = picture;
        }
        run.hold_ms = std::chrono::duration<double, std::milli>(
                          ended_on_disk - fs::last_write_time(frames.rbegin()->second))
                          .count();
    }
    if (last_line_at) {
        run.last_line_lead_ms = ms_between(*last_line_at, ended);
    }
    if (closed_at) {
        run.closed_ms = ms_between(*closed_at, ended);
    }
    return result;
}

std::string program(const std::string& lesson, bool traced)
{
    return std::string(LESSON_BIN_DIR) + lesson + (traced ? "-trace" : "");
}

std::vector<Call> calls_named(const Result& result, const std::string& name)
{
    std::vector<Call> found;
    for (const Call& call : result.calls) {
        if (call.name == name) {
            found.push_back(call);
        }
    }
    return found;
}

int call_index(const Result& result, const std::string& name, const std::string& first)
{
    for (std::size_t i = 0; i < result.calls.size(); ++i) {
        const Call& call = result.calls[i];
        if (call.name == name && (first.empty() || (!call.args.empty() && call.args[0] == first))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

::testing::AssertionResult ran_clean(const Result& result)
{
    if (result.signal != 0) {
        return ::testing::AssertionFailure() << "killed by signal " << result.signal;
    }
    if (result.err.find("Sanitizer") != std::string::npos ||
        result.err.find("runtime error:") != std::string::npos) {
        return ::testing::AssertionFailure() << "sanitizer report:\n" << result.err;
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> lessons()
{
    std::vector<std::string> names;
    for (const expect::Lesson& lesson : expect::lessons()) {
        names.push_back(lesson.name);
    }
    return names;
}

} // namespace harness
