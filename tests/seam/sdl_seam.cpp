// A test seam preloaded (LD_PRELOAD) into the real lesson programs.
//
// It stands in front of every SDL function the lessons call (a test checks that it
// covers each one they import), passes the calls on to SDL, and lets a test see
// and steer what the lesson does. Set through the environment:
//   SEAM_LOG=<file>    append one line per call: the call and its result
//   SEAM_FRAME=<file>  on each SDL_UpdateWindowSurface, write the window surface
//                      there: a line "FRAME <w> <h> <pitch> <format>", then the pixels
//   SEAM_FAIL=create_window   SDL_CreateWindow fails
//   SEAM_FAIL=window_surface  SDL_GetWindowSurface gives no surface
//   SEAM_FAIL=silent_decoder  SDL_LoadBMP_RW refuses the image and sets no error,
//                             as SDL3's sdl2-compat does with a damaged bitmap
//   SEAM_DELAY=real    SDL_Delay really waits (by default it only logs, to keep tests fast)
//   SEAM_DELAY=kill    SDL_Delay kills the process, as if ended during the hold
// Calls SDL makes to itself do not pass through here, only the program's own.

#include <SDL.h>

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function> Function next(const char* name)
{
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "sdl_seam: no %s after the seam\n", name);
        std::abort();
    }
    return reinterpret_cast<Function>(symbol);
}

bool env_is(const char* name, const char* value)
{
    const char* set = std::getenv(name);
    return set != nullptr && std::strcmp(set, value) == 0;
}

__attribute__((format(printf, 1, 2))) void log_line(const char* format, ...)
{
    const char* log_path = std::getenv("SEAM_LOG");
    if (log_path == nullptr) {
        return;
    }
    std::FILE* log = std::fopen(log_path, "a");
    if (log == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
}

void save_frame(SDL_Surface* surface)
{
    const char* frame_path = std::getenv("SEAM_FRAME");
    if (frame_path == nullptr || surface == nullptr) {
        return;
    }
    std::FILE* frame = std::fopen(frame_path, "wb");
    if (frame == nullptr) {
        return;
    }
    std::fprintf(frame, "FRAME %d %d %d %u\n", surface->w, surface->h, surface->pitch,
                 static_cast<unsigned>(surface->format->format));
    SDL_LockSurface(surface);
    std::fwrite(surface->pixels, 1, static_cast<std::size_t>(surface->pitch) * surface->h, frame);
    SDL_UnlockSurface(surface);
    std::fclose(frame);
}

using GetWindowSurfaceFn = SDL_Surface* (*)(SDL_Window*);

using SetErrorFn = int (*)(const char*, ...);

} // namespace

extern "C" {

int SDL_Init(Uint32 flags)
{
    using Fn = int (*)(Uint32);
    const int result = next<Fn>("SDL_Init")(flags);
    log_line("SDL_Init %#x -> %d", static_cast<unsigned>(flags), result);
    return result;
}

const char* SDL_GetCurrentVideoDriver(void)
{
    using Fn = const char* (*)(void);
    const char* driver = next<Fn>("SDL_GetCurrentVideoDriver")();
    log_line("SDL_GetCurrentVideoDriver %s", driver != nullptr ? driver : "(null)");
    return driver;
}

SDL_bool SDL_SetHint(const char* name, const char* value)
{
    using Fn = SDL_bool (*)(const char*, const char*);
    const SDL_bool result = next<Fn>("SDL_SetHint")(name, value);
    log_line("SDL_SetHint %s %s", name, value);
    return result;
}

const char* SDL_GetError(void)
{
    using Fn = const char* (*)(void);
    const char* error = next<Fn>("SDL_GetError")();
    log_line("SDL_GetError %s", error);
    return error;
}

void SDL_ClearError(void)
{
    using Fn = void (*)(void);
    next<Fn>("SDL_ClearError")();
    log_line("SDL_ClearError");
}

int SDL_SetError(SDL_PRINTF_FORMAT_STRING const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log_line("SDL_SetError %s", text);
    return next<SetErrorFn>("SDL_SetError")("%s", text);
}

int SDL_Error(SDL_errorcode code)
{
    using Fn = int (*)(SDL_errorcode);
    log_line("SDL_Error %d", static_cast<int>(code));
    return next<Fn>("SDL_Error")(code);
}

Uint32 SDL_MapRGB(const SDL_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b)
{
    using Fn = Uint32 (*)(const SDL_PixelFormat*, Uint8, Uint8, Uint8);
    const Uint32 pixel = next<Fn>("SDL_MapRGB")(format, r, g, b);
    log_line("SDL_MapRGB %u %u %u -> %#x", r, g, b, static_cast<unsigned>(pixel));
    return pixel;
}

int SDL_FillRect(SDL_Surface* surface, const SDL_Rect* rect, Uint32 color)
{
    using Fn = int (*)(SDL_Surface*, const SDL_Rect*, Uint32);
    const int result = next<Fn>("SDL_FillRect")(surface, rect, color);
    log_line("SDL_FillRect %p %#x -> %d", static_cast<void*>(surface), static_cast<unsigned>(color),
             result);
    return result;
}

int SDL_UpperBlit(SDL_Surface* source, const SDL_Rect* from, SDL_Surface* target, SDL_Rect* to)
{
    using Fn = int (*)(SDL_Surface*, const SDL_Rect*, SDL_Surface*, SDL_Rect*);
    const int result = next<Fn>("SDL_UpperBlit")(source, from, target, to);
    log_line("SDL_UpperBlit %p %p -> %d", static_cast<void*>(source), static_cast<void*>(target),
             result);
    return result;
}

SDL_RWops* SDL_RWFromFile(const char* file, const char* mode)
{
    using Fn = SDL_RWops* (*)(const char*, const char*);
    SDL_RWops* stream = next<Fn>("SDL_RWFromFile")(file, mode);
    log_line("SDL_RWFromFile %p %s %s", static_cast<void*>(stream), file, mode);
    return stream;
}

SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags)
{
    if (env_is("SEAM_FAIL", "create_window")) {
        next<SetErrorFn>("SDL_SetError")("seam: the window system refused the window");
        log_line("SDL_CreateWindow %p", static_cast<void*>(nullptr));
        return nullptr;
    }
    using Fn = SDL_Window* (*)(const char*, int, int, int, int, Uint32);
    SDL_Window* window = next<Fn>("SDL_CreateWindow")(title, x, y, w, h, flags);
    log_line("SDL_CreateWindow %p \"%s\" %dx%d at %d,%d flags %#x", static_cast<void*>(window),
             title, w, h, x, y, static_cast<unsigned>(flags));
    return window;
}

SDL_Surface* SDL_GetWindowSurface(SDL_Window* window)
{
    if (env_is("SEAM_FAIL", "window_surface")) {
        next<SetErrorFn>("SDL_SetError")("seam: the window has no surface");
        log_line("SDL_GetWindowSurface %p", static_cast<void*>(nullptr));
        return nullptr;
    }
    SDL_Surface* surface = next<GetWindowSurfaceFn>("SDL_GetWindowSurface")(window);
    log_line("SDL_GetWindowSurface %p", static_cast<void*>(surface));
    return surface;
}

int SDL_UpdateWindowSurface(SDL_Window* window)
{
    save_frame(next<GetWindowSurfaceFn>("SDL_GetWindowSurface")(window));
    log_line("SDL_UpdateWindowSurface %p", static_cast<void*>(window));
    using Fn = int (*)(SDL_Window*);
    return next<Fn>("SDL_UpdateWindowSurface")(window);
}

void SDL_Delay(Uint32 ms)
{
    log_line("SDL_Delay %u", static_cast<unsigned>(ms));
    if (env_is("SEAM_DELAY", "kill")) {
        kill(getpid(), SIGKILL);
    }
    if (env_is("SEAM_DELAY", "real")) {
        using Fn = void (*)(Uint32);
        next<Fn>("SDL_Delay")(ms);
    }
}

SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* src, int freesrc)
{
    if (env_is("SEAM_FAIL", "silent_decoder")) {
        if (freesrc != 0 && src != nullptr) {
            SDL_RWclose(src);
        }
        using ClearFn = void (*)(void);
        next<ClearFn>("SDL_ClearError")();
        log_line("SDL_LoadBMP_RW %p", static_cast<void*>(nullptr));
        return nullptr;
    }
    using Fn = SDL_Surface* (*)(SDL_RWops*, int);
    SDL_Surface* image = next<Fn>("SDL_LoadBMP_RW")(src, freesrc);
    log_line("SDL_LoadBMP_RW %p", static_cast<void*>(image));
    return image;
}

void SDL_FreeSurface(SDL_Surface* surface)
{
    log_line("SDL_FreeSurface %p", static_cast<void*>(surface));
    using Fn = void (*)(SDL_Surface*);
    next<Fn>("SDL_FreeSurface")(surface);
}

void SDL_DestroyWindow(SDL_Window* window)
{
    log_line("SDL_DestroyWindow %p", static_cast<void*>(window));
    using Fn = void (*)(SDL_Window*);
    next<Fn>("SDL_DestroyWindow")(window);
}

void SDL_Quit(void)
{
    using Fn = void (*)(void);
    next<Fn>("SDL_Quit")();
    log_line("SDL_Quit still-running %#x", static_cast<unsigned>(SDL_WasInit(0)));
}

} // extern "C"
