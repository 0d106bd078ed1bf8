// Lesson 02: a bitmap in the window
//
// Open the window as in lesson 01, load resources/images/hello_world.bmp,
// copy it onto the window surface, show it for two seconds, then release
// the image, the window and SDL in one call.
// Shows: loading a BMP (SDL_LoadBMP_RW), SDL_BlitSurface, SDL_FreeSurface.

#include "common/close.hpp"
#include "common/init_surface.hpp"
#include "common/loadmedia.hpp"

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
    SDL_Surface* gHelloWorld = nullptr;    // ours: close() frees it

    int status = EXIT_FAILURE;
    gWindow = lesson::init_surface(&gScreenSurface);
    if (gWindow != nullptr && gScreenSurface != nullptr) {
        gHelloWorld = lesson::loadMedia("images/hello_world.bmp");
        if (gHelloWorld != nullptr) {
            // Copy the whole image to the top-left corner; SDL converts it to the
            // window's pixel format and clips it to the window on the way.
            SDL_BlitSurface(gHelloWorld, nullptr, gScreenSurface, nullptr);
            SDL_UpdateWindowSurface(gWindow);

            // Hold the picture for two seconds; no events are read.
            SDL_Delay(2000);
            status = EXIT_SUCCESS;
        } else {
            std::printf("Falha ao carregar imagem\n");
            std::printf("SDL_Init failed: %s\n", SDL_GetError());
        }
    } else {
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
    }

    lesson::close(&gHelloWorld, &gWindow);
    return status;
}
