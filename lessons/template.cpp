// Lesson NN: <what the window shows, in a few words>
//
// <Two or three lines: what this lesson adds to the one before it, and why.>
// Shows: <the SDL calls this lesson introduces>.
//
// A new lesson starts as a copy of this file: save it as lessons/lessonNN.cpp,
// add `add_lesson(lessonNN)` to lessons/CMakeLists.txt and draw where it says.

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
    SDL_Surface* gImage = nullptr;         // a loaded image, if the lesson needs one

    int status = EXIT_FAILURE;
    gWindow = lesson::init_surface(&gScreenSurface);
    if (gWindow != nullptr && gScreenSurface != nullptr) {
        // Draw into gScreenSurface here.

        SDL_UpdateWindowSurface(gWindow);
        SDL_Delay(2000); // hold the picture for two seconds; no events are read
        status = EXIT_SUCCESS;
    } else {
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
    }

    lesson::close(&gImage, &gWindow);
    return status;
}
