// The process entry of a lesson on the web.
//
// The lesson's own main is compiled as lesson_main. Under Asyncify, which lets
// SDL_Delay give the page back to the browser, Emscripten 3.1.6 reports status 0
// for whatever main returns once it has slept; passing the result to exit() here
// makes the page show the status the lesson really returned.

#include <cstdlib>

int lesson_main(int argc, char* argv[]);

int main(int argc, char* argv[])
{
    std::exit(lesson_main(argc, argv));
}
