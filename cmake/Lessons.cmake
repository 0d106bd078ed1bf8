# Helpers that keep a lesson's CMake down to one line.

# resources_root(<target> <directory>)
#
# Makes a tiny static library that defines RESOURCES_PATH, the absolute path of a
# resources directory with '/' separators and a trailing '/'. The path is written
# into a generated source as an escaped string literal, so a checkout under a
# directory whose name has spaces, quotes, '$', '%', brackets or non-ASCII letters
# still works.
function(resources_root target directory)
    file(TO_CMAKE_PATH "${directory}" dir)
    if(NOT dir MATCHES "/$")
        string(APPEND dir "/")
    endif()
    # Escape for a C++ string literal: backslashes first, then double quotes.
    string(REPLACE "\\" "\\\\" RESOURCES_PATH_LITERAL "${dir}")
    string(REPLACE "\"" "\\\"" RESOURCES_PATH_LITERAL "${RESOURCES_PATH_LITERAL}")
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}/resources_path.cpp")
    configure_file("${PROJECT_SOURCE_DIR}/lessons/common/resources_path.cpp.in" "${source}" @ONLY)
    add_library(${target} STATIC "${source}")
    target_link_libraries(${target} PRIVATE lesson_common)
endfunction()

# add_lesson(<name>)
#
# Builds lessons/<name>.cpp into the program <name>, linked with the support
# library and the checkout's resources directory.
function(add_lesson name)
    add_executable(${name} "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp")
    target_link_libraries(${name} PRIVATE lesson_common lesson_resources)
    # Where SDL2 supplies the process entry itself (Windows, for one), its main
    # wrapper library turns our main into SDL_main and calls it.
    if(TARGET SDL2::SDL2main)
        target_link_libraries(${name} PRIVATE SDL2::SDL2main)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
    # The tests run every lesson on a real X server and under valgrind.
    set_property(GLOBAL APPEND PROPERTY LESSONS ${name})
endfunction()
