// lesson02, run as a program: what it prints, how it exits, what it presents.

#include "check/expectations.hpp"
#include "harness.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace harness; // run() and what reads its result

const std::string LESSON02 = std::string(LESSON_BIN_DIR) + "lesson02";
const std::string NULL_POINTER = pointer_text(nullptr);
const std::string IMAGE = std::string(PROJECT_RESOURCES) + "images/hello_world.bmp";

TEST(Lesson02, ShowsTheImageHoldsTwoSecondsAndReleasesInOrder)
{
    // Run from a scratch working directory with arguments: the image is found
    // through the build's resources path alone, and arguments are ignored.
    Options options;
    options.args = {"images/other.bmp"};
    auto result = run(LESSON02, options);

    ASSERT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "") << "a successful run prints nothing";

    // The presented picture is the image, converted to the window's format.
    ASSERT_TRUE(result.frame.has_value());
    const harness::Frame& frame = *result.frame;
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    SDL_Surface* image = SDL_LoadBMP(IMAGE.c_str());
    ASSERT_NE(image, nullptr) << SDL_GetError();
    ASSERT_EQ(image->w, 640);
    ASSERT_EQ(image->h, 480);
    SDL_Surface* expected = SDL_ConvertSurfaceFormat(image, frame.format, 0);
    SDL_FreeSurface(image);
    ASSERT_NE(expected, nullptr) << SDL_GetError();
    const Uint32 colour_bits =
        expected->format->Rmask | expected->format->Gmask | expected->format->Bmask;
    int wrong = 0;
    for (int y = 0; y < frame.height; ++y) {
        const auto* row = static_cast<const Uint8*>(expected->pixels) + y * expected->pitch;
        for (int x = 0; x < frame.width; ++x) {
            Uint32 want = 0;
            SDL_memcpy(&want, row + x * expected->format->BytesPerPixel,
                       expected->format->BytesPerPixel);
            wrong += (frame.pixel(x, y) & colour_bits) != (want & colour_bits);
        }
    }
    SDL_FreeSurface(expected);
    EXPECT_EQ(wrong, 0) << "pixels that differ from the image";

    // Shown once, held once, then: the image, the window, SDL, in that order.
    const std::string loaded = logged_pointer(result, "SDL_LoadBMP_RW");
    const std::string window = logged_pointer(result, "SDL_CreateWindow");
    EXPECT_NE(loaded, NULL_POINTER);
    EXPECT_EQ(calls_named(result, "SDL_UpdateWindowSurface").size(), 1u);
    EXPECT_EQ(calls_named(result, "SDL_Delay"), std::vector<std::string>{"SDL_Delay 2000"});
    const int shown = call_index(result, "SDL_UpdateWindowSurface");
    const int held = call_index(result, "SDL_Delay");
    const int freed = call_index(result, "SDL_FreeSurface " + loaded);
    const int destroyed = call_index(result, "SDL_DestroyWindow " + window);
    const int quit = call_index(result, "SDL_Quit still-running 0");
    EXPECT_TRUE(0 <= shown && shown < held && held < freed && freed < destroyed && destroyed < quit)
        << ::testing::PrintToString(result.calls);
}

// The lines tests/expected/lesson02.<what_if>.txt gives for that failure, as
// everywhere else, and its exit status.
void expect_as_expected(const harness::Result& result, const std::string& what_if)
{
    expect::Run run;
    run.lines = result.lines;
    run.exit_status = result.exit_code;
    for (const std::string& problem : expect::check_failure("lesson02", what_if, run)) {
        ADD_FAILURE() << "lesson02 " << problem;
    }
}

// A failed start-up prints its lines, skips the image and the hold, tears down, exits 1.
void expect_failed_start(const harness::Result& result, const std::string& what_if,
                         const std::vector<std::string>& lines)
{
    EXPECT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.lines, lines);
    expect_as_expected(result, what_if);
    EXPECT_TRUE(calls_named(result, "SDL_LoadBMP_RW").empty());
    EXPECT_TRUE(calls_named(result, "SDL_UpdateWindowSurface").empty());
    EXPECT_TRUE(calls_named(result, "SDL_Delay").empty()) << "held after a failed start";
    EXPECT_EQ(calls_named(result, "SDL_Quit"),
              std::vector<std::string>{"SDL_Quit still-running 0"});
}

TEST(Lesson02, StartUpFailures)
{
    {
        SCOPED_TRACE("the video subsystem cannot start");
        Options options;
        options.env = {{"SDL_VIDEODRIVER", "no-such-driver"}};
        auto result = run(LESSON02, options);
        ASSERT_EQ(result.lines.size(), 2u) << result.out;
        const std::string prefix = "SDL init: unable to start: ";
        ASSERT_EQ(result.lines[0].rfind(prefix, 0), 0u) << result.lines[0];
        const std::string error = result.lines[0].substr(prefix.size());
        EXPECT_NE(error.find("no-such-driver"), std::string::npos) << error;
        expect_failed_start(result, "no-video", {prefix + error, "SDL_Init failed: " + error});
    }
    {
        SCOPED_TRACE("the window cannot be created");
        Options options;
        options.env = {{"SEAM_FAIL", "create_window"}};
        auto result = run(LESSON02, options);
        const std::string error = "seam: the window system refused the window";
        expect_failed_start(result, "no-window",
                            {"SDL_Init failed ON WINDOW: " + error, "SDL_Init failed: " + error});
    }
    {
        SCOPED_TRACE("the window has no surface");
        Options options;
        options.env = {{"SEAM_FAIL", "window_surface"}};
        auto result = run(LESSON02, options);
        expect_failed_start(result, "no-surface",
                            {"SDL_Init failed: seam: the window has no surface"});
        EXPECT_GE(call_index(result, "SDL_DestroyWindow"), 0) << "the window was not destroyed";
    }
}

TEST(Lesson02, NoMemoryForThePathIsALoadFailure)
{
#ifdef LESSONS_SANITIZE
    GTEST_SKIP() << "the sanitizers own calloc in this build";
#endif
    Options options;
    options.preload = NO_PATH_BUFFER_PATH;
    auto result = run(LESSON02, options);

    EXPECT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.lines, (std::vector<std::string>{"Falha ao carregar imagem",
                                                      "SDL_Init failed: Out of memory"}));
    expect_as_expected(result, "no-memory");
    EXPECT_TRUE(calls_named(result, "SDL_LoadBMP_RW").empty());
    EXPECT_TRUE(calls_named(result, "SDL_Delay").empty());
    EXPECT_EQ(calls_named(result, "SDL_Quit"),
              std::vector<std::string>{"SDL_Quit still-running 0"});
}

// lesson02_fixture is lesson02 built to read the tests' own resources directory.
// The cases share that directory, so they run one after another in this one test.
TEST(Lesson02, ImagesThatCannotBeLoaded)
{
    const fs::path images = fs::path(FIXTURE_RESOURCES) / "images";
    const fs::path bitmap = images / "hello_world.bmp";

    // SDL's reason is worded differently from one release to the next: check that
    // there is one and, where it fits, that it names the file.
    auto expect_load_failure = [&](const std::string& what_if, const std::string& reason_part,
                                   const Options& options = {}) {
        auto result = run(LESSON02_FIXTURE_PATH, options);
        EXPECT_TRUE(ran_clean(result));
        EXPECT_EQ(result.exit_code, 1);
        expect_as_expected(result, what_if);
        ASSERT_EQ(result.lines.size(), 2u) << result.out;
        EXPECT_EQ(result.lines[0], "Falha ao carregar imagem");
        const std::string prefix = "SDL_Init failed: ";
        ASSERT_EQ(result.lines[1].rfind(prefix, 0), 0u) << result.lines[1];
        EXPECT_GT(result.lines[1].size(), prefix.size()) << "no reason given";
        EXPECT_NE(result.lines[1].find(reason_part, prefix.size()), std::string::npos)
            << result.lines[1];
        // The window was opened but never shown, nor held; everything is released.
        EXPECT_TRUE(calls_named(result, "SDL_UpdateWindowSurface").empty());
        EXPECT_TRUE(calls_named(result, "SDL_Delay").empty());
        EXPECT_GE(call_index(result, "SDL_DestroyWindow"), 0);
        EXPECT_EQ(calls_named(result, "SDL_Quit"),
                  std::vector<std::string>{"SDL_Quit still-running 0"});
    };

    fs::remove_all(FIXTURE_RESOURCES);
    fs::create_directories(images);
    {
        SCOPED_TRACE("no image file: the reason names the file it could not open");
        expect_load_failure("no-file", bitmap.generic_string());
    }
    {
        SCOPED_TRACE("a file that is not a BMP");
        std::ofstream(bitmap) << "Hello, world! (in words, not pixels)\n";
        expect_load_failure("bad-bitmap", "");
    }
    {
        SCOPED_TRACE("a BMP cut short");
        std::ifstream in(IMAGE, std::ios::binary);
        std::string head(20000, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        std::ofstream(bitmap, std::ios::binary) << head;
        expect_load_failure("bad-bitmap", "");
    }
    {
        SCOPED_TRACE("a decoder that refuses the image without a reason gets one");
        Options options;
        options.env = {{"SEAM_FAIL", "silent_decoder"}};
        expect_load_failure(
            "bad-bitmap", "Couldn't read " + bitmap.generic_string() + " as a BMP image", options);
    }
    {
        SCOPED_TRACE("the same lesson with the image in place loads it");
        fs::copy_file(IMAGE, bitmap, fs::copy_options::overwrite_existing);
        auto result = run(LESSON02_FIXTURE_PATH);
        EXPECT_TRUE(ran_clean(result));
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, "");
    }
    fs::remove_all(FIXTURE_RESOURCES);
}

// The committed screenshot, which every platform's run is compared with, is itself
// the image, so that comparison proves the picture as well as the window.
TEST(Lesson02, ItsScreenshotIsTheHelloWorldImage)
{
    picture::Picture shot, image;
    std::string why;
    ASSERT_TRUE(picture::load(expect::screenshot_path("lesson02"), shot, why)) << why;
    ASSERT_TRUE(picture::load(IMAGE, image, why)) << why;
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);
    EXPECT_EQ(picture::differences(shot, image), 0)
        << "pixels that differ from resources/images/hello_world.bmp (-1: not the same size)";
}

} // namespace
