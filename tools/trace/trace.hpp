// The recorder of the traced build. A traced lesson is compiled with
// lessons_trace.hpp included first (cmake/Trace.cmake does it), which routes every
// SDL call, SDL_X(...), through Call<&SDL_X>(...), and every call of the support library
// from a lesson, lesson::f(...), through Support<&lesson::f>. Each passes the call
// on unchanged and writes one line about it to standard error: when it was made,
// from which file and line, with which arguments, and what it returned
// (trace.cpp). What the lesson itself does and prints stays as it is, unless
// LESSONS_WHAT_IF names a call to fail, as SDL would fail it.
#pragma once

#include <SDL.h>

#include <initializer_list>
#include <type_traits>
#include <vector>

namespace lessons_trace {

// One argument or result, as it was when the call was made or returned.
struct Value {
    enum class Kind {
        Other,
        Signed,
        Unsigned,
        Real,
        Bool,
        Text,
        Pointer,
        Surface,
        Format,
        Rect,
        Event
    };
    Kind kind = Kind::Other;
    long long number = 0; // Signed, Unsigned (as its bits) and Bool
    double real = 0;
    const void* pointer = nullptr; // Text, Pointer, Surface, Format, Rect, Event
    double rect[4] = {0, 0, 0, 0}; // a Rect's x, y, w and h, as they were when the call was made
};

template <typename T> Value capture(T value)
{
    Value captured;
    using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
    if constexpr (std::is_same_v<T, SDL_bool>) {
        captured.kind = Value::Kind::Bool;
        captured.number = value == SDL_TRUE;
    } else if constexpr (std::is_enum_v<T>) {
        captured.kind = Value::Kind::Signed;
        captured.number = static_cast<long long>(value);
    } else if constexpr (std::is_integral_v<T>) {
        captured.kind = std::is_signed_v<T> ? Value::Kind::Signed : Value::Kind::Unsigned;
        captured.number = static_cast<long long>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        captured.kind = Value::Kind::Real;
        captured.real = static_cast<double>(value);
    } else if constexpr (std::is_pointer_v<T> && std::is_function_v<Pointee>) {
        captured.kind = Value::Kind::Pointer;
        captured.pointer = reinterpret_cast<const void*>(value);
    } else if constexpr (std::is_pointer_v<T>) {
        captured.pointer = value;
        if constexpr (std::is_same_v<Pointee, char>) {
            captured.kind = Value::Kind::Text;
        } else if constexpr (std::is_same_v<Pointee, SDL_Surface>) {
            captured.kind = Value::Kind::Surface;
        } else if constexpr (std::is_same_v<Pointee, SDL_PixelFormat>) {
            captured.kind = Value::Kind::Format;
        } else if constexpr (std::is_same_v<Pointee, SDL_Rect> ||
                             std::is_same_v<Pointee, SDL_FRect>) {
            captured.kind = Value::Kind::Rect;
            if (value != nullptr) {
                captured.rect[0] = value->x;
                captured.rect[1] = value->y;
                captured.rect[2] = value->w;
                captured.rect[3] = value->h;
            }
        } else if constexpr (std::is_same_v<Pointee, SDL_Event>) {
            // What the call filled in is read once it returns.
            captured.kind = Value::Kind::Event;
        } else {
            captured.kind = Value::Kind::Pointer;
        }
    }
    return captured;
}

// Where a call was written, and whose call it is.
struct Site {
    const char* file;
    int line;
    const char* name;
};

// One call, from the moment it is made (its arguments noted) to its return (its
// result noted, and its line written). made_to_fail(): LESSONS_WHAT_IF names this
// call, which is then not made; the caller returns the failure as SDL would.
class Entry {
public:
    enum class Of { Sdl, Support };
    Entry(const Site& site, std::initializer_list<Value> arguments, Of of);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    bool made_to_fail() const
    {
        return failing_;
    }
    void returned();
    void returned(const Value& result);

private:
    void finish(const Value* result);
    std::vector<Value> arguments_;
    bool support_;
    int index_;
    bool failing_;
    bool done_ = false;
};

template <typename R> R failure()
{
    if constexpr (std::is_pointer_v<R>) {
        return nullptr;
    } else {
        return static_cast<R>(-1);
    }
}

// Call<&SDL_X>: its type, R(*)(P...), is told apart from a printf-style function's
// by a second argument, which the compilers match more reliably than F itself.
template <auto F, typename Type = decltype(F)> class Call;

template <auto F, typename R, typename... P> class Call<F, R (*)(P...)> {
public:
    Call(const char* file, int line, const char* name) : site_{file, line, name}
    {
    }
    // Where a lesson names the function without calling it (a callback, say).
    operator decltype(F)() const
    {
        return F;
    }
    R operator()(P... arguments) const
    {
        Entry entry(site_, {capture(arguments)...}, Entry::Of::Sdl);
        if constexpr (std::is_void_v<R>) {
            if (!entry.made_to_fail()) {
                F(arguments...);
            }
            entry.returned();
        } else {
            R result = entry.made_to_fail() ? failure<R>() : F(arguments...);
            entry.returned(capture(result));
            return result;
        }
    }

private:
    Site site_;
};

// SDL's functions with a printf-style list of arguments (SDL_SetError, SDL_Log).
template <auto F, typename R, typename... P> class Call<F, R (*)(P..., ...)> {
public:
    Call(const char* file, int line, const char* name) : site_{file, line, name}
    {
    }
    // Where a lesson names the function without calling it (a callback, say).
    operator decltype(F)() const
    {
        return F;
    }
    template <typename... More> R operator()(P... arguments, More... more) const
    {
        Entry entry(site_, {capture(arguments)..., capture(more)...}, Entry::Of::Sdl);
        if constexpr (std::is_void_v<R>) {
            F(arguments..., more...);
            entry.returned();
        } else {
            R result = F(arguments..., more...);
            entry.returned(capture(result));
            return result;
        }
    }

private:
    Site site_;
};

// A support function, called from a lesson as lesson::f(...). The compiler fills in
// the file and line where the call is written (the defaulted last arguments).
template <auto F, typename Type = decltype(F)> class Support;

template <auto F, typename R, typename... P> class Support<F, R (*)(P...)> {
public:
    constexpr explicit Support(const char* name) : name_(name)
    {
    }
    R operator()(P... arguments, const char* file = __builtin_FILE(),
                 int line = __builtin_LINE()) const
    {
        Entry entry(Site{file, line, name_}, {capture(arguments)...}, Entry::Of::Support);
        if constexpr (std::is_void_v<R>) {
            F(arguments...);
            entry.returned();
        } else {
            R result = F(arguments...);
            entry.returned(capture(result));
            return result;
        }
    }

private:
    const char* name_;
};

} // namespace lessons_trace
