// Teardown: release what a lesson holds at its end.
#pragma once

#include <SDL.h>

namespace lesson {

// Frees the image *gImage, destroys the window *gWindow, sets both to null and
// shuts SDL down. Either may already be null. Call it once, last.
//
// It lives in namespace lesson so it never stands in for the system's close().
void close(SDL_Surface** gImage, SDL_Window** gWindow);

} // namespace lesson
