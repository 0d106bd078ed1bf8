// lesson01, run as a program: what only it does, beyond what every lesson promises
// (lessons_test.cpp). Its calls are read from its traced twin's trace.

#include "harness.hpp"

#include <gtest/gtest.h>

namespace {

using namespace harness; // run() and what reads its result

TEST(Lesson01, PaintsEveryPixelOrangeShowsItOnceAndHoldsTwoSeconds)
{
    // Arguments are accepted and ignored.
    Options options;
    options.args = {"--help", "ignored argument"};
    const auto result = run(program("lesson01", true), options);

    ASSERT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 0);
    // The pointers it prints are those SDL gave it.
    const auto created = calls_named(result, "SDL_CreateWindow");
    const auto surface = calls_named(result, "SDL_GetWindowSurface");
    ASSERT_EQ(created.size(), 1u);
    ASSERT_EQ(surface.size(), 1u);
    const std::string window = created[0].result;
    const std::string screen = surface[0].result.substr(0, surface[0].result.find(' '));
    EXPECT_EQ(result.lines,
              (std::vector<std::string>{"window pointer values: " + window,
                                        "lesson init: screen pointer values: " + screen}));

    // The window it asked for.
    EXPECT_EQ(created[0].args, (std::vector<std::string>{
                                   "\"SDL Tutorial\"", "SDL_WINDOWPOS_UNDEFINED",
                                   "SDL_WINDOWPOS_UNDEFINED", "640", "480", "SDL_WINDOW_SHOWN"}));

    // One picture presented: all 640x480 pixels orange.
    ASSERT_TRUE(result.run.frame.has_value());
    const picture::Picture& frame = *result.run.frame;
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    int wrong = 0;
    for (std::size_t i = 0; i < frame.rgb.size(); i += 3) {
        wrong += frame.rgb[i] != 238 || frame.rgb[i + 1] != 118 || frame.rgb[i + 2] != 33;
    }
    EXPECT_EQ(wrong, 0) << "pixels that are not orange (238, 118, 33)";

    // Shown once, then one two-second hold, then the window and SDL go.
    EXPECT_EQ(calls_named(result, "SDL_UpdateWindowSurface").size(), 1u);
    const auto delays = calls_named(result, "SDL_Delay");
    ASSERT_EQ(delays.size(), 1u);
    EXPECT_EQ(delays[0].args, std::vector<std::string>{"2000"});
    EXPECT_LT(call_index(result, "SDL_UpdateWindowSurface"), call_index(result, "SDL_Delay"));
    EXPECT_LT(call_index(result, "SDL_Delay"), call_index(result, "SDL_DestroyWindow", window));
    EXPECT_LT(call_index(result, "SDL_DestroyWindow"), call_index(result, "SDL_Quit"));
    EXPECT_EQ(result.calls.back().name, "SDL_Quit");
}

TEST(Lesson01, VideoThatCannotStartSaysWhy)
{
    // With SDL 2.26 a machine without a display falls back to a headless driver,
    // so ask for one that does not exist: the reason names it, in every line.
    Options options;
    options.env = {{"SDL_VIDEODRIVER", "no-such-driver"}};
    const auto result = run(program("lesson01"), options);

    ASSERT_TRUE(ran_clean(result));
    for (const std::string& problem : expect::check_failure("lesson01", "no-video", result.run)) {
        ADD_FAILURE() << "lesson01 " << problem;
    }
    ASSERT_EQ(result.lines.size(), 4u) << result.out;
    EXPECT_NE(result.lines[0].find("no-such-driver"), std::string::npos) << result.lines[0];
}

TEST(Lesson01, AWindowWithoutASurfaceIsDestroyedBeforeSdlQuits)
{
    Options options;
    options.env = {{"LESSONS_WHAT_IF", "no-surface"}};
    const auto result = run(program("lesson01", true), options);

    ASSERT_TRUE(ran_clean(result));
    const auto created = calls_named(result, "SDL_CreateWindow");
    ASSERT_EQ(created.size(), 1u);
    const int destroyed = call_index(result, "SDL_DestroyWindow", created[0].result);
    EXPECT_GE(destroyed, 0) << "the window was not destroyed";
    EXPECT_LT(destroyed, call_index(result, "SDL_Quit"));
}

// The committed screenshot, which every platform's run is compared with, is itself
// the orange window, so that comparison proves the picture as well as the window.
TEST(Lesson01, ItsScreenshotIsTheOrangeWindow)
{
    picture::Picture shot;
    std::string why;
    ASSERT_TRUE(picture::load(expect::screenshot_path("lesson01"), shot, why)) << why;
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    int wrong = 0;
    for (std::size_t i = 0; i < shot.rgb.size(); i += 3) {
        wrong += shot.rgb[i] != 238 || shot.rgb[i + 1] != 118 || shot.rgb[i + 2] != 33;
    }
    EXPECT_EQ(wrong, 0) << "pixels that are not orange (238, 118, 33)";
}

} // namespace
