# The traced build (-DLESSONS_TRACE=ON, the preset "trace"): beside each lesson
# <name>, a program <name>-trace built from the same sources, which writes every SDL
# call it makes to standard error, and can be made to meet a failure
# (LESSONS_WHAT_IF). The lessons and the support library do not change: each
# source of the traced twin is compiled with tools/trace/lessons_trace.hpp
# included first, and the support library is built a second time that way
# (lesson_common_trace). See docs/trace.md.

set(LESSONS_TRACE_DIR "${PROJECT_SOURCE_DIR}/tools/trace")

include("${CMAKE_CURRENT_LIST_DIR}/SdlHeaders.cmake")

# lessons_trace_sdl_folder(<variable>): the folder holding the SDL.h the lessons
# include, from the include folders of the SDL2 they link.
function(lessons_trace_sdl_folder variable)
    set(target ${LESSONS_SDL2})
    get_target_property(aliased ${target} ALIASED_TARGET)
    if(aliased)
        set(target ${aliased})
    endif()
    get_target_property(folders ${target} INTERFACE_INCLUDE_DIRECTORIES)
    # SDL2 built with the lessons copies its headers only when it is built; its
    # source has them from the start.
    include(FetchContent)
    FetchContent_GetProperties(SDL2 SOURCE_DIR source)
    if(source)
        list(APPEND folders "${source}/include")
    endif()
    foreach(folder IN LISTS folders)
        string(REGEX REPLACE "^\\$<BUILD_INTERFACE:(.*)>$" "\\1" folder "${folder}")
        foreach(candidate "${folder}" "${folder}/SDL2")
            if(EXISTS "${candidate}/SDL.h" AND EXISTS "${candidate}/SDL_video.h")
                set(${variable} "${candidate}" PARENT_SCOPE)
                return()
            endif()
        endforeach()
    endforeach()
    message(FATAL_ERROR "LESSONS_TRACE: found no SDL.h in the include folders of "
                        "${LESSONS_SDL2} (${folders})")
endfunction()

# lessons_trace_setup(): the recorder library, the headers the forced include reads
# and the traced support library, once.
function(lessons_trace_setup)
    set(out "${PROJECT_BINARY_DIR}/lessons_trace")

    lessons_trace_sdl_folder(sdl_folder)
    # SDL2 built from source with the lessons writes its SDL_config.h only as the
    # build is generated, after this reads SDL's headers; what it will hold is
    # there already.
    set(config "")
    FetchContent_GetProperties(SDL2 BINARY_DIR sdl_binary)
    if(NOT EXISTS "${sdl_folder}/SDL_config.h" AND EXISTS "${sdl_binary}/SDL_config.h.intermediate")
        set(config "${out}/sdl_config")
        configure_file("${sdl_binary}/SDL_config.h.intermediate" "${config}/SDL_config.h" COPYONLY)
    endif()
    sdl_headers_read("${sdl_folder}" sdl ${config})
    # Each SDL function's name becomes a macro of its own for its recorder.
    string(CONCAT text "// Written by cmake/Trace.cmake from ${sdl_folder}/SDL.h and the headers it\n"
                       "// includes: every SDL function, traced (tools/trace/lessons_trace.hpp).\n")
    foreach(function IN LISTS sdl_functions)
        string(APPEND text "#undef ${function}\n#define ${function} LESSONS_TRACE_SDL(${function})\n")
    endforeach()
    file(CONFIGURE OUTPUT "${out}/lessons_trace_sdl.hpp" CONTENT "${text}" @ONLY)
    # SDL's own alias stays, and leads to the traced function; the trace shows the
    # name a learner writes.
    set(text "// Written by cmake/Trace.cmake: SDL's names for its functions, where they differ.\n")
    foreach(alias IN LISTS sdl_aliases)
        string(REGEX REPLACE "(.*)=(.*)" "{\"\\2\", \"\\1\"},\n" alias "${alias}")
        string(APPEND text "${alias}")
    endforeach()
    file(CONFIGURE OUTPUT "${out}/aliases.inc" CONTENT "${text}" @ONLY)
    # How each function's arguments and result read.
    set(text "// Written by cmake/Trace.cmake from SDL's headers: {function, result, arguments}.\n")
    foreach(shape IN LISTS sdl_shapes)
        string(REPLACE "|" "\", \"" shape "${shape}")
        string(APPEND text "{\"${shape}\"},\n")
    endforeach()
    file(CONFIGURE OUTPUT "${out}/shapes.inc" CONTENT "${text}" @ONLY)
    # The enumerations, by name: their values are the compiler's to work out. Those
    # SDL.h leaves out on this platform (Windows' own, say) are left out.
    file(WRITE "${out}/sdl_h.cpp" "#include <SDL.h>\n")
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -E "-I${sdl_folder}" "${out}/sdl_h.cpp"
                    OUTPUT_VARIABLE preprocessed ERROR_QUIET RESULT_VARIABLE failed)
    set(text "// Written by cmake/Trace.cmake from SDL's headers: each enumeration, by name.\n")
    set(index 0)
    foreach(enum IN LISTS sdl_enums)
        string(REGEX REPLACE "=.*" "" type "${enum}")
        string(REGEX REPLACE ".*=" "" names "${enum}")
        string(REPLACE "," ";" names "${names}")
        list(GET names 0 first)
        set(entries "")
        if(failed OR type STREQUAL "SDL_INIT" OR preprocessed MATCHES "[^A-Za-z0-9_]${first}[^A-Za-z0-9_]")
            foreach(name IN LISTS names)
                string(APPEND entries "{static_cast<long long>(${name}), \"${name}\"}, ")
            endforeach()
        endif()
        string(APPEND text "LESSONS_TRACE_ENUM(${index}, \"${type}\", ${entries})\n")
        math(EXPR index "${index} + 1")
    endforeach()
    file(CONFIGURE OUTPUT "${out}/enums.inc" CONTENT "${text}" @ONLY)
    list(TRANSFORM LESSONS_EVENT_READERS REPLACE "(.+)" "\"\\1\"," OUTPUT_VARIABLE readers)
    list(JOIN readers "\n" readers)
    file(CONFIGURE OUTPUT "${out}/event_readers.inc" CONTENT "${readers}\n" @ONLY)

    # The support functions: one a header of lessons/common, named after it.
    glob_folder(project "${PROJECT_SOURCE_DIR}")
    file(GLOB headers CONFIGURE_DEPENDS "${project}/lessons/common/*.hpp")
    set(text "// Written by cmake/Trace.cmake from lessons/common/*.hpp.\n")
    set(names "")
    foreach(header IN LISTS headers)
        get_filename_component(stem "${header}" NAME_WE)
        get_filename_component(file "${header}" NAME)
        string(APPEND text "#include \"common/${file}\"\n")
        file(STRINGS "${header}" declarations REGEX "^[A-Za-z_].*[ *&]([A-Za-z_][A-Za-z0-9_]*)\\(")
        foreach(declaration IN LISTS declarations)
            string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)\\(" name "${declaration}")
            string(REGEX REPLACE "\\($" "" name "${name}")
            string(TOLOWER "${name}" lower)
            if(lower STREQUAL stem)
                string(APPEND names " LESSONS_TRACE_SUPPORT(${name})")
            endif()
        endforeach()
    endforeach()
    if(NOT names)
        message(FATAL_ERROR "LESSONS_TRACE: found no support function in ${PROJECT_SOURCE_DIR}/lessons/common/*.hpp")
    endif()
    string(APPEND text "#define LESSONS_TRACE_SUPPORT_FUNCTIONS${names}\n")
    file(CONFIGURE OUTPUT "${out}/lessons_trace_support.hpp" CONTENT "${text}" @ONLY)

    # The failures it can make: lessons/failures.tsv, as the what-if table.
    set(text "// Written by cmake/Trace.cmake from lessons/failures.tsv.\n")
    foreach(row IN LISTS failure_rows)
        set(entry "")
        foreach(column name call meaning sdl_words)
            string(REPLACE "\\" "\\\\" field "${failure_${row}_${column}}")
            string(REPLACE "\"" "\\\"" field "${field}")
            string(APPEND entry "\"${field}\", ")
        endforeach()
        string(APPEND text "{${entry}},\n")
    endforeach()
    file(CONFIGURE OUTPUT "${out}/what_ifs.inc" CONTENT "${text}" @ONLY)

    add_library(lessons_trace STATIC "${LESSONS_TRACE_DIR}/trace.cpp")
    target_include_directories(lessons_trace PUBLIC "${LESSONS_TRACE_DIR}" PRIVATE "${out}")
    target_link_libraries(lessons_trace PUBLIC ${LESSONS_SDL2})
    # A failure of calloc, for the what-if no-memory, where the linker can route the
    # program's calloc through the recorder first.
    # (A program of its own, with the wrapper: MinGW's runtime, linked in, calls
    # calloc itself.)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_LINK_OPTIONS "-Wl,--wrap=calloc")
    check_cxx_source_compiles("
        #include <cstddef>
        #include <cstdlib>
        extern \"C\" void* __real_calloc(std::size_t count, std::size_t size);
        extern \"C\" void* __wrap_calloc(std::size_t count, std::size_t size) { return __real_calloc(count, size); }
        int main() { return std::calloc(1, 1) == nullptr; }" LESSONS_TRACE_WRAPS_CALLOC)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    if(LESSONS_TRACE_WRAPS_CALLOC)
        target_compile_definitions(lessons_trace PRIVATE LESSONS_TRACE_WRAP_CALLOC)
        target_link_options(lessons_trace INTERFACE "-Wl,--wrap=calloc")
    endif()

    # The support library again, its SDL calls traced.
    get_target_property(sources lesson_common SOURCES)
    add_library(lesson_common_trace STATIC ${sources})
    target_include_directories(lesson_common_trace PUBLIC "${PROJECT_SOURCE_DIR}/lessons")
    target_compile_definitions(lesson_common_trace PRIVATE LESSONS_TRACE_SUPPORT_CODE)
    lessons_trace_forced_include(lesson_common_trace)
    target_link_libraries(lesson_common_trace PUBLIC lessons_trace ${LESSONS_SDL2})
endfunction()

# lessons_trace_forced_include(<target>): its sources start with lessons_trace.hpp.
function(lessons_trace_forced_include target)
    # Found through the include path, so that the checkout's path (which may hold
    # quotes or a '%') is not written into the option itself.
    target_include_directories(${target} SYSTEM PRIVATE "${LESSONS_TRACE_DIR}"
                                                        "${PROJECT_BINARY_DIR}/lessons_trace")
    if(MSVC)
        target_compile_options(${target} PRIVATE /FIlessons_trace.hpp)
    else()
        target_compile_options(${target} PRIVATE -include lessons_trace.hpp)
    endif()
endfunction()

# trace_lesson(<name> <source>): the traced twin <name>-trace of lesson <name>.
function(trace_lesson name source)
    if(NOT TARGET lessons_trace)
        lessons_trace_setup()
    endif()
    set(traced ${name}-trace)
    add_executable(${traced} "${source}")
    lessons_trace_forced_include(${traced})
    target_link_libraries(${traced} PRIVATE lesson_common_trace lesson_resources lessons_trace)
    if(TARGET SDL2::SDL2main)
        target_link_libraries(${traced} PRIVATE SDL2::SDL2main)
    endif()
    set_target_properties(${traced} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
endfunction()
