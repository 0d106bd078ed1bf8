// Lesson 01: a window painted one colour
//
// Start SDL's video subsystem, open a 640x480 window, fill its surface with
// orange, show it for two seconds and close everything again.
// Shows: SDL_Init, SDL_CreateWindow, the window surface, SDL_MapRGB,
// SDL_FillRect, SDL_UpdateWindowSurface, SDL_Delay, SDL_Quit.

#include "common/init_surface.hpp"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* args[])
{
    (void)argc; // the lesson takes no input
    (void)args;

    // Diagnostics go out as they are printed, so none is lost if the run is cut short.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    SDL_Window* window = nullptr;
    SDL_Surface* screenSurface = nullptr; // belongs to the window; never free it

    window = lesson::init_surface(&screenSurface);
    std::printf("window pointer values: %p\n", static_cast<void*>(window));
    if (window != nullptr) {
        std::printf("lesson init: screen pointer values: %p\n", static_cast<void*>(screenSurface));
    }

    int status = EXIT_FAILURE;
    if (window != nullptr && screenSurface != nullptr) {
        // A colour is a pixel value in the surface's own format.
        Uint32 orange = SDL_MapRGB(screenSurface->format, 238, 118, 33);
        SDL_FillRect(screenSurface, nullptr, orange); // null rectangle: the whole surface

        // Drawing happens off screen; this shows it.
        SDL_UpdateWindowSurface(window);

        // Hold the picture for two seconds. No events are read, so the window
        // ignores close requests until then.
        SDL_Delay(2000);
        status = EXIT_SUCCESS;
    } else {
        std::printf("Falha ao criar window\n");
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
    }

    SDL_DestroyWindow(window); // its surface goes with it
    SDL_Quit();
    return status;
}
