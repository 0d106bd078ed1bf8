// Window start-up: every lesson's first step.
#pragma once

#include <SDL.h>

namespace lesson {

// The window's size in pixels.
extern const int SCREEN_WIDTH;
extern const int SCREEN_HEIGHT;

// Starts SDL's video subsystem and opens the shown 640x480 "SDL Tutorial" window.
//
// Returns the window, which the caller destroys, and stores the window's surface
// in *screen. The surface belongs to the window: never free it. On failure prints
// one line saying why and returns null, leaving *screen untouched; SDL may still
// be started, so the caller ends with SDL_Quit either way.
SDL_Window* init_surface(SDL_Surface** screen);

} // namespace lesson
