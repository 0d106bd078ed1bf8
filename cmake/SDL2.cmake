# SDL2 for the lessons: the SDL2 installed on this machine, found through its CMake
# package, or, where there is none, SDL2 built from source as part of this build
# (CMake's FetchContent), pinned to one release. Either way the lessons link
# ${LESSONS_SDL2} (SDL2::SDL2, or SDL2::SDL2-static where SDL2 is a static library
# only, as on the web) and, where it exists, SDL2::SDL2main.
#
#   -DLESSONS_SDL2_FROM_SOURCE=AUTO   the installed SDL2, else build it (the default)
#   -DLESSONS_SDL2_FROM_SOURCE=ON     always build it
#   -DLESSONS_SDL2_FROM_SOURCE=OFF    never build it: stop when none is installed
#   -DFETCHCONTENT_SOURCE_DIR_SDL2=<folder>   build from an unpacked SDL2 source
#                                             there instead of downloading it

# SDL2 releases before 2.0.20 have known heap overflows in the BMP decoder and the
# blitter that these lessons use (CVE-2019-7635, CVE-2019-7638, CVE-2020-14409,
# CVE-2020-14410, CVE-2021-33657), so an older SDL2 is refused outright.
set(LESSONS_SDL2_MINIMUM 2.0.20)
set(LESSONS_SDL2_CVES "CVE-2019-7635, CVE-2019-7638, CVE-2020-14409, CVE-2020-14410, CVE-2021-33657")
# The release built from source: its tag, and the commit the tag must name.
set(LESSONS_SDL2_REPOSITORY "https://github.com/libsdl-org/SDL.git" CACHE STRING
    "The git repository SDL2's source is downloaded from")
set(LESSONS_SDL2_TAG release-2.32.10)
set(LESSONS_SDL2_COMMIT 5d249570393f7a37e037abf22cd6012a4cc56a71)

set(LESSONS_SDL2_FROM_SOURCE AUTO CACHE STRING
    "Build SDL2 (${LESSONS_SDL2_TAG}) from source: AUTO where none is installed, ON always, OFF never")
set_property(CACHE LESSONS_SDL2_FROM_SOURCE PROPERTY STRINGS AUTO ON OFF)
string(TOUPPER "${LESSONS_SDL2_FROM_SOURCE}" from_source)
if(from_source MATCHES "^(ON|YES|TRUE|Y|1)$")
    set(from_source ON)
elseif(from_source MATCHES "^(OFF|NO|FALSE|N|0)$")
    set(from_source OFF)
elseif(NOT from_source STREQUAL "AUTO")
    message(FATAL_ERROR "LESSONS_SDL2_FROM_SOURCE is '${LESSONS_SDL2_FROM_SOURCE}': "
                        "use AUTO, ON or OFF")
endif()

# lessons_sdl2_refuse_if_old(<version> <where it came from>)
function(lessons_sdl2_refuse_if_old version origin)
    if(version VERSION_LESS LESSONS_SDL2_MINIMUM)
        message(FATAL_ERROR
            "SDL2 ${version} (${origin}) is too old: these lessons need SDL2 "
            "${LESSONS_SDL2_MINIMUM} or newer, because older releases have known heap "
            "overflows in BMP loading and blitting (${LESSONS_SDL2_CVES}). Install a newer "
            "SDL2 development package, point SDL2_DIR at one, or build SDL2 with the lessons: "
            "-DLESSONS_SDL2_FROM_SOURCE=ON.")
    endif()
endfunction()

# lessons_sdl2_from_source(): downloads (or takes from FETCHCONTENT_SOURCE_DIR_SDL2)
# SDL2's source and adds it to this build, quietly, with nothing to install.
function(lessons_sdl2_from_source)
    # SDL2's own CMake hands the paths in its custom commands (copying its headers,
    # generating Wayland's protocol code) to the shell unquoted, so its build fails in
    # a folder whose path holds a '(' or a ')', as "my lessons (v1)" or
    # "Program Files (x86)" do. While SDL2's folder is read, each custom command is made
    # VERBATIM, which has CMake quote every argument for the shell; none of SDL2's
    # commands relies on the shell reading them.
    function(add_custom_command)
        if(LESSONS_QUOTE_CUSTOM_COMMANDS AND NOT "VERBATIM" IN_LIST ARGV)
            _add_custom_command(${ARGV} VERBATIM)
        else()
            _add_custom_command(${ARGV})
        endif()
    endfunction()

    include(FetchContent)
    # A shallow clone of the tag: a few megabytes rather than SDL's whole history.
    # SOURCE_SUBDIR names a folder SDL2 does not have, so that MakeAvailable only
    # fetches the source: its version is checked, and its build added below,
    # before anything of SDL2's runs. (That is how CMake 3.22 to 4.x all take it
    # without a deprecation warning, which FetchContent_Populate(SDL2) gets from
    # CMake 3.30 on.)
    FetchContent_Declare(SDL2
        GIT_REPOSITORY "${LESSONS_SDL2_REPOSITORY}"
        GIT_TAG "${LESSONS_SDL2_TAG}"
        GIT_SHALLOW TRUE
        SOURCE_SUBDIR "fetched by the lessons, built below")
    FetchContent_GetProperties(SDL2)
    if(NOT sdl2_POPULATED)
        if(FETCHCONTENT_SOURCE_DIR_SDL2)
            message(STATUS "SDL2: building it from ${FETCHCONTENT_SOURCE_DIR_SDL2}")
        else()
            message(STATUS "SDL2: downloading ${LESSONS_SDL2_TAG} from "
                           "${LESSONS_SDL2_REPOSITORY} to build it with the lessons (offline, "
                           "set FETCHCONTENT_SOURCE_DIR_SDL2 to an unpacked SDL2 source)")
        endif()
        FetchContent_MakeAvailable(SDL2)
    endif()

    if(FETCHCONTENT_SOURCE_DIR_SDL2)
        set(origin "built from ${sdl2_SOURCE_DIR}")
    else()
        # A tag can be moved; the commit it named when these lessons were written cannot.
        find_package(Git QUIET)
        execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse HEAD
                        WORKING_DIRECTORY "${sdl2_SOURCE_DIR}"
                        OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT commit STREQUAL LESSONS_SDL2_COMMIT)
            message(FATAL_ERROR
                "SDL2's tag ${LESSONS_SDL2_TAG} in ${LESSONS_SDL2_REPOSITORY} names commit "
                "'${commit}', not ${LESSONS_SDL2_COMMIT}: refusing to build an SDL2 that is "
                "not the release these lessons pin. Delete ${sdl2_SOURCE_DIR} to download it again.")
        endif()
        set(origin "built from ${LESSONS_SDL2_REPOSITORY} at ${LESSONS_SDL2_TAG}")
    endif()

    # The version, read before building so that an old SDL2 is refused at once.
    file(STRINGS "${sdl2_SOURCE_DIR}/include/SDL_version.h" defines
         REGEX "^#define SDL_(MAJOR_VERSION|MINOR_VERSION|PATCHLEVEL) +[0-9]+")
    set(version "")
    foreach(define IN LISTS defines)
        string(REGEX MATCH "[0-9]+$" number "${define}")
        list(APPEND version "${number}")
    endforeach()
    list(JOIN version "." version)
    if(NOT version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
        message(FATAL_ERROR "${sdl2_SOURCE_DIR} does not look like SDL2's source: "
                            "no version in include/SDL_version.h")
    endif()
    lessons_sdl2_refuse_if_old("${version}" "${origin}")

    # A shared library, which the tests watch through a preloaded seam and which sits
    # beside the lessons on Windows; on the web, where there are none, a static one.
    if(EMSCRIPTEN)
        set(SDL_SHARED OFF CACHE BOOL "" FORCE)
        set(SDL_STATIC ON CACHE BOOL "" FORCE)
    else()
        set(SDL_SHARED ON CACHE BOOL "" FORCE)
        set(SDL_STATIC OFF CACHE BOOL "" FORCE)
    endif()
    set(SDL_TEST OFF CACHE BOOL "" FORCE)
    # With ccache on, SDL2's CMake asks for CMake 3.4...3.5 again, which CMake 3.31
    # and newer warn is deprecated; a lesson's build does not need ccache.
    set(SDL_CCACHE OFF CACHE BOOL "" FORCE)
    # Without ALSA's headers SDL2 warns, and builds without sound, which no lesson
    # has: it is asked for only where they are.
    if(NOT DEFINED SDL_ALSA AND NOT EMSCRIPTEN AND NOT WIN32)
        find_package(ALSA QUIET)
        if(NOT ALSA_FOUND)
            set(SDL_ALSA OFF CACHE BOOL "SDL2 with ALSA's sound (its headers were not found)")
        endif()
    endif()
    set(SDL2_DISABLE_INSTALL ON CACHE BOOL "" FORCE)
    set(SDL2_DISABLE_UNINSTALL ON CACHE BOOL "" FORCE)
    # SDL2's configure speaks for a hundred lines; its warnings and errors still show.
    set(CMAKE_MESSAGE_LOG_LEVEL WARNING)
    set(LESSONS_QUOTE_CUSTOM_COMMANDS ON)
    # Out of "all" and of "install": only what the lessons link is built, and
    # nothing of SDL2's is installed.
    add_subdirectory("${sdl2_SOURCE_DIR}" "${sdl2_BINARY_DIR}" EXCLUDE_FROM_ALL)
    unset(LESSONS_QUOTE_CUSTOM_COMMANDS)
    unset(CMAKE_MESSAGE_LOG_LEVEL)
    # MinGW's resource compiler (windres) hands its include paths to a shell with only
    # spaces and parentheses escaped, so a build folder named with a quote, '&' or '$'
    # breaks SDL2.dll's version resource. The DLL works the same without it.
    if(CMAKE_RC_COMPILER MATCHES "windres" AND TARGET SDL2)
        glob_folder(sdl2 "${sdl2_SOURCE_DIR}")
        file(GLOB resources "${sdl2}/src/main/windows/*.rc")
        set_source_files_properties(${resources} TARGET_DIRECTORY SDL2
                                    PROPERTIES HEADER_FILE_ONLY ON)
    endif()
    # SDL2's compiler warnings are for its maintainers, not for someone building lessons.
    foreach(target SDL2 SDL2-static SDL2main)
        if(TARGET ${target})
            target_compile_options(${target} PRIVATE $<IF:$<C_COMPILER_ID:MSVC>,/w,-w>)
        endif()
    endforeach()

    set(SDL2_VERSION "${version}" PARENT_SCOPE)
    set(LESSONS_SDL2_ORIGIN "${origin}" PARENT_SCOPE)
endfunction()

if(NOT from_source STREQUAL "ON")
    find_package(SDL2 CONFIG QUIET)
endif()
if(SDL2_FOUND)
    if(NOT DEFINED SDL2_VERSION)
        set(SDL2_VERSION "(no version)")
    endif()
    set(LESSONS_SDL2_ORIGIN "installed, ${SDL2_DIR}")
    if(FETCHCONTENT_SOURCE_DIR_SDL2)
        # The scripts name a source for a machine with no SDL2; this one has one.
        string(APPEND LESSONS_SDL2_ORIGIN " (the source in FETCHCONTENT_SOURCE_DIR_SDL2 not needed)")
    endif()
    lessons_sdl2_refuse_if_old("${SDL2_VERSION}" "found in ${SDL2_DIR}")
elseif(from_source STREQUAL "OFF")
    message(FATAL_ERROR
        "SDL2's CMake package was not found (SDL2_DIR is '${SDL2_DIR}'), and "
        "LESSONS_SDL2_FROM_SOURCE is OFF, so it is not built from source either. Install "
        "SDL2's development package (Debian and Ubuntu: libsdl2-dev; Fedora: SDL2-devel; "
        "Arch: sdl2; Homebrew: sdl2; vcpkg: sdl2), point SDL2_DIR at the folder holding "
        "SDL2Config.cmake, or configure with -DLESSONS_SDL2_FROM_SOURCE=AUTO to build it.")
else()
    lessons_sdl2_from_source()
endif()
message(STATUS "SDL2 ${SDL2_VERSION}: ${LESSONS_SDL2_ORIGIN}")

# SDL2 built as a static library only (as for the web) offers SDL2::SDL2-static.
if(TARGET SDL2::SDL2)
    set(LESSONS_SDL2 SDL2::SDL2)
else()
    set(LESSONS_SDL2 SDL2::SDL2-static)
endif()
