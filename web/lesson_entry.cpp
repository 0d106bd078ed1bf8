// The process entry of a lesson on the web.
//
// The lesson's own main is compiled as lesson_main. Under Asyncify, which lets
// SDL_Delay give the page back to the browser, Emscripten 3.1.6 reports status 0
// for whatever main returns once it has slept; passing the result to exit() here
// makes the page show the status the lesson really returned.

#include <SDL.h>
#include <emscripten.h>

#include <cstdlib>

#ifdef LESSON_EDIT
// An edit run in the page: its main, declared either way, is called through a
// function of C's name (web/run/compiler.mjs adds it to the edit).
extern "C" int lesson_edit_main(int argc, char* argv[]);
#define lesson_main lesson_edit_main
#else
int lesson_main(int argc, char* argv[]);
#endif

int main(int argc, char* argv[])
{
    std::exit(lesson_main(argc, argv));
}

// The page's Stop: the window is closed, as its close button would close it on a
// desktop, and SDL says so to the lesson (SDL_QUIT) when it next reads its events.
extern "C" EMSCRIPTEN_KEEPALIVE void lesson_close()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}
