// lesson02, run as a program: what only it does, beyond what every lesson promises
// (lessons_test.cpp). Its calls are read from its traced twin's trace.

#include "harness.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace harness; // run() and what reads its result

const std::string IMAGE = std::string(LESSONS_SOURCE_DIR) + "/resources/images/hello_world.bmp";

TEST(Lesson02, ShowsTheImageHoldsTwoSecondsAndReleasesInOrder)
{
    // Run from a scratch working directory with arguments: the image is found
    // through the build's resources path alone, and arguments are ignored.
    Options options;
    options.args = {"images/other.bmp"};
    const auto result = run(program("lesson02", true), options);

    ASSERT_TRUE(ran_clean(result));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "") << "a successful run prints nothing";

    // The picture presented is the image, pixel for pixel.
    picture::Picture image;
    std::string why;
    ASSERT_TRUE(picture::load(IMAGE, image, why)) << why;
    ASSERT_TRUE(result.run.frame.has_value());
    EXPECT_EQ(picture::differences(*result.run.frame, image), 0)
        << "pixels that differ from the image (-1: not the same size)";

    // Shown once, held once, then: the image, the window, SDL, in that order.
    const auto loaded = calls_named(result, "SDL_LoadBMP_RW");
    const auto created = calls_named(result, "SDL_CreateWindow");
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(calls_named(result, "SDL_UpdateWindowSurface").size(), 1u);
    EXPECT_EQ(calls_named(result, "SDL_Delay").size(), 1u);
    const int shown = call_index(result, "SDL_UpdateWindowSurface");
    const int held = call_index(result, "SDL_Delay", "2000");
    const int freed = call_index(result, "SDL_FreeSurface", loaded[0].result);
    const int destroyed = call_index(result, "SDL_DestroyWindow", created[0].result);
    const int quit = call_index(result, "SDL_Quit");
    EXPECT_TRUE(0 <= shown && shown < held && held < freed && freed < destroyed && destroyed < quit)
        << result.err;
}

// lesson02_fixture is lesson02 built to read a fixture directory of the tests' own,
// so no test touches the project's resources/. The cases share that directory, so
// they run one after another in this one test.
TEST(Lesson02, ImagesThatCannotBeLoaded)
{
    const fs::path images = fs::path(FIXTURE_RESOURCES) / "images";
    const fs::path bitmap = images / "hello_world.bmp";

    // SDL's reason is worded differently from one release to the next: check that
    // there is one and, where the file is missing, that it names the file.
    auto expect_load_failure = [&](bool names_file) {
        const auto result = run(LESSON02_FIXTURE_PATH);
        EXPECT_TRUE(ran_clean(result));
        for (const std::string& problem :
             expect::check_load_failure(result.run, bitmap.generic_string(), names_file)) {
            ADD_FAILURE() << "lesson02 " << problem;
        }
    };

    fs::remove_all(FIXTURE_RESOURCES);
    fs::create_directories(images);
    {
        SCOPED_TRACE("no image file: the reason names the file it could not open");
        expect_load_failure(true);
    }
    {
        SCOPED_TRACE("a file that is not a BMP");
        std::ofstream(bitmap) << "Hello, world! (in words, not pixels)\n";
        expect_load_failure(false);
    }
    {
        SCOPED_TRACE("a BMP cut short");
        std::ifstream in(IMAGE, std::ios::binary);
        std::string head(20000, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        std::ofstream(bitmap, std::ios::binary) << head;
        expect_load_failure(false);
    }
    {
        SCOPED_TRACE("the same lesson with the image in place loads it");
        fs::copy_file(IMAGE, bitmap, fs::copy_options::overwrite_existing);
        const auto result = run(LESSON02_FIXTURE_PATH);
        EXPECT_TRUE(ran_clean(result));
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, "");
    }
    fs::remove_all(FIXTURE_RESOURCES);
}

TEST(Lesson02, ADecoderThatGivesNoReasonGetsOneNamingTheFile)
{
    Options options;
    options.env = {{"LESSONS_WHAT_IF", "no-reason"}};
    const auto result = run(program("lesson02", true), options);
    ASSERT_TRUE(ran_clean(result));
    for (const std::string& problem : expect::check_load_failure(result.run, IMAGE, true)) {
        ADD_FAILURE() << "lesson02 " << problem;
    }
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
