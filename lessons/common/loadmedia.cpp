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
        SDL_ClearError();
        image = SDL_LoadBMP_RW(file, 1);
        // Some SDL builds (SDL3's sdl2-compat) refuse a damaged bitmap without
        // saying why; the lesson's failure line must still carry a reason.
        if (image == nullptr && SDL_GetError()[0] == '\0') {
            SDL_SetError("Couldn't read %s as a BMP image", full_path);
        }
    }

    std::free(full_path);
    return image;
}

} // namespace lesson
