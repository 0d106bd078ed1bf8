// Preloaded into lessons and floors alike so that a benchmark run measures the
// work around the fixed two-second hold, not the hold.
#include <SDL.h>

extern "C" void SDL_Delay(Uint32)
{
}
