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

# add_lesson(<name> [DATA <file>...])
#
# Builds lessons/<name>.cpp into the program <name>, linked with the support
# library and the checkout's resources directory. DATA names the files under
# resources/ that the lesson reads at run time (images/hello_world.bmp, say): the
# web build packages exactly those with the lesson, and a lesson that names none
# downloads none.
function(add_lesson name)
    cmake_parse_arguments(LESSON "" "" "DATA" ${ARGN})
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
    elseif(EMSCRIPTEN)
        web_lesson(${name} SOURCE "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp" DATA ${LESSON_DATA})
    endif()
    # The per-lesson tests (native, X11, valgrind) and the web gallery list the
    # lessons from here; the Windows, web and Wayland scripts find them in bin/.
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

# web_lesson(<target> [SOURCE <the lesson's own source>] [DATA <file>...])
#
# On the web (Emscripten) a lesson is <target>.js, .wasm and, if it reads files,
# .data, started by bin/<target>.html. It links with Asyncify, so SDL_Delay hands
# the page back to the browser and the picture is drawn during the hold. Each DATA
# file (a name under the resources folder) is packaged at the same absolute path
# RESOURCES_PATH names, so resource_path and loadMedia work unchanged. A file that
# is not there is left out, and the lesson finds it missing, as on a desktop.
function(web_lesson target)
    cmake_parse_arguments(WEB "" "SOURCE" "DATA" ${ARGN})
    # Emscripten 3.1.6 reports status 0 for whatever main returns after an Asyncify
    # sleep, so the lesson's main is compiled as lesson_main and web/lesson_entry.cpp
    # passes its result to exit() itself.
    set_source_files_properties("${WEB_SOURCE}" PROPERTIES COMPILE_DEFINITIONS main=lesson_main)
    target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/web/lesson_entry.cpp")
    set_target_properties(${target} PROPERTIES SUFFIX ".js")
    target_link_options(${target} PRIVATE -sASYNCIFY -sEXIT_RUNTIME=1)

    set(resources "${LESSONS_RESOURCES_DIR}")
    if(NOT resources MATCHES "/$")
        string(APPEND resources "/")
    endif()
    set(options "")
    foreach(file IN LISTS WEB_DATA)
        set(path "${resources}${file}")
        if(EXISTS "${path}")
            string(REPLACE "@" "@@" packed "${path}") # '@' separates the two halves
            # Quoted as emcc reads a response file (shell-like), so no character in
            # the folder's path is lost on the way.
            string(REPLACE "\\" "\\\\" packed "${packed}@${packed}")
            string(REPLACE "\"" "\\\"" packed "${packed}")
            string(APPEND options "--preload-file \"${packed}\"\n")
            set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${path}")
        endif()
    endforeach()
    if(options)
        # The options go in a response file named relative to the folder the link
        # runs in, since an absolute path would carry the same characters through
        # the link command.
        if(CMAKE_GENERATOR MATCHES "Ninja")
            set(link_dir "${CMAKE_BINARY_DIR}")
        else()
            set(link_dir "${CMAKE_CURRENT_BINARY_DIR}")
        endif()
        file(WRITE "${link_dir}/${target}.preload.rsp" "${options}")
        target_link_options(${target} PRIVATE "@${target}.preload.rsp")
    endif()

    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
    set(LESSON ${target})
    configure_file("${PROJECT_SOURCE_DIR}/web/lesson.html.in" "${PROJECT_BINARY_DIR}/bin/${target}.html"
                   @ONLY)
endfunction()

# web_gallery()
#
# Writes bin/index.html, the web build's front page: every lesson's number, what
# it teaches (from the comment that opens its source), its screenshot and a link
# to run it.
function(web_gallery)
    get_property(lessons GLOBAL PROPERTY LESSONS)
    set(ROWS "")
    foreach(name IN LISTS lessons)
        file(STRINGS "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp" header LIMIT_COUNT 12)
        # Each lesson's own heading, or none: nothing carries over from the one before.
        set(number "")
        set(title "${name}")
        set(teaches "")
        set(in_text FALSE)
        foreach(line IN LISTS header)
            if(line MATCHES "^// Lesson ([0-9]+): (.*)$")
                set(number "${CMAKE_MATCH_1}")
                set(title "${CMAKE_MATCH_2}")
            elseif(line MATCHES "^// Shows:")
                set(teaches_done TRUE)
            elseif(line MATCHES "^// (.+)$" AND NOT teaches_done)
                string(APPEND teaches " ${CMAKE_MATCH_1}")
                set(in_text TRUE)
            elseif(in_text)
                set(teaches_done TRUE)
            endif()
        endforeach()
        unset(teaches_done)
        foreach(text title teaches)
            string(REPLACE "&" "&amp;" ${text} "${${text}}")
            string(REPLACE "<" "&lt;" ${text} "${${text}}")
            string(REPLACE ">" "&gt;" ${text} "${${text}}")
        endforeach()
        set(shot "${PROJECT_SOURCE_DIR}/docs/screenshots/${name}.png")
        if(EXISTS "${shot}")
            file(COPY "${shot}" DESTINATION "${PROJECT_BINARY_DIR}/bin/screenshots")
        endif()
        string(APPEND ROWS
            "<tr><td>${number}</td><td><a href=\"${name}.html\">${name}</a>: ${title}</td>"
            "<td>${teaches}</td><td><a href=\"${name}.html\"><img src=\"screenshots/${name}.png\" "
            "width=\"240\" alt=\"${name}\"></a></td></tr>\n")
    endforeach()
    configure_file("${PROJECT_SOURCE_DIR}/web/index.html.in" "${PROJECT_BINARY_DIR}/bin/index.html" @ONLY)
endfunction()
