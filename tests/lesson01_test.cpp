// lesson01, run as a program: what it prints, how it exits, what it presents.

#include "check/expectations.hpp"
#include "harness.hpp"

#include <gtest/gtest.h>

namespace {

using namespace harness; // run() and what reads its result

const std::string LESSON01 = std::string(LESSON_BIN_DIR) + "lesson01";
const std::string NULL_POINTER = pointer_text(nullptr);

// Everything after "<label>: " on a printed line.
std::string after(const std::string& line, const std::string& label)
{
    return line.rfind(label, 0) == 0 ? line.substr(label.size()) : "<no '" + label + "'>";
}

TEST(Lesson01, PaintsEveryPixelOrangeShowsItOnceAndHoldsTwoSeconds)
{
    // Arguments are accepted and ignored.
    Options options;
    options.args = {"--help", "ignored argument"};
    auto result = run(LESSON01, options);

    ASSERT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 0);
    ASSERT_EQ(result.lines.size(), 2u) << result.out;
    const std::string window = logged_pointer(result, "SDL_CreateWindow");
    const std::string surface = logged_pointer(result, "SDL_GetWindowSurface");
    EXPECT_NE(window, NULL_POINTER);
    EXPECT_NE(surface, NULL_POINTER);
    EXPECT_EQ(result.lines[0], "window pointer values: " + window);
    EXPECT_EQ(result.lines[1], "lesson init: screen pointer values: " + surface);

    // The window the lesson asked for.
    auto created = calls_named(result, "SDL_CreateWindow");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("\"SDL Tutorial\" 640x480 at 536805376,536805376 flags 0x4"),
              std::string::npos)
        << created[0];

    // One picture presented: all 640x480 pixels the orange in the surface's format.
    ASSERT_TRUE(result.frame.has_value());
    const harness::Frame& frame = *result.frame;
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    SDL_PixelFormat* format = SDL_AllocFormat(frame.format);
    ASSERT_NE(format, nullptr);
    const Uint32 orange = SDL_MapRGB(format, 238, 118, 33);
    const Uint32 colour_bits = format->Rmask | format->Gmask | format->Bmask;
    SDL_FreeFormat(format);
    int wrong = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            wrong += (frame.pixel(x, y) & colour_bits) != (orange & colour_bits);
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels that are not orange";

    // Shown once, then one two-second hold, then the window and SDL go.
    EXPECT_EQ(calls_named(result, "SDL_UpdateWindowSurface").size(), 1u);
    EXPECT_EQ(calls_named(result, "SDL_Delay"), std::vector<std::string>{"SDL_Delay 2000"});
    EXPECT_LT(call_index(result, "SDL_UpdateWindowSurface"), call_index(result, "SDL_Delay"));
    EXPECT_LT(call_index(result, "SDL_Delay"), call_index(result, "SDL_DestroyWindow " + window));
    EXPECT_LT(call_index(result, "SDL_DestroyWindow"), call_index(result, "SDL_Quit"));
    EXPECT_EQ(calls_named(result, "SDL_Quit"),
              std::vector<std::string>{"SDL_Quit still-running 0"});
}

TEST(Lesson01, LinesReachOutputWhenPrintedEvenIfKilledDuringTheHold)
{
    Options options;
    options.env = {{"SEAM_DELAY", "kill"}};
    auto result = run(LESSON01, options);

    EXPECT_EQ(result.signal, SIGKILL);
    ASSERT_EQ(result.lines.size(), 2u)
        << "output was held back in a buffer: '" << result.out << "'";
    EXPECT_EQ(result.lines[0].rfind("window pointer values: ", 0), 0u);
    EXPECT_EQ(result.lines[1].rfind("lesson init: screen pointer values: ", 0), 0u);
}

// Each failure prints the lines in order (those tests/expected/lesson01.<what_if>.txt
// gives for it, as everywhere else), skips the hold, shuts SDL down and exits 1.
void expect_failed_start(const harness::Result& result, const std::string& what_if,
                         const std::vector<std::string>& lines)
{
    EXPECT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.lines, lines);
    expect::Run run;
    run.lines = result.lines;
    run.exit_status = result.exit_code;
    for (const std::string& problem : expect::check_failure("lesson01", what_if, run)) {
        ADD_FAILURE() << "lesson01 " << problem;
    }
    EXPECT_TRUE(calls_named(result, "SDL_Delay").empty()) << "held after a failed start";
    EXPECT_TRUE(calls_named(result, "SDL_UpdateWindowSurface").empty());
    EXPECT_EQ(calls_named(result, "SDL_Quit"),
              std::vector<std::string>{"SDL_Quit still-running 0"});
}

TEST(Lesson01, VideoThatCannotStart)
{
    // With SDL 2.26 a machine without a display falls back to a headless driver,
    // so ask for one that does not exist.
    Options options;
    options.env = {{"SDL_VIDEODRIVER", "no-such-driver"}};
    auto result = run(LESSON01, options);

    ASSERT_EQ(result.lines.size(), 4u) << result.out;
    const std::string error = after(result.lines[0], "SDL init: unable to start: ");
    EXPECT_NE(error.find("no-such-driver"), std::string::npos) << error;
    expect_failed_start(result, "no-video",
                        {"SDL init: unable to start: " + error,
                         "window pointer values: " + NULL_POINTER, "Falha ao criar window",
                         "SDL_Init failed: " + error});
    EXPECT_TRUE(calls_named(result, "SDL_CreateWindow").empty());
}

TEST(Lesson01, WindowThatCannotBeCreated)
{
    Options options;
    options.env = {{"SEAM_FAIL", "create_window"}};
    auto result = run(LESSON01, options);

    const std::string error = "seam: the window system refused the window";
    expect_failed_start(result, "no-window",
                        {"SDL_Init failed ON WINDOW: " + error,
                         "window pointer values: " + NULL_POINTER, "Falha ao criar window",
                         "SDL_Init failed: " + error});
}

TEST(Lesson01, WindowWithoutASurfaceIsAFailureNotACrash)
{
    Options options;
    options.env = {{"SEAM_FAIL", "window_surface"}};
    auto result = run(LESSON01, options);

    const std::string window = logged_pointer(result, "SDL_CreateWindow");
    EXPECT_NE(window, NULL_POINTER);
    expect_failed_start(
        result, "no-surface",
        {"window pointer values: " + window, "lesson init: screen pointer values: " + NULL_POINTER,
         "Falha ao criar window", "SDL_Init failed: seam: the window has no surface"});
    // The window that was made is destroyed before SDL shuts down.
    EXPECT_LT(call_index(result, "SDL_DestroyWindow " + window), call_index(result, "SDL_Quit"));
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
