// Runs a built lesson program as a user would, headless on SDL's dummy driver, and
// collects what it printed and when, how it exited, the pictures it presented
// and, for a traced twin, the SDL calls it made (its trace, read as records).
#pragma once

#include "check/expectations.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// A fresh directory, removed with everything in it when this goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const
    {
        return path_;
    }

private:
    std::filesystem::path path_;
};

struct Options {
    std::vector<std::string> args;                        // after the program name
    std::vector<std::pair<std::string, std::string>> env; // set on top of the defaults
    std::vector<std::string> wrapper;                     // runs the program (valgrind ...)
    std::filesystem::path cwd;    // the working directory (default: a fresh one, removed after)
    double deadline_seconds = 30; // then it is killed and the test fails, naming it
    // A close request this long after the first picture (SIGTERM, which SDL turns
    // into SDL_QUIT, as a window's close button does where there is no window to
    // close), or none.
    double close_after_ms = -1;
};

// One SDL or lesson:: call of a traced twin's run (tools/trace/trace.cpp).
struct Call {
    std::string name; // SDL_CreateWindow, lesson::init_surface, calloc
    std::vector<std::string> args;
    std::string result; // "" where it returns nothing
    std::string file;
    int line = 0;
    std::size_t depth = 0;
    std::string failed; // the what-if it was made to fail by
};

struct Result {
    int exit_code = -1;             // -1 when killed by a signal
    int signal = 0;                 // the signal that ended it, if any
    std::vector<std::string> lines; // standard output, line by line
    std::string out;                // standard output as written
    std::string err;                // standard error
    std::vector<Call> calls;        // a traced twin's calls, in order
    expect::Run run;                // what the shared checks need: lines, status, picture, times
    std::optional<picture::Picture> last_frame; // the last picture presented
    int frames_kept = 0;                        // of those SDL saved, at most two are kept
    double seconds = 0;                         // wall time from start to exit
};

// Runs `program` (with `options.wrapper` in front) with its working directory in a
// new temporary directory (or `options.cwd`), SDL_VIDEODRIVER=dummy saving each
// picture presented unless `options.env` says otherwise, a trace (if it has one)
// as records, and sanitizer options that make their reports fail the test.
Result run(const std::string& program, const Options& options = {});

// The path of a lesson's program, or of its traced twin.
std::string program(const std::string& lesson, bool traced = false);

// The calls to `name`, in order.
std::vector<Call> calls_named(const Result& result, const std::string& name);

// Index of the first call to `name` whose arguments start with `first`, or -1.
int call_index(const Result& result, const std::string& name, const std::string& first = "");

// Passes when no sanitizer reported anything and the program was not killed.
::testing::AssertionResult ran_clean(const Result& result);

// The lessons of this build, in order.
std::vector<std::string> lessons();

} // namespace harness
