// Included first in every source of the traced build (cmake/Trace.cmake): the
// lesson's and the support library's alike. The sources themselves do not change.
//
// Each SDL function's name becomes a macro for a lessons_trace::Call object, which
// makes the same call, noting the file and line it is written on, its arguments
// and its result (lessons_trace_sdl.hpp, written by CMake from SDL's own headers,
// so a function a later lesson calls is traced too). The macro takes no
// arguments: so __LINE__ is the line of the function's name, for clang as for
// gcc, in a call written over several lines. In a lesson, the
// namespace lesson becomes lessons_traced, whose support functions make the same
// call through lessons_trace::Support; everything else of lesson:: is there as it
// was. In the support code itself only the SDL calls are traced.
#pragma once

#include "trace.hpp"

#include <SDL.h>

#ifndef LESSONS_TRACE_SUPPORT_CODE
// The support library's headers, read before the name lesson changes meaning.
#include "lessons_trace_support.hpp"

namespace lessons_traced {
using namespace ::lesson;
#define LESSONS_TRACE_SUPPORT(function)                                                            \
    inline constexpr ::lessons_trace::Support<&::lesson::function> function{#function};
LESSONS_TRACE_SUPPORT_FUNCTIONS
#undef LESSONS_TRACE_SUPPORT
} // namespace lessons_traced

#define lesson lessons_traced
#endif

#define LESSONS_TRACE_SDL(function)                                                                \
    ::lessons_trace::Call<&::function>(__FILE__, __LINE__, #function)
#include "lessons_trace_sdl.hpp"
