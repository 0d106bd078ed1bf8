#include "harness.hpp"

#include "check/expectations.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace harness {

namespace fs = std::filesystem;

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

Uint32 Frame::pixel(int x, int y) const
{
    const int bytes = SDL_BYTESPERPIXEL(format);
    const std::uint8_t* p =
        pixels.data() + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x) * bytes;
    Uint32 value = 0;
    std::memcpy(&value, p, static_cast<std::size_t>(bytes)); // little-endian host
    return value;
}

namespace {

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool read_frame(const fs::path& path, Frame& frame)
{
    std::ifstream in(path, std::ios::binary);
    std::string tag;
    if (!(in >> tag >> frame.width >> frame.height >> frame.pitch >> frame.format) ||
        tag != "FRAME") {
        return false;
    }
    in.get(); // the newline after the header
    frame.pixels.resize(static_cast<std::size_t>(frame.pitch) * frame.height);
    in.read(reinterpret_cast<char*>(frame.pixels.data()),
            static_cast<std::streamsize>(frame.pixels.size()));
    return static_cast<std::size_t>(in.gcount()) == frame.pixels.size();
}

} // namespace

Result run(const std::string& program, const Options& options)
{
    TempDir work;
    const fs::path out_path = work.path() / "stdout.txt";
    const fs::path err_path = work.path() / "stderr.txt";
    const fs::path log_path = work.path() / "calls.log";
    const fs::path frame_path = work.path() / "frame.raw";
    const fs::path cwd = options.cwd.empty() ? work.path() / "cwd" : options.cwd;
    fs::create_directories(cwd);

    std::vector<std::pair<std::string, std::string>> env = {
        {"SDL_VIDEODRIVER", "dummy"},
        // Sanitizer reports get exit codes no lesson uses, so they can't pass as
        // an expected failure exit. The seam is preloaded before the sanitizer runtime.
        {"ASAN_OPTIONS", "verify_asan_link_order=0:exitcode=86:detect_leaks=1"},
        {"UBSAN_OPTIONS", "halt_on_error=1:exitcode=87:print_stacktrace=1"},
        {"LSAN_OPTIONS", "exitcode=88"},
    };
    if (options.seam) {
        // The loader splits LD_PRELOAD at spaces and cannot escape them, so it gets
        // bare file names, looked up through LD_LIBRARY_PATH, which is split at
        // colons only: a build directory with spaces in its path still works.
        if (std::string(SDL_SEAM_PATH).find(':') != std::string::npos) {
            ADD_FAILURE() << "the build directory's path has a ':', which LD_LIBRARY_PATH "
                             "cannot hold: build the tests elsewhere";
        }
        std::string preload = fs::path(SDL_SEAM_PATH).filename().string();
        std::string library_path = fs::path(SDL_SEAM_PATH).parent_path().string();
        if (!options.preload.empty()) {
            preload += " " + fs::path(options.preload).filename().string();
            library_path += ":" + fs::path(options.preload).parent_path().string();
        }
        if (const char* inherited = std::getenv("LD_LIBRARY_PATH")) {
            library_path += std::string(":") + inherited;
        }
        env.emplace_back("LD_PRELOAD", preload);
        env.emplace_back("LD_LIBRARY_PATH", library_path);
        env.emplace_back("SEAM_LOG", log_path.string());
        env.emplace_back("SEAM_FRAME", frame_path.string());
    }
    env.insert(env.end(), options.env.begin(), options.env.end());

    std::vector<std::string> argv_text = {program};
    argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // The child: only async-signal-safe work would be strictly proper here,
        // but the test process is single-threaded.
        unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }

    // Polled, so that a program that hangs is ended at the deadline rather than by
    // CTest's timeout, which would not say which run hung. Only a signal may
    // interrupt the wait; any other error (ECHILD, when someone else reaped the
    // child) would make retrying spin forever.
    int status = 0;
    pid_t waited = 0;
    Result result;
    while ((waited = waitpid(pid, &status, WNOHANG)) != pid) {
        if (waited < 0 && errno != EINTR) {
            ADD_FAILURE() << "cannot wait for " << program << ": " << std::strerror(errno);
            return result;
        }
        if (std::chrono::steady_clock::now() - start >
            std::chrono::duration<double>(options.deadline_seconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", options.deadline_seconds);
            ADD_FAILURE() << program << " did not exit within " << limit << " s; it was killed";
            break;
        }
        usleep(1000); // a millisecond: the exit time is measured to that
    }
    result.ended = fs::file_time_type::clock::now();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = read_file(out_path);
    result.lines = expect::split_lines(result.out);
    result.err = read_file(err_path);
    // A preload that did not load leaves the program unobserved: say so, with the
    // loader's own words, rather than let every check fail for a reason it hides.
    if (options.seam && result.err.find("LD_PRELOAD cannot be preloaded") != std::string::npos) {
        ADD_FAILURE() << "the test seam was not loaded into " << program << ":\n" << result.err;
    }
    result.calls = expect::split_lines(read_file(log_path));
    Frame frame;
    if (fs::exists(frame_path) && read_frame(frame_path, frame)) {
        result.frame = std::move(frame);
    }
    return result;
}

std::vector<std::string> calls_named(const Result& result, const std::string& name)
{
    std::vector<std::string> found;
    for (const std::string& call : result.calls) {
        if (call.rfind(name + " ", 0) == 0 || call == name) {
            found.push_back(call);
        }
    }
    return found;
}

std::string logged_pointer(const Result& result, const std::string& call)
{
    auto calls = calls_named(result, call);
    if (calls.size() != 1) {
        return "<" + call + " called " + std::to_string(calls.size()) + " times>";
    }
    std::string rest = calls[0].substr(call.size() + 1);
    return rest.substr(0, rest.find(' '));
}

int call_index(const Result& result, const std::string& prefix)
{
    for (std::size_t i = 0; i < result.calls.size(); ++i) {
        if (result.calls[i].rfind(prefix, 0) == 0) {
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
    std::istringstream list(LESSONS);
    for (std::string name; std::getline(list, name, ',');) {
        names.push_back(name);
    }
    return names;
}

std::string pointer_text(const void* pointer)
{
    char text[64];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

} // namespace harness
