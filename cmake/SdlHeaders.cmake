# What the traced build learns of SDL from SDL's own headers (SDL.h and those it
# includes), so that it knows every function and name of the SDL it is built with,
# and a later lesson's calls are traced and shown as well as these lessons' are.
#
# sdl_headers_read(<SDL.h folder> <prefix> [<folder of SDL_config.h>]) sets, in the
# caller's scope:
#   <prefix>_functions  the functions SDL.h declares (SDL_main aside)
#   <prefix>_aliases    "<name>=<function>" where SDL's name is a plain alias of a
#                       function (SDL_BlitSurface=SDL_UpperBlit)
#   <prefix>_shapes     "<function>|<result>|<argument>,<argument>..." for each, how
#                       its result and each argument read best (see below)
#   <prefix>_enums      the enumerations: "<type>=<name>,<name>,..." for each
#                       "typedef enum" (SDL_RendererFlags=SDL_RENDERER_SOFTWARE,...)
#                       and SDL_INIT=SDL_INIT_TIMER,... for SDL_Init's flags
#
# A shape is one of: p (as its type says: a number, a string, a pointer), b (a
# colour's byte, in hex), x (a pixel value, in hex), f (a pixel format, by name),
# w (a window position: SDL_WINDOWPOS_UNDEFINED), r (an SDL_Rect or SDL_FRect, by
# its fields), e (an SDL_Event, by its type and key), s (a surface, with its size
# and format), or E<n>/F<n>: a value, or flags, named by the n-th enumeration.

# The declarations' text as the lessons' compiler sees it, so that only what this
# platform declares is read (SDL_system.h declares WinRT's names only for WinRT):
# SDL.h preprocessed, its macros kept (-dD) and DECLSPEC and SDLCALL left as
# words to find declarations by, and of that only what SDL's own headers say,
# found by the compiler's line markers. The ';' that end declarations are made
# '@', out of the list's way.
function(sdl_headers_text variable folder config)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    if(config)
        list(APPEND flags "-I${config}")
    endif()
    execute_process(
        COMMAND "${CMAKE_CXX_COMPILER}" ${flags} -E -dD -DDECLSPEC=DECLSPEC -DSDLCALL=SDLCALL
                "-I${folder}" "${folder}/SDL.h"
        OUTPUT_VARIABLE preprocessed ERROR_VARIABLE errors RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} could not preprocess ${folder}/SDL.h:\n${errors}")
    endif()
    string(REPLACE ";" "@" preprocessed "${preprocessed}")
    string(REGEX REPLACE "(^|\n)# [0-9]+ \"([^\"\n]*)\"[^\n]*" ";\\2\n" chunks "${preprocessed}")
    set(all "")
    foreach(chunk IN LISTS chunks)
        string(FIND "${chunk}" "\n" end)
        string(SUBSTRING "${chunk}" 0 ${end} file)
        get_filename_component(file "${file}" DIRECTORY)
        if(file STREQUAL folder)
            string(SUBSTRING "${chunk}" ${end} -1 chunk)
            string(APPEND all "${chunk}")
        endif()
    endforeach()
    set(${variable} "${all}" PARENT_SCOPE)
endfunction()

function(sdl_headers_read folder prefix)
    sdl_headers_text(text "${folder}" "${ARGN}")

    # The enumerations, and the names of SDL_Init's flags.
    set(enums "")
    set(enum_types "")
    string(REGEX MATCHALL "typedef enum[ \t\r\n]*[A-Za-z0-9_]*[ \t\r\n]*{[^}]*}[ \t\r\n]*[A-Za-z0-9_]+" found "${text}")
    foreach(enum IN LISTS found)
        string(REGEX REPLACE ".*}[ \t\r\n]*" "" type "${enum}")
        string(REGEX REPLACE "^[^{]*{([^}]*)}.*" "\\1" body "${enum}")
        string(REGEX REPLACE "\n[ \t]*#[^\n]*" "\n" body "${body}")
        string(REGEX MATCHALL "(^|,)[ \t\r\n]*[A-Za-z_][A-Za-z0-9_]*" names "${body}")
        list(TRANSFORM names REPLACE "^[, \t\r\n]+" "")
        list(REMOVE_DUPLICATES names)
        if(names AND NOT type IN_LIST enum_types)
            list(JOIN names "," names)
            list(APPEND enums "${type}=${names}")
            list(APPEND enum_types "${type}")
        endif()
    endforeach()
    string(REGEX MATCHALL "\n#define SDL_INIT_[A-Z]+ " init "${text}")
    list(TRANSFORM init REPLACE "\n#define ([A-Z_]+) " "\\1")
    list(REMOVE_ITEM init SDL_INIT_EVERYTHING)
    list(JOIN init "," init)
    list(APPEND enums "SDL_INIT=${init}")
    list(APPEND enum_types SDL_INIT)

    # Flags named "flags" read by the enumeration of their function's subject:
    # SDL_CreateRenderer's by SDL_RendererFlags, SDL_CreateWindow's by
    # SDL_WindowFlags; SDL_Init's and its kin's by SDL_INIT.
    set(flag_types "")
    foreach(type IN LISTS enum_types)
        if(type MATCHES "^SDL_([A-Za-z]+)Flags$")
            list(APPEND flag_types "${CMAKE_MATCH_1}=${type}")
        endif()
    endforeach()
    macro(flags_of function result)
        set(${result} "")
        if("${function}" MATCHES "^SDL_(Init|InitSubSystem|QuitSubSystem|WasInit)$")
            list(FIND enum_types SDL_INIT at)
            set(${result} "F${at}")
        else()
            foreach(pair IN LISTS flag_types)
                string(REGEX REPLACE "=.*" "" subject "${pair}")
                string(REGEX REPLACE ".*=" "" type "${pair}")
                if("${function}" MATCHES "${subject}")
                    list(FIND enum_types "${type}" at)
                    set(${result} "F${at}")
                    break()
                endif()
            endforeach()
        endif()
    endmacro()

    # The functions, each with how its arguments and result read.
    set(functions "")
    set(shapes "")
    string(REGEX MATCHALL "extern[ \t\r\n]+DECLSPEC[^@(]*SDLCALL[ \t\r\n*]*SDL_[A-Za-z0-9_]+[ \t\r\n]*\\([^@]*@"
           declared "${text}")
    foreach(declaration IN LISTS declared)
        string(REGEX MATCH "SDLCALL[ \t\r\n*]*(SDL_[A-Za-z0-9_]+)[ \t\r\n]*\\((.*)\\)[^)]*@$" ignored "${declaration}")
        set(name "${CMAKE_MATCH_1}")
        set(parameters "${CMAKE_MATCH_2}")
        if(NOT name OR name STREQUAL "SDL_main" OR name IN_LIST functions)
            continue()
        endif()
        list(APPEND functions "${name}")
        string(REGEX REPLACE "^extern[ \t\r\n]+DECLSPEC[ \t\r\n]*(.*)SDLCALL.*" "\\1" returns "${declaration}")
        string(REGEX REPLACE "[ \t\r\n]+" " " returns "${returns}")
        set(result p)
        if(returns MATCHES "SDL_Surface[ \t\r\n]*\\*")
            set(result s)
        elseif(name MATCHES "^SDL_MapRGBA?$")
            set(result x)
        elseif(returns MATCHES "Uint32" AND name MATCHES "^SDL_(WasInit|Get[A-Za-z]*Flags)$")
            flags_of("${name}" result)
        else()
            string(STRIP "${returns}" type)
            list(FIND enum_types "${type}" at)
            if(at GREATER_EQUAL 0)
                set(result "E${at}")
            endif()
        endif()
        set(arguments "")
        # A function pointer among them would split wrongly at its own commas: such
        # a function's arguments read as their types say.
        if(parameters MATCHES "[()]")
            list(APPEND shapes "${name}|${result}|")
            continue()
        endif()
        string(REPLACE "," ";" parameters "${parameters}")
        foreach(parameter IN LISTS parameters)
            string(REGEX REPLACE "[ \t\r\n]+" " " parameter "${parameter}")
            string(STRIP "${parameter}" parameter)
            if(parameter MATCHES "^(void|\\.\\.\\.)?$")
                continue()
            endif()
            string(REGEX MATCH "[A-Za-z0-9_]+$" argument "${parameter}")
            string(REGEX REPLACE "[A-Za-z0-9_]+$" "" type "${parameter}")
            string(REGEX REPLACE "^const |SDL_PRINTF_FORMAT_STRING |SDL_OUT_BYTECAP\\([^)]*\\) " "" type "${type}")
            string(STRIP "${type}" type)
            set(shape p)
            if(type MATCHES "^SDL_F?Rect ?\\*$")
                set(shape r)
            elseif(type MATCHES "^SDL_Event ?\\*$")
                set(shape e)
            elseif(type MATCHES "^SDL_Surface ?\\*$")
                set(shape s)
            elseif(type STREQUAL "Uint8" AND argument MATCHES "^[rgba]$")
                set(shape b)
            elseif(type STREQUAL "Uint32" AND argument MATCHES "^(color|key)$")
                set(shape x)
            elseif(type STREQUAL "Uint32" AND argument MATCHES "^(pixel_)?format$")
                set(shape f)
            elseif(type STREQUAL "int" AND argument MATCHES "^[xy]$" AND name MATCHES "Window")
                set(shape w)
            elseif(type MATCHES "^(Uint32|int)$" AND argument STREQUAL "flags")
                flags_of("${name}" shape)
                if(NOT shape)
                    set(shape p)
                endif()
            else()
                list(FIND enum_types "${type}" at)
                if(at GREATER_EQUAL 0)
                    set(shape "E${at}")
                endif()
            endif()
            list(APPEND arguments ${shape})
        endforeach()
        list(JOIN arguments "," arguments)
        list(APPEND shapes "${name}|${result}|${arguments}")
    endforeach()

    # SDL's own aliases of its functions, where the name a learner writes is not the
    # function's (SDL_BlitSurface for SDL_UpperBlit).
    set(aliases "")
    string(REGEX MATCHALL "\n#define SDL_[A-Za-z0-9_]+ +SDL_[A-Za-z0-9_]+[ \t]*\r?\n" defined "${text}")
    foreach(alias IN LISTS defined)
        string(REGEX REPLACE "^\n#define (SDL_[A-Za-z0-9_]+) +(SDL_[A-Za-z0-9_]+).*" "\\1=\\2" pair "${alias}")
        string(REGEX REPLACE ".*=" "" target "${pair}")
        if(target IN_LIST functions)
            list(APPEND aliases "${pair}")
        endif()
    endforeach()

    set(${prefix}_functions "${functions}" PARENT_SCOPE)
    set(${prefix}_aliases "${aliases}" PARENT_SCOPE)
    set(${prefix}_shapes "${shapes}" PARENT_SCOPE)
    set(${prefix}_enums "${enums}" PARENT_SCOPE)
endfunction()
