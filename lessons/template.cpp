// Lesson NN: <what the window shows, in a few words>
//
// <Two or three lines: what this lesson adds to the one before it, and why.>
// Shows: <the SDL calls this lesson introduces>.
//
// A new lesson, NN, is these steps and no more (the README's "Adding a lesson"):
//   1. Copy this file to lessons/lessonNN.cpp. Write its opening comment as above
//      (number, title, what it teaches, "Shows:"), delete this list, and draw
//      where it says.
//   2. Add one line to lessons/CMakeLists.txt: add_lesson(lessonNN), or
//      add_lesson(lessonNN DATA images/name.bmp) with the files it reads, which go
//      under resources/.
//   3. Write the lines it prints when all goes well to tests/expected/lessonNN.txt
//      (%p for a pointer; an empty file if it prints nothing).
//   4. Run sh scripts/screenshots.sh: it takes docs/screenshots/lessonNN.png, which
//      you look at, and writes the lesson's row of the README's table.
// Every check, benchmark and page then covers the lesson. If you like, add
// bench/floorNN.cpp (its benchmark floor) and tests/lessonNN_test.cpp (what only
// it does): each is found by its name.

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
