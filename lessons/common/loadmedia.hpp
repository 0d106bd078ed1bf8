// Bitmap loading: read a BMP from resources/ into a new surface.
#pragma once

#include <SDL.h>

namespace lesson {

// Loads the BMP file `path` (a name under resources/, such as
// "images/hello_world.bmp") into a new surface in the file's own pixel format.
// The caller frees it with SDL_FreeSurface.
//
// Returns null, printing nothing, when the file cannot be opened or decoded;
// SDL_GetError() then says why.
SDL_Surface* loadMedia(const char* path);

} // namespace lesson
