// The committed screenshots show what the lessons are meant to show.

#include "picture.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

// A picture, read by the same code that compares every platform's picture with it.
picture::Picture read(const std::string& path)
{
    picture::Picture read;
    std::string why;
    EXPECT_TRUE(picture::load(path, read, why)) << path << ": " << why;
    return read;
}

TEST(Screenshots, Lesson01IsTheOrangeWindow)
{
    const picture::Picture shot = read(std::string(SCREENSHOTS) + "lesson01.png");
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    int wrong = 0;
    for (std::size_t i = 0; i < shot.rgb.size(); i += 3) {
        wrong += shot.rgb[i] != 238 || shot.rgb[i + 1] != 118 || shot.rgb[i + 2] != 33;
    }
    EXPECT_EQ(wrong, 0) << "pixels that are not orange (238, 118, 33)";
}

TEST(Screenshots, Lesson02IsTheHelloWorldImage)
{
    const picture::Picture shot = read(std::string(SCREENSHOTS) + "lesson02.png");
    const picture::Picture image = read(std::string(PROJECT_RESOURCES) + "images/hello_world.bmp");
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);
    EXPECT_EQ(picture::differences(shot, image), 0)
        << "pixels that differ from resources/images/hello_world.bmp (-1: not the same size)";
}

} // namespace
