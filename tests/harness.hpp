// Runs a built lesson program as a user would, headless, and collects what it
// printed, how it exited, the calls it made and the picture it presented.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
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
    bool seam = true;                                     // preload the SDL test seam
    std::string preload;                                  // and, after it, this library
    std::filesystem::path cwd;    // the working directory (default: a fresh one, removed after)
    double deadline_seconds = 30; // then it is killed and the test fails, naming it
};

struct Frame {
    int width = 0;
    int height = 0;
    int pitch = 0;
    Uint32 format = 0;
    std::vector<std::uint8_t> pixels;
    Uint32 pixel(int x, int y) const; // the raw pixel value in `format`
};

struct Result {
    int exit_code = -1;                    // -1 when killed by a signal
    int signal = 0;                        // the signal that ended it, if any
    std::vector<std::string> lines;        // standard output, line by line
    std::string out;                       // standard output as written
    std::string err;                       // standard error
    std::vector<std::string> calls;        // the seam's log, one call a line
    std::optional<Frame> frame;            // the last presented picture, if any
    double seconds = 0;                    // wall time from start to exit
    std::filesystem::file_time_type ended; // when it exited, on the file system's clock
};

// Runs `program` with its working directory in a new temporary directory (or
// `options.cwd`), SDL_VIDEODRIVER=dummy unless `options.env` says otherwise, and
// sanitizer options that make their reports fail the test.
Result run(const std::string& program, const Options& options = {});

// The calls in `calls` that start with `name`.
std::vector<std::string> calls_named(const Result& result, const std::string& name);

// The pointer the seam logged for the one call to `call`, e.g. "0x55..." from
// "SDL_CreateWindow 0x55... ...", or a text saying how often it was called.
std::string logged_pointer(const Result& result, const std::string& call);

// Index of the first call starting with `prefix`, or -1.
int call_index(const Result& result, const std::string& prefix);

// Passes when no sanitizer reported anything and the program was not killed.
::testing::AssertionResult ran_clean(const Result& result);

// The lessons add_lesson registers, in order.
std::vector<std::string> lessons();

// "%p" of a pointer, as the lessons and the seam print it.
std::string pointer_text(const void* pointer);

} // namespace harness
