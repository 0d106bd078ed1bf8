// Fails after sleeping, as a lesson does that fails after its hold: its page must
// still show the status it returned.

#include <SDL.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    (void)argc;
    (void)argv;
    std::printf("sleeping, then failing\n");
    SDL_Delay(100);
    return 3;
}
