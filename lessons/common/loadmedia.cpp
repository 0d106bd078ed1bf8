#include "common/loadmedia.hpp"

#include "common/resource_path.hpp"

#include <cstdlib>

namespace lesson {

SDL_Surface* loadMedia(const char* path)
{
    char* full_path = resource_path(path);
    if (full_path == nullptr) {
        return nullptr;
    }

    SDL_Surface* image = nullptr;
    // Only a stream that opened goes to the decoder, so when the file cannot be
    // read SDL's error text still says why. The decoder closes the stream.
    SDL_RWops* file = SDL_RWFromFile(full_path, "rb");
    if (file != nullptr) {
        image = SDL_LoadBMP_RW(file, 1);
    }

    std::free(full_path);
    return image;
}

} // namespace lesson
