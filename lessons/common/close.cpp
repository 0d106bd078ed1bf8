#include "common/close.hpp"

namespace lesson {

void close(SDL_Surface** gImage, SDL_Window** gWindow)
{
    // The image first, then the window (its surface goes with it), then SDL.
    SDL_FreeSurface(*gImage);
    *gImage = nullptr;

    SDL_DestroyWindow(*gWindow);
    *gWindow = nullptr;

    SDL_Quit();
}

} // namespace lesson
