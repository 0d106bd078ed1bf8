// Lesson 98: a window that waits to be closed
//
// Open the window, paint it orange, and keep it open, reading its events, until
// it is closed; Space switches the colour to blue and back.
// Shows: SDL_PollEvent, SDL_QUIT, SDL_KEYDOWN.

#include "common/close.hpp"
#include "common/init_surface.hpp"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    (void)argc; // the lesson takes no input
    (void)argv;

    // Diagnostics go out as they are printed, so none is lost if the run is cut short.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    SDL_Window* gWindow = nullptr;
    SDL_Surface* gScreenSurface = nullptr; // belongs to the window; never free it
    SDL_Surface* gImage = nullptr;         // no image here

    int status = EXIT_FAILURE;
    gWindow = lesson::init_surface(&gScreenSurface);
    if (gWindow != nullptr && gScreenSurface != nullptr) {
        bool blue = false;
        bool open = true;
        while (open) {
            // Every event that came since the last frame, until the window is closed.
            SDL_Event event;
            while (SDL_PollEvent(&event) != 0) {
                if (event.type == SDL_QUIT) {
                    open = false;
                } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_SPACE) {
                    blue = !blue;
                }
            }
            Uint32 colour = blue ? SDL_MapRGB(gScreenSurface->format, 33, 118, 238)
                                 : SDL_MapRGB(gScreenSurface->format, 238, 118, 33);
            SDL_FillRect(gScreenSurface, nullptr, colour);
            SDL_UpdateWindowSurface(gWindow);
            SDL_Delay(16); // about sixty frames a second
        }
        status = EXIT_SUCCESS;
    } else {
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
    }

    lesson::close(&gImage, &gWindow);
    return status;
}
