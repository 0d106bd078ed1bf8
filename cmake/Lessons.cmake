# Helpers that keep a lesson's CMake down to one line.

# resources_root(<target> <directory>)
#
# Makes a tiny static library that defines RESOURCES_PATH, the absolute path of a
# resources directory with '/' separators and a trailing '/'. The path is written
# into a generated source as an escaped string literal, so a checkout under a
# directory whose name has spaces, quotes, '$', '%', brackets or non-ASCII letters
# still works.
function(resources_root target directory)
    # Forward slashes throughout, also in a Windows path such as C:\Users\me\resources\.
    string(REPLACE "\\" "/" dir "${directory}")
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
    if(WIN32)
        windows_lesson(${name})
    endif()
    # The tests run every lesson on a real X server and under valgrind.
    set_property(GLOBAL APPEND PROPERTY LESSONS ${name})
endfunction()

# windows_lesson(<name>)
#
# A lesson on Windows is a console program, so its lines reach a console, a pipe
# or a file, and it starts from a double-click or from cmd as built: SDL2's DLL is
# copied beside it, and MinGW's own runtime is linked in, so nothing else is needed.
function(windows_lesson name)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE OFF)
    if(MINGW)
        target_link_options(${name} PRIVATE -mconsole -static-libgcc -static-libstdc++)
    endif()
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different
                "$<TARGET_FILE:SDL2::SDL2>" "$<TARGET_FILE_DIR:${name}>"
        VERBATIM)
endfunction()
