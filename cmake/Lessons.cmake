# Helpers that keep a lesson's CMake down to one line.

# glob_folder(<variable> <folder>)
#
# Sets <variable> to <folder> as a file(GLOB) pattern must name it: each '[', ']',
# '*' and '?' of it in brackets, so that a checkout under a folder such as
# "lessons [x] (y)" still finds its files (a glob reads "[x]" as one of the
# letters in it, and finds nothing).
function(glob_folder variable folder)
    string(REGEX REPLACE "([][*?])" "[\\1]" folder "${folder}")
    set(${variable} "${folder}" PARENT_SCOPE)
endfunction()

# folder_path(<variable> <path>)
#
# Sets <variable> to <path> with '/' separators and a trailing '/', whatever was
# given (a Windows path such as C:\Users\me\resources, say): the form
# RESOURCES_PATH and the web build's packaged files take.
function(folder_path variable path)
    string(REPLACE "\\" "/" path "${path}")
    if(NOT path MATCHES "/$")
        string(APPEND path "/")
    endif()
    set(${variable} "${path}" PARENT_SCOPE)
endfunction()

# resources_root(<target> <directory>)
#
# Makes a tiny static library that defines RESOURCES_PATH, the absolute path of a
# resources directory with '/' separators and a trailing '/'. The path is written
# into a generated source as an escaped string literal, so a checkout under a
# directory whose name has spaces, quotes, '$', '%', brackets or non-ASCII letters
# still works.
function(resources_root target directory)
    folder_path(dir "${directory}")
    # Escape for a C++ string literal: backslashes first, then double quotes.
    string(REPLACE "\\" "\\\\" RESOURCES_PATH_LITERAL "${dir}")
    string(REPLACE "\"" "\\\"" RESOURCES_PATH_LITERAL "${RESOURCES_PATH_LITERAL}")
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}/resources_path.cpp")
    configure_file("${PROJECT_SOURCE_DIR}/lessons/common/resources_path.cpp.in" "${source}" @ONLY)
    add_library(${target} STATIC "${source}")
    # Its header only: the support library itself is linked by each program, plain
    # or traced.
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/lessons")
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
    # A slip in the line stops the configure here, naming it, rather than later in a
    # browser or on another platform.
    if(LESSON_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "add_lesson(${name}): unknown argument(s) '${LESSON_UNPARSED_ARGUMENTS}'; "
                            "it takes the lesson's name and DATA <files under resources/>")
    endif()
    if(NOT EXISTS "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp")
        message(FATAL_ERROR "add_lesson(${name}): lessons/${name}.cpp does not exist")
    endif()
    foreach(file IN LISTS LESSON_DATA)
        if(NOT EXISTS "${PROJECT_SOURCE_DIR}/resources/${file}")
            message(FATAL_ERROR "add_lesson(${name}): its DATA file resources/${file} does not exist")
        endif()
    endforeach()
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
    # Its traced twin, <name>-trace, in the traced build (cmake/Trace.cmake).
    if(LESSONS_TRACE)
        trace_lesson(${name} "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp")
        if(WIN32)
            windows_lesson(${name}-trace)
        elseif(EMSCRIPTEN)
            web_lesson(${name}-trace SOURCE "${PROJECT_SOURCE_DIR}/lessons/${name}.cpp"
                       DATA ${LESSON_DATA} PAGE none EXPORT createTracedLesson)
        endif()
    endif()
    # Everything that goes over the lessons lists them from here: the tests, the
    # floor programs and, through lessons.txt (see lesson_list), the scripts and
    # the benchmarks.
    set_property(GLOBAL APPEND PROPERTY LESSONS ${name})
    set_target_properties(${name} PROPERTIES LESSON_DATA "${LESSON_DATA}")
endfunction()

# lesson_list()
#
# Writes lessons.txt into the build folder: the lessons add_lesson registered, one
# name a line, in order. The scripts, the benchmarks and the browser test read it,
# so the add_lesson lines are the only list of lessons there is.
function(lesson_list)
    get_property(lessons GLOBAL PROPERTY LESSONS)
    string(REPLACE ";" "\n" list "${lessons}")
    file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/lessons.txt" CONTENT "${list}\n" @ONLY)
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

# The functions that can be on the stack when a lesson sleeps on the web: main on
# its way to SDL_Delay, SDL_UpdateWindowSurface on its way to the browser's canvas
# (it yields once to let the page draw), and a traced twin's recorders of those
# two. Asyncify makes these alone ready to sleep (see web_lesson); web/edit.mjs
# adds an edited lesson's own functions.
set(LESSONS_WEB_SLEEPERS main *lesson_main* SDL_Delay SDL_UpdateWindowSurface
    SDL_UpdateWindowSurfaceRects Emscripten_UpdateWindowFramebuffer
    *lessons_trace*Call*SDL_Delay* *lessons_trace*Call*SDL_UpdateWindowSurface*)

# web_lesson(<target> SOURCE <its source> [DATA <file>...] [PAGE lesson|floor|none]
#            [EXPORT <factory>])
#
# On the web (Emscripten) a lesson is <target>.js, .wasm and, if it reads files,
# .data, started by bin/<target>.html. It links with Asyncify, so SDL_Delay hands
# the page back to the browser and the picture is drawn during the hold, and as a
# factory (createLesson, or the EXPORT name), so that its page can run it again. Each DATA file (a name
# under the resources folder) is packaged at the same absolute path RESOURCES_PATH
# names, so resource_path and loadMedia work unchanged. A file that is not there
# is left out, and the lesson finds it missing, as on a desktop. Its page (see
# web_pages) shows its source beside it, unless it is a benchmark's floor program.
# A lesson's traced twin has no page of its own (PAGE none): its lesson's page
# loads it when asked.
function(web_lesson target)
    cmake_parse_arguments(WEB "" "SOURCE;PAGE;EXPORT" "DATA" ${ARGN})
    if(NOT WEB_PAGE)
        set(WEB_PAGE lesson)
    endif()
    if(NOT WEB_EXPORT)
        set(WEB_EXPORT createLesson)
    endif()
    # Emscripten 3.1.6 reports status 0 for whatever main returns after an Asyncify
    # sleep, so the lesson's main is compiled as lesson_main and web/lesson_entry.cpp
    # passes its result to exit() itself.
    set_source_files_properties("${WEB_SOURCE}" PROPERTIES COMPILE_DEFINITIONS main=lesson_main)
    target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/web/lesson_entry.cpp")
    set_target_properties(${target} PROPERTIES SUFFIX ".js")
    # ENV is exported for the page to set SDL's hints in the program's environment.
    # Built for size: -Oz, the small allocator, Closure where there is one. Asyncify
    # instruments only the functions that can be on the stack when the program
    # sleeps, LESSONS_WEB_SLEEPERS. (A lesson that sleeps from a function of its own
    # adds that function there; its page would otherwise stop with "unreachable",
    # which the browser test reports.)
    list(TRANSFORM LESSONS_WEB_SLEEPERS REPLACE "(.+)" "'\\1'" OUTPUT_VARIABLE sleepers)
    list(JOIN sleepers "," sleepers)
    target_link_options(${target} PRIVATE -sASYNCIFY -sEXIT_RUNTIME=1 -sMODULARIZE=1
                        -sEXPORT_NAME=${WEB_EXPORT} -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=ENV
                        -Oz -sMALLOC=emmalloc ${LESSONS_WEB_CLOSURE} "-sASYNCIFY_ONLY=[${sleepers}]")

    set(options "")
    foreach(file IN LISTS WEB_DATA)
        set(path "${LESSONS_RESOURCES_DIR}${file}")
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
    if(NOT WEB_PAGE STREQUAL "none")
        set_property(GLOBAL APPEND PROPERTY WEB_PAGES "${WEB_PAGE}:${target}=${WEB_SOURCE}")
    endif()
endfunction()

# web_pages()
#
# Writes the web build's pages into bin/: a page per lesson (its window, and its
# source beside it, highlighted, every SDL name linked to SDL's wiki and every
# support function it calls shown below it), the gallery (index.html), their style
# sheet and script. web/make_pages.py writes them with Pygments when the sources
# change.
function(web_pages)
    find_program(LESSONS_PYTHON NAMES python3 HINTS /usr/bin
                 DOC "A Python 3 with Pygments, for the web pages")
    if(LESSONS_PYTHON)
        execute_process(COMMAND "${LESSONS_PYTHON}" -c "import pygments"
                        RESULT_VARIABLE no_pygments OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(NOT LESSONS_PYTHON OR no_pygments)
        message(FATAL_ERROR "The web pages need Python 3 with Pygments (Debian packages python3 "
                            "and python3-pygments); LESSONS_PYTHON names the python3 to use.")
    endif()
    get_property(pages GLOBAL PROPERTY WEB_PAGES)
    glob_folder(project "${PROJECT_SOURCE_DIR}")
    set(bin "${PROJECT_BINARY_DIR}/bin")
    set(outputs "${bin}/index.html" "${bin}/lessons.css" "${bin}/lesson.js")
    # With the traced twins, each lesson's page gets its SDL calls section, and a
    # button for each failure it handles (docs/trace.md, tests/expected/).
    # Where esbuild is there (web/package.json's, as scripts/lib/build_web.sh
    # installs it), each lesson's source gets an editor: editor.js, CodeMirror
    # bundled, loaded only when Edit is pressed.
    find_program(LESSONS_ESBUILD esbuild HINTS "${PROJECT_SOURCE_DIR}/web/node_modules/.bin" NO_DEFAULT_PATH
                 DOC "esbuild, from web/package.json, to bundle the pages' editor")
    set(editor "")
    if(LESSONS_ESBUILD)
        set(editor --editor "${PROJECT_SOURCE_DIR}/web/editor/editor.css")
        file(GLOB editor_sources CONFIGURE_DEPENDS "${project}/web/editor/*")
        add_custom_command(OUTPUT "${bin}/editor.js"
            COMMAND "${LESSONS_ESBUILD}" "${PROJECT_SOURCE_DIR}/web/editor/editor.mjs" --bundle --minify
                    --format=iife --log-level=warning "--outfile=${bin}/editor.js"
            DEPENDS ${editor_sources} "${PROJECT_SOURCE_DIR}/web/package-lock.json"
            COMMENT "Bundling the pages' editor (CodeMirror) into editor.js"
            VERBATIM)
        list(APPEND outputs "${bin}/editor.css")
        list(APPEND sources ${editor_sources})
        add_custom_target(web_editor ALL DEPENDS "${bin}/editor.js")
    else()
        message(STATUS "No esbuild (web/node_modules, npm ci in web/): the pages have no editor")
    endif()
    set(trace "")
    if(LESSONS_TRACE)
        set(trace --trace "${PROJECT_SOURCE_DIR}/docs/trace.md" "${PROJECT_SOURCE_DIR}/tests/expected")
        list(APPEND outputs "${bin}/trace.js" "${bin}/trace.css")
        file(GLOB expected CONFIGURE_DEPENDS "${project}/tests/expected/*.txt")
        list(APPEND sources "${PROJECT_SOURCE_DIR}/docs/trace.md" ${expected})
    endif()
    set(sources "")
    foreach(page IN LISTS pages)
        string(REGEX MATCH "^[a-z]+:([^=]+)=(.*)$" ignored "${page}")
        list(APPEND outputs "${bin}/${CMAKE_MATCH_1}.html")
        list(APPEND sources "${CMAKE_MATCH_2}")
    endforeach()
    file(GLOB support CONFIGURE_DEPENDS "${project}/lessons/common/*.cpp")
    file(GLOB web LIST_DIRECTORIES false CONFIGURE_DEPENDS "${project}/web/*")
    file(GLOB screenshots CONFIGURE_DEPENDS "${project}/docs/screenshots/*.png")
    add_custom_command(OUTPUT ${outputs}
        COMMAND "${LESSONS_PYTHON}" "${PROJECT_SOURCE_DIR}/web/make_pages.py" "${bin}"
                "${PROJECT_SOURCE_DIR}/lessons/common" "${PROJECT_SOURCE_DIR}/docs/screenshots" ${editor}
                ${trace} ${pages}
        DEPENDS ${sources} ${support} ${web} ${screenshots}
        COMMENT "Writing the lessons' pages and the gallery"
        VERBATIM)
    add_custom_target(web_pages ALL DEPENDS ${outputs})
    web_edit_manifest()
endfunction()

# web_edit_manifest()
#
# Writes edit.json into the build folder, for web/edit.mjs (the server
# scripts/web.sh starts), which compiles a lesson a learner edited on its page
# against this build's support library and SDL2: what to compile and link with,
# and each lesson's source and data files.
function(web_edit_manifest)
    get_property(lessons GLOBAL PROPERTY LESSONS)
    set(entries "")
    foreach(lesson IN LISTS lessons)
        get_target_property(data ${lesson} LESSON_DATA)
        set(files "")
        foreach(file IN LISTS data)
            if(EXISTS "${LESSONS_RESOURCES_DIR}${file}")
                string(REPLACE "\\" "\\\\" path "${LESSONS_RESOURCES_DIR}${file}")
                string(REPLACE "\"" "\\\"" path "${path}")
                list(APPEND files "\"${path}\"")
            endif()
        endforeach()
        list(JOIN files ", " files)
        string(REPLACE "\"" "\\\"" source "${PROJECT_SOURCE_DIR}/lessons/${lesson}.cpp")
        list(APPEND entries "    \"${lesson}\": {\"source\": \"${source}\", \"data\": [${files}]}")
    endforeach()
    list(JOIN entries ",\n" entries)
    if(TARGET SDL2::SDL2main)
        set(main "\"$<TARGET_FILE:SDL2::SDL2main>\", ")
    endif()
    file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/edit.json" CONTENT "{
  \"compiler\": \"${CMAKE_CXX_COMPILER}\",
  \"includes\": \"$<JOIN:$<TARGET_PROPERTY:lesson_common,INTERFACE_INCLUDE_DIRECTORIES>,;>;$<JOIN:$<TARGET_PROPERTY:${LESSONS_SDL2},INTERFACE_INCLUDE_DIRECTORIES>,;>\",
  \"entry\": \"${PROJECT_SOURCE_DIR}/web/lesson_entry.cpp\",
  \"libraries\": [\"$<TARGET_FILE:lesson_common>\", \"$<TARGET_FILE:lesson_resources>\", ${main}\"$<TARGET_FILE:${LESSONS_SDL2}>\"],
  \"node_path\": \"${node_path}\",
  \"sleepers\": \"$<JOIN:${LESSONS_WEB_SLEEPERS},;>\",
  \"lessons\": {
${entries}
  }
}
")
endfunction()
