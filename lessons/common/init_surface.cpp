#include "common/init_surface.hpp"

#include <cstdio>

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
