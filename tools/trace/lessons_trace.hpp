// Included first in every source of the traced build (cmake/Trace.cmake): the
// lesson's and the support library's alike. The sources themselves do not change.
//
// Each SDL function becomes a macro of its own name that makes the same call
// through lessons_trace::Call, which notes the file and line it is written on, its
// arguments and its result (lessons_trace_sdl.hpp, written by CMake from SDL's own
// headers, so a function a later lesson calls is traced too). In a lesson, the
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

#define LESSONS_TRACE_SDL(name, function)                                                          \
    ::lessons_trace::Call<&::function>(__FILE__, __LINE__, #name)
#include "lessons_trace_sdl.hpp"
