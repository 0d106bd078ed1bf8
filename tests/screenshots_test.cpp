// The committed screenshots show what the lessons are meant to show.

#include "check/expectations.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// A screenshot as red, green, blue bytes, read by the same code that compares
// every platform's picture with it.
struct Rgb {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> bytes;
};

bool read_png(const std::string& path, Rgb& picture)
{
    expect::Picture read;
    std::string why;
    if (!expect::load_picture(path, read, why)) {
        ADD_FAILURE() << path << ": " << why;
        return false;
    }
    picture.width = static_cast<unsigned>(read.width);
    picture.height = static_cast<unsigned>(read.height);
    picture.bytes = std::move(read.rgb);
    return true;
}

TEST(Screenshots, Lesson01IsTheOrangeWindow)
{
    Rgb shot;
    ASSERT_TRUE(read_png(std::string(SCREENSHOTS) + "lesson01.png", shot));
    ASSERT_EQ(shot.width, 640u);
    ASSERT_EQ(shot.height, 480u);
    int wrong = 0;
    for (std::size_t i = 0; i < shot.bytes.size(); i += 3) {
        wrong += shot.bytes[i] != 238 || shot.bytes[i + 1] != 118 || shot.bytes[i + 2] != 33;
    }
    EXPECT_EQ(wrong, 0) << "pixels that are not orange (238, 118, 33)";
}

TEST(Screenshots, Lesson02IsTheHelloWorldImage)
{
    Rgb shot;
    ASSERT_TRUE(read_png(std::string(SCREENSHOTS) + "lesson02.png", shot));
    ASSERT_EQ(shot.width, 640u);
    ASSERT_EQ(shot.height, 480u);

    SDL_Surface* bmp =
        SDL_LoadBMP((std::string(PROJECT_RESOURCES) + "images/hello_world.bmp").c_str());
    ASSERT_NE(bmp, nullptr) << SDL_GetError();
    SDL_Surface* image = SDL_ConvertSurfaceFormat(bmp, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(bmp);
    ASSERT_NE(image, nullptr) << SDL_GetError();
    ASSERT_EQ(image->w, 640);
    ASSERT_EQ(image->h, 480);
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        const auto* row = static_cast<const unsigned char*>(image->pixels) + y * image->pitch;
        wrong += std::memcmp(row, &shot.bytes[std::size_t(y) * 640 * 3], 640 * 3) != 0;
    }
    SDL_FreeSurface(image);
    EXPECT_EQ(wrong, 0) << "rows that differ from resources/images/hello_world.bmp";
}

} // namespace
