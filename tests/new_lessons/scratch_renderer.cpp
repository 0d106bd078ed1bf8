// Lesson 99: a rectangle drawn by the renderer
//
// Draw with SDL's renderer instead of the window's surface: fill the window
// with orange, then a blue rectangle in its middle, show it for two seconds.
// Shows: SDL_CreateRenderer, SDL_SetRenderDrawColor, SDL_RenderFillRect,
// SDL_RenderPresent.

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    (void)argc; // the lesson takes no input
    (void)argv;

    // Diagnostics go out as they are printed, so none is lost if the run is cut short.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    int status = EXIT_FAILURE;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
        return status;
    }
    SDL_Window* window = SDL_CreateWindow("SDL Tutorial", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 640, 480, SDL_WINDOW_SHOWN);
    SDL_Renderer* renderer = window != nullptr ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    if (renderer != nullptr) {
        // A null rectangle: the whole window. (SDL_RenderClear would do the same,
        // but Debian 12's Weston shows a window cleared so as white.)
        SDL_SetRenderDrawColor(renderer, 238, 118, 33, 255);
        SDL_RenderFillRect(renderer, nullptr);
        SDL_Rect middle = {160, 120, 320, 240};
        SDL_SetRenderDrawColor(renderer, 33, 118, 238, 255);
        SDL_RenderFillRect(renderer, &middle);
        SDL_RenderPresent(renderer);
        SDL_Delay(2000); // hold the picture for two seconds; no events are read
        status = EXIT_SUCCESS;
    } else {
        std::printf("SDL_Init failed: %s\n", SDL_GetError());
    }

    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
