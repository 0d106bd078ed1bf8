// Lesson NN: <what the window shows, in a few words>
//
// <Two or three lines: what this lesson adds to the one before it, and why.>
// Shows: <the SDL calls this lesson introduces>.
//
// A new lesson, NN, is these steps and no more (docs/adding-a-lesson.md):
//   1. Copy this file to lessons/lessonNN.cpp. Write its opening comment as above
//      (number, title, what it teaches, "Shows:"), delete this list, draw where it
//      says, and format it: clang-format -i lessons/lessonNN.cpp. Keep main's
//      two arguments: SDL needs that form to start a program on Windows and macOS.
//   2. Add one line to lessons/CMakeLists.txt: add_lesson(lessonNN), or
//      add_lesson(lessonNN DATA images/name.bmp) with the files it reads, which go
//      under resources/.
//   3. Write what it prints to lessons/lessonNN.prints.tsv: "case<TAB>prints", then
//      "ok<TAB>" and its lines joined by \n (%p for a pointer; nothing if none),
//      and a row for each failure of lessons/failures.tsv it handles.
//   4. Run sh scripts/screenshots.sh: it takes docs/screenshots/lessonNN.png, which
//      you look at, and writes the lesson's row of the README's table.
// The checks learn its kind from its calls: as written, it holds its picture 2000
// ms; one that reads events (SDL_PollEvent) must instead end when its window is
// closed; one may draw with SDL_CreateRenderer. Every check, benchmark and page
// then covers it. If you like, add bench/floorNN.cpp (its benchmark floor) and
// tests/lessonNN_test.cpp (what only it does): each is found by its name.

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
