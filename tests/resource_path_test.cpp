// resource_path and loadMedia, linked straight from the support library.

#include "common/loadmedia.hpp"
#include "common/resource_path.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The joined path, or "<null: SDL's error>", with the buffer released.
std::string joined(const std::string& name)
{
    char* path = lesson::resource_path(name.c_str());
    if (path == nullptr) {
        return std::string("<null: ") + SDL_GetError() + ">";
    }
    std::string text = path;
    std::free(path);
    return text;
}

TEST(ResourcePath, JoinsTheNameToTheResourcesDirectory)
{
    const std::string root = std::string(LESSONS_SOURCE_DIR) + "/resources/";
    EXPECT_EQ(std::string(lesson::RESOURCES_PATH), root);
    EXPECT_EQ(joined(""), root);
    EXPECT_EQ(joined("images/hello_world.bmp"), root + "images/hello_world.bmp");
}

TEST(ResourcePath, FillsTheBufferExactlyButNeverPastIt)
{
    // The buffer holds 549 characters and the NUL. Under AddressSanitizer a write
    // past it fails the test.
    const std::size_t room = 549 - std::strlen(lesson::RESOURCES_PATH);
    const std::string fits(room, 'a');
    EXPECT_EQ(joined(fits), std::string(lesson::RESOURCES_PATH) + fits);
    EXPECT_EQ(joined(fits).size(), 549u);

    EXPECT_EQ(joined(fits + "a"),
              "<null: Resource path too long: 550 characters, the limit is 549>");
    EXPECT_EQ(lesson::loadMedia((fits + "a").c_str()), nullptr);
}

TEST(LoadMedia, LoadsABitmapInItsOwnFormatOrSaysWhyNot)
{
    SDL_Surface* image = lesson::loadMedia("images/hello_world.bmp");
    ASSERT_NE(image, nullptr) << SDL_GetError();
    EXPECT_EQ(image->w, 640);
    EXPECT_EQ(image->h, 480);
    EXPECT_EQ(image->format->BitsPerPixel, 24) << "converted instead of kept as the file has it";
    SDL_FreeSurface(image);

    // SDL words the reason its own way from one release to the next; it names the file.
    EXPECT_EQ(lesson::loadMedia("images/no_such_image.bmp"), nullptr);
    EXPECT_NE(
        std::string(SDL_GetError())
            .find(std::string(LESSONS_SOURCE_DIR) + "/resources/" + "images/no_such_image.bmp"),
        std::string::npos)
        << SDL_GetError();
}

} // namespace
