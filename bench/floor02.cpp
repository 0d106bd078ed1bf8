// Floor for lesson 02: only the bare SDL calls that lesson makes (the same BMP
// loaded and blitted), on SDL's native window framebuffer where there is one.

#include "common/resource_path.hpp"

#include <SDL.h>

int main(int, char*[])
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return 1;
    }
    // As init_surface does: the native framebuffer on X11. Elsewhere (Wayland) SDL
    // has no native one, and the hint would leave the window without a surface.
    if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    SDL_Window* window = SDL_CreateWindow("SDL Tutorial", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 640, 480, SDL_WINDOW_SHOWN);
    if (window == nullptr) {
        SDL_Quit();
        return 1;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    // The same file in the same folder as the lesson's, joined without its checks.
    char path[1024];
    SDL_snprintf(path, sizeof path, "%simages/hello_world.bmp", lesson::RESOURCES_PATH);
    SDL_Surface* image = SDL_LoadBMP(path);
    if (image == nullptr) {
        SDL_DestroyWindow(window);
        SDL_Quit();
        return 1;
    }
    SDL_BlitSurface(image, nullptr, surface, nullptr);
    SDL_UpdateWindowSurface(window);
    SDL_Delay(2000);
    SDL_FreeSurface(image);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
