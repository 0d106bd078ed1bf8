// Every lesson, run as a user would on SDL's dummy driver, keeps the promise that
// tests/check/expectations.hpp spells out: the same checks the Windows and browser
// runs make, so a new lesson is checked everywhere without new test code.

#include "check/expectations.hpp"
#include "harness.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>

namespace {

namespace fs = std::filesystem;

class Lessons : public ::testing::TestWithParam<std::string> {};

TEST_P(Lessons, KeepTheirPromise)
{
    const std::string lesson = GetParam();
    harness::TempDir cwd;
    harness::Options options;
    options.seam = false;
    options.cwd = cwd.path();
    // SDL's dummy driver saves each shown picture as SDL_window<id>-<n>.bmp.
    options.env = {{"SDL_VIDEO_DUMMY_SAVE_FRAMES", "1"}};
    auto result = harness::run(std::string(LESSON_BIN_DIR) + lesson, options);
    ASSERT_TRUE(harness::ran_clean(result));

    expect::Run run;
    run.lines = expect::split_lines(result.out);
    run.exit_status = result.exit_code;
    std::vector<fs::path> frames;
    for (const auto& entry : fs::directory_iterator(cwd.path())) {
        if (entry.path().filename().string().rfind("SDL_window", 0) == 0) {
            frames.push_back(entry.path());
        }
    }
    // Numbered in the order shown: by number, so that frame 10 comes after frame 9.
    const auto number = [](const fs::path& frame) {
        const std::string stem = frame.stem().string();
        return std::stol(stem.substr(stem.rfind('-') + 1));
    };
    std::sort(frames.begin(), frames.end(),
              [&](const fs::path& a, const fs::path& b) { return number(a) < number(b); });
    if (!frames.empty()) {
        const fs::path& last_frame = frames.back();
        picture::Picture frame;
        std::string why;
        ASSERT_TRUE(picture::load(last_frame.string(), frame, why)) << why;
        run.frame = frame;
        run.hold_ms = std::chrono::duration<double, std::milli>(result.ended -
                                                                fs::last_write_time(last_frame))
                          .count();
    }
    for (const std::string& problem : expect::check_lesson(lesson, run)) {
        ADD_FAILURE() << lesson << " " << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(, Lessons, ::testing::ValuesIn(harness::lessons()),
                         [](const auto& info) { return info.param; });

TEST(Harness, AWaitThatCannotSucceedFailsTheTestWithItsReason)
{
    // With SIGCHLD ignored the system reaps the child itself, and waiting for it
    // fails (ECHILD): the run must fail, saying so, rather than wait forever.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    harness::Options options;
    options.seam = false;
    EXPECT_NONFATAL_FAILURE(harness::run("/bin/true", options), "cannot wait for /bin/true: ");
    sigaction(SIGCHLD, &previous, nullptr);
}

TEST(Harness, AProgramThatHangsIsKilledAtTheDeadlineNamingIt)
{
    harness::Options options;
    options.seam = false;
    options.args = {"30"};
    options.deadline_seconds = 0.2;
    harness::Result result;
    EXPECT_NONFATAL_FAILURE(result = harness::run("/bin/sleep", options),
                            "/bin/sleep did not exit within 0.2 s; it was killed");
    EXPECT_EQ(result.signal, SIGKILL);
}

} // namespace
