// What the traced build writes about each call (see trace.hpp), and the failures
// it can make (LESSONS_WHAT_IF). One line a call, on standard error:
//
//      31 ms    init_surface.cpp:28  SDL_CreateWindow("SDL Tutorial", ...) -> 0x55d0c2a0e690
//
// the time the call was made, since the program started; where it is written,
// indented under the lesson:: call it was made in; the call, with its arguments as
// a learner would write them (flag names, strings quoted, colours and pixels in
// hex); and what it returned, with SDL's reason when it failed. A lesson:: call's
// line comes before the lines of the calls it made, once it has returned.
// This file is compiled without the traced build's forced include, so its own
// calls to SDL go straight to SDL and are not traced.

#include "trace.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace lessons_trace {

namespace {

const auto started = std::chrono::steady_clock::now();

// How an integer argument or result reads best.
enum class Shape { Plain, InitFlags, WindowPosition, WindowFlags, Byte, Pixel, ErrorCode };

struct Function {
    const char* name;
    Shape arguments[6];
    Shape result;
};

// The functions whose numbers mean more than their value. Every other argument and
// result is shown by its type: numbers in decimal, strings quoted, pointers in hex.
const Function FUNCTIONS[] = {
    {"SDL_Init", {Shape::InitFlags}, Shape::Plain},
    {"SDL_InitSubSystem", {Shape::InitFlags}, Shape::Plain},
    {"SDL_QuitSubSystem", {Shape::InitFlags}, Shape::Plain},
    {"SDL_WasInit", {Shape::InitFlags}, Shape::InitFlags},
    {"SDL_CreateWindow",
     {Shape::Plain, Shape::WindowPosition, Shape::WindowPosition, Shape::Plain, Shape::Plain,
      Shape::WindowFlags},
     Shape::Plain},
    {"SDL_GetWindowFlags", {Shape::Plain}, Shape::WindowFlags},
    {"SDL_MapRGB", {Shape::Plain, Shape::Byte, Shape::Byte, Shape::Byte}, Shape::Pixel},
    {"SDL_MapRGBA",
     {Shape::Plain, Shape::Byte, Shape::Byte, Shape::Byte, Shape::Byte},
     Shape::Pixel},
    {"SDL_FillRect", {Shape::Plain, Shape::Plain, Shape::Pixel}, Shape::Plain},
    {"SDL_FillRects", {Shape::Plain, Shape::Plain, Shape::Plain, Shape::Pixel}, Shape::Plain},
    {"SDL_Error", {Shape::ErrorCode}, Shape::Plain},
};

// SDL's own names for functions whose symbols are named otherwise
// (SDL_BlitSurface for SDL_UpperBlit), from SDL's headers.
const char* const ALIASES[][2] = {
#include "aliases.inc"
    {"", ""}};

const char* learners_name(const char* name)
{
    for (const auto& alias : ALIASES) {
        if (std::strcmp(alias[0], name) == 0) {
            return alias[1];
        }
    }
    return name;
}

const Function* function_named(const char* name)
{
    for (const Function& function : FUNCTIONS) {
        if (std::strcmp(function.name, name) == 0) {
            return &function;
        }
    }
    return nullptr;
}

struct Flag {
    unsigned long long bits;
    const char* name;
};

const Flag INIT_FLAGS[] = {
    {SDL_INIT_TIMER, "SDL_INIT_TIMER"},
    {SDL_INIT_AUDIO, "SDL_INIT_AUDIO"},
    {SDL_INIT_VIDEO, "SDL_INIT_VIDEO"},
    {SDL_INIT_JOYSTICK, "SDL_INIT_JOYSTICK"},
    {SDL_INIT_HAPTIC, "SDL_INIT_HAPTIC"},
    {SDL_INIT_GAMECONTROLLER, "SDL_INIT_GAMECONTROLLER"},
    {SDL_INIT_EVENTS, "SDL_INIT_EVENTS"},
    {SDL_INIT_SENSOR, "SDL_INIT_SENSOR"},
    {SDL_INIT_NOPARACHUTE, "SDL_INIT_NOPARACHUTE"},
};

const Flag WINDOW_FLAGS[] = {
    {SDL_WINDOW_FULLSCREEN_DESKTOP, "SDL_WINDOW_FULLSCREEN_DESKTOP"},
    {SDL_WINDOW_FULLSCREEN, "SDL_WINDOW_FULLSCREEN"},
    {SDL_WINDOW_OPENGL, "SDL_WINDOW_OPENGL"},
    {SDL_WINDOW_SHOWN, "SDL_WINDOW_SHOWN"},
    {SDL_WINDOW_HIDDEN, "SDL_WINDOW_HIDDEN"},
    {SDL_WINDOW_BORDERLESS, "SDL_WINDOW_BORDERLESS"},
    {SDL_WINDOW_RESIZABLE, "SDL_WINDOW_RESIZABLE"},
    {SDL_WINDOW_MINIMIZED, "SDL_WINDOW_MINIMIZED"},
    {SDL_WINDOW_MAXIMIZED, "SDL_WINDOW_MAXIMIZED"},
    {SDL_WINDOW_MOUSE_GRABBED, "SDL_WINDOW_MOUSE_GRABBED"},
    {SDL_WINDOW_INPUT_FOCUS, "SDL_WINDOW_INPUT_FOCUS"},
    {SDL_WINDOW_MOUSE_FOCUS, "SDL_WINDOW_MOUSE_FOCUS"},
    {SDL_WINDOW_FOREIGN, "SDL_WINDOW_FOREIGN"},
    {SDL_WINDOW_ALLOW_HIGHDPI, "SDL_WINDOW_ALLOW_HIGHDPI"},
    {SDL_WINDOW_MOUSE_CAPTURE, "SDL_WINDOW_MOUSE_CAPTURE"},
    {SDL_WINDOW_ALWAYS_ON_TOP, "SDL_WINDOW_ALWAYS_ON_TOP"},
    {SDL_WINDOW_SKIP_TASKBAR, "SDL_WINDOW_SKIP_TASKBAR"},
    {SDL_WINDOW_UTILITY, "SDL_WINDOW_UTILITY"},
    {SDL_WINDOW_TOOLTIP, "SDL_WINDOW_TOOLTIP"},
    {SDL_WINDOW_POPUP_MENU, "SDL_WINDOW_POPUP_MENU"},
    {SDL_WINDOW_KEYBOARD_GRABBED, "SDL_WINDOW_KEYBOARD_GRABBED"},
    {SDL_WINDOW_VULKAN, "SDL_WINDOW_VULKAN"},
    {SDL_WINDOW_METAL, "SDL_WINDOW_METAL"},
};

const char* const ERROR_CODES[] = {"SDL_ENOMEM", "SDL_EFREAD", "SDL_EFWRITE", "SDL_EFSEEK",
                                   "SDL_UNSUPPORTED"};

template <std::size_t N> std::string flags(unsigned long long bits, const Flag (&known)[N])
{
    std::string text;
    for (const Flag& flag : known) {
        if ((bits & flag.bits) == flag.bits && flag.bits != 0) {
            text += (text.empty() ? "" : " | ") + std::string(flag.name);
            bits &= ~flag.bits;
        }
    }
    if (bits != 0 || text.empty()) {
        char rest[32];
        std::snprintf(rest, sizeof rest, "0x%llx", bits);
        text += (text.empty() ? "" : " | ") + std::string(rest);
    }
    return text;
}

std::string pointer(const void* address)
{
    if (address == nullptr) {
        return "NULL";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%p", address); // as the lessons print pointers
    return text;
}

std::string quoted(const char* text)
{
    if (text == nullptr) {
        return "NULL";
    }
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
            out += *c;
        } else if (static_cast<unsigned char>(*c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(*c));
            out += escaped;
        } else {
            out += *c;
        }
    }
    return out + "\"";
}

std::string number(const Value& value, Shape shape)
{
    char text[48];
    const auto bits = static_cast<unsigned long long>(value.number);
    switch (shape) {
    case Shape::InitFlags:
        return flags(bits, INIT_FLAGS);
    case Shape::WindowFlags:
        return flags(bits, WINDOW_FLAGS);
    case Shape::WindowPosition:
        if (SDL_WINDOWPOS_ISUNDEFINED(value.number)) {
            return "SDL_WINDOWPOS_UNDEFINED";
        }
        if (SDL_WINDOWPOS_ISCENTERED(value.number)) {
            return "SDL_WINDOWPOS_CENTERED";
        }
        break;
    case Shape::Byte:
        std::snprintf(text, sizeof text, "0x%02llX", bits & 0xFF);
        return text;
    case Shape::Pixel:
        std::snprintf(text, sizeof text, "0x%08llX", bits & 0xFFFFFFFF);
        return text;
    case Shape::ErrorCode:
        if (value.number >= 0 && value.number < 5) {
            return ERROR_CODES[value.number];
        }
        break;
    case Shape::Plain:
        break;
    }
    if (value.kind == Value::Kind::Unsigned) {
        std::snprintf(text, sizeof text, "%llu", bits);
    } else {
        std::snprintf(text, sizeof text, "%lld", value.number);
    }
    return text;
}

std::string shown(const Value& value, Shape shape)
{
    switch (value.kind) {
    case Value::Kind::Signed:
    case Value::Kind::Unsigned:
        return number(value, shape);
    case Value::Kind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value.real);
        return text;
    }
    case Value::Kind::Bool:
        return value.number != 0 ? "SDL_TRUE" : "SDL_FALSE";
    case Value::Kind::Text:
        return quoted(static_cast<const char*>(value.pointer));
    case Value::Kind::Format: {
        const auto* format = static_cast<const SDL_PixelFormat*>(value.pointer);
        return format == nullptr ? "NULL" : SDL_GetPixelFormatName(format->format);
    }
    case Value::Kind::Surface: {
        const auto* surface = static_cast<const SDL_Surface*>(value.pointer);
        std::string text = pointer(surface);
        if (surface != nullptr && surface->format != nullptr) {
            text += " (" + std::to_string(surface->w) + "x" + std::to_string(surface->h) + " " +
                    SDL_GetPixelFormatName(surface->format->format) + ")";
        }
        return text;
    }
    case Value::Kind::Pointer:
        return pointer(value.pointer);
    case Value::Kind::Other:
        break;
    }
    return "...";
}

// The failures a traced build can make, from docs/trace.md (cmake/Trace.cmake
// writes what_ifs.inc from its table).
struct WhatIf {
    const char* name;
    const char* call; // the call made to fail
    const char* meaning;
    const char* error; // SDL's words for it; "%s" stands for the call's first string
};
const WhatIf WHAT_IFS[] = {
#include "what_ifs.inc"
};

struct State {
    std::vector<std::string> lines; // held back until the lesson:: call they are in returns
    std::vector<int> open;          // the lines of the lesson:: calls not yet returned
    int sdl_depth = 0;              // > 0 inside an SDL call: what SDL itself allocates is SDL's
    const WhatIf* what_if = nullptr;
    bool what_if_read = false;
    bool made_a_failure = false;
};

State& state()
{
    static State the_state;
    return the_state;
}

long long now_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started)
        .count();
}

void write_out()
{
    State& s = state();
    if (!s.open.empty()) {
        return;
    }
    for (const std::string& line : s.lines) {
        std::fputs(line.c_str(), stderr);
    }
    std::fflush(stderr);
    s.lines.clear();
}

void unmade_failure()
{
    State& s = state();
    if (s.what_if != nullptr && !s.made_a_failure) {
        std::fprintf(stderr, "what if %s: this run made no %s call, so nothing failed\n",
                     s.what_if->name, s.what_if->call);
    }
}

// LESSONS_WHAT_IF, read at the first call: the failure to make, if any. A name this
// build cannot make ends the program before the lesson does anything.
void read_what_if()
{
    State& s = state();
    if (s.what_if_read) {
        return;
    }
    s.what_if_read = true;
    const char* name = std::getenv("LESSONS_WHAT_IF");
    if (name == nullptr || *name == '\0') {
        return;
    }
    for (const WhatIf& what_if : WHAT_IFS) {
        if (std::strcmp(what_if.name, name) == 0) {
            s.what_if = &what_if;
        }
    }
#ifndef LESSONS_TRACE_WRAP_CALLOC
    if (s.what_if != nullptr && std::strcmp(s.what_if->call, "calloc") == 0) {
        std::fprintf(stderr, "LESSONS_WHAT_IF=%s: this build cannot make calloc fail\n", name);
        std::exit(2);
    }
#endif
    if (s.what_if == nullptr) {
        std::fprintf(stderr,
                     "LESSONS_WHAT_IF=%s is not a failure the traced build makes; it makes:", name);
        for (const WhatIf& what_if : WHAT_IFS) {
            std::fprintf(stderr, " %s", what_if.name);
        }
        std::fprintf(stderr, "\n");
        std::exit(2);
    }
    std::fprintf(stderr, "what if %s: %s (%s fails)\n", s.what_if->name, s.what_if->meaning,
                 s.what_if->call);
    std::atexit(unmade_failure);
}

std::string location(const char* file, int line)
{
    const char* name = std::strrchr(file, '/');
    const char* windows = std::strrchr(file, '\\');
    if (windows != nullptr && (name == nullptr || windows > name)) {
        name = windows;
    }
    return std::string(name == nullptr ? file : name + 1) + ":" + std::to_string(line);
}

std::string head(long long ms, std::size_t depth, const std::string& where)
{
    char time[24];
    std::snprintf(time, sizeof time, "%7lld ms  ", ms);
    return time + std::string(2 * depth, ' ') + (where.empty() ? "" : where + "  ");
}

// Makes the call named in LESSONS_WHAT_IF fail as SDL would: its error text set,
// and a stream it was handed to own closed.
void fail_as_sdl_would(const WhatIf& what_if, std::initializer_list<Value> arguments)
{
    const char* first_text = "";
    for (const Value& argument : arguments) {
        if (argument.kind == Value::Kind::Text && argument.pointer != nullptr) {
            first_text = static_cast<const char*>(argument.pointer);
            break;
        }
    }
    if (std::strcmp(what_if.call, "SDL_LoadBMP_RW") == 0 && arguments.size() == 2) {
        const Value* stream = arguments.begin();
        if (arguments.begin()[1].number != 0 && stream->pointer != nullptr) {
            SDL_RWclose(static_cast<SDL_RWops*>(const_cast<void*>(stream->pointer)));
        }
    }
    if (std::strstr(what_if.error, "%s") != nullptr) {
        SDL_SetError(what_if.error, first_text);
    } else {
        SDL_SetError("%s", what_if.error);
    }
}

} // namespace

Entry::Entry(const Site& called, std::initializer_list<Value> arguments, Of of)
{
    read_what_if();
    State& s = state();
    const Site site{called.file, called.line, learners_name(called.name)};
    const Function* function = of == Of::Sdl ? function_named(site.name) : nullptr;
    std::string call = std::string(of == Of::Support ? "lesson::" : "") + site.name + "(";
    int at = 0;
    for (const Value& argument : arguments) {
        const Shape shape = function != nullptr && at < 6 ? function->arguments[at] : Shape::Plain;
        call += (at++ == 0 ? "" : ", ") + shown(argument, shape);
    }
    call += ")";
    failing_ =
        of == Of::Sdl && s.what_if != nullptr && std::strcmp(s.what_if->call, site.name) == 0;
    if (failing_) {
        fail_as_sdl_would(*s.what_if, arguments);
        s.made_a_failure = true;
    }
    index_ = static_cast<int>(s.lines.size());
    s.lines.push_back(head(now_ms(), s.open.size(), location(site.file, site.line)) + call);
    if (of == Of::Support) {
        s.open.push_back(index_);
    } else {
        ++s.sdl_depth;
    }
}

Entry::~Entry()
{
    if (!done_) {
        returned();
    }
}

void Entry::returned()
{
    State& s = state();
    done_ = true;
    if (!s.open.empty() && s.open.back() == index_) {
        s.open.pop_back();
    } else {
        --s.sdl_depth;
    }
    s.lines[index_] +=
        (failing_ ? "  made to fail: what if " + std::string(s.what_if->name) : "") + "\n";
    write_out();
}

void Entry::returned(const Value& result)
{
    State& s = state();
    const std::string& line = s.lines[index_];
    // The call's name: after the location, up to its "(".
    const std::size_t open = line.find('(');
    const std::size_t start = line.rfind(' ', open) + 1;
    const std::string name = line.substr(start, open - start);
    const Function* function = function_named(name.c_str());
    std::string text =
        " -> " + shown(result, function != nullptr ? function->result : Shape::Plain);
    // SDL's way of failing: a negative number, or no pointer at all.
    const bool pointer_kind =
        result.kind == Value::Kind::Text || result.kind == Value::Kind::Pointer ||
        result.kind == Value::Kind::Surface || result.kind == Value::Kind::Format;
    const bool failed = (result.kind == Value::Kind::Signed && result.number < 0) ||
                        (pointer_kind && result.pointer == nullptr);
    if (failed) {
        text += "  SDL_GetError(): " + quoted(SDL_GetError());
    }
    s.lines[index_] += text;
    returned();
}

#ifdef LESSONS_TRACE_WRAP_CALLOC
// The build links the traced lessons with --wrap=calloc: each calloc of theirs
// comes here first. With LESSONS_WHAT_IF=no-memory, one made by the support code
// itself (not by SDL on its behalf) fails, as if memory had run out.
extern "C" void* __real_calloc(std::size_t count, std::size_t size);
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size)
{
    State& s = state();
    if (s.what_if != nullptr && std::strcmp(s.what_if->call, "calloc") == 0 && !s.open.empty() &&
        s.sdl_depth == 0) {
        s.made_a_failure = true;
        s.lines.push_back(head(now_ms(), s.open.size(), "") + "calloc(" + std::to_string(count) +
                          ", " + std::to_string(size) + ") -> NULL  made to fail: what if " +
                          s.what_if->name + "\n");
        errno = ENOMEM;
        return nullptr;
    }
    return __real_calloc(count, size);
}
#endif

} // namespace lessons_trace
