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

# lessons_read_tsv(<prefix> <file>)
#
# Reads a tab-separated data file of the project (a heading, then a row a line):
# sets <prefix>_rows to the row numbers, and <prefix>_<n>_<column> to each field,
# as it stands (a "\n" in it is left as those two characters).
macro(lessons_read_tsv prefix file)
    file(STRINGS "${file}" _rows ENCODING UTF-8)
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    list(POP_FRONT _rows _heading)
    string(REPLACE "\t" ";" _heading "${_heading}")
    set(${prefix}_rows "")
    set(_n 0)
    foreach(_row IN LISTS _rows)
        math(EXPR _n "${_n} + 1")
        list(APPEND ${prefix}_rows ${_n})
        # A ';' in a field would split it: hide it while the row is a list.
        string(REPLACE ";" "@semicolon@" _row "${_row}")
        string(REPLACE "\t" ";" _row "${_row}")
        foreach(_column IN LISTS _heading)
            list(POP_FRONT _row _field)
            string(REPLACE "@semicolon@" ";" ${prefix}_${_n}_${_column} "${_field}")
        endforeach()
    endforeach()
endmacro()

# The failures a lesson can meet (lessons/failures.tsv): their names.
lessons_read_tsv(failure "${PROJECT_SOURCE_DIR}/lessons/failures.tsv")
set(LESSONS_FAILURES "")
foreach(row IN LISTS failure_rows)
    list(APPEND LESSONS_FAILURES "${failure_${row}_name}")
endforeach()

# The SDL functions that read events: a lesson that calls one runs until its window
# is closed, and its trace starts a frame where it reads events again.
set(LESSONS_EVENT_READERS SDL_PollEvent SDL_WaitEvent SDL_WaitEventTimeout)

# lessons_reached(<variable> <source>)
#
# Sets <variable> to the text of <source> and of every support function it calls
# (lessons/common/<name>.cpp for lesson::<name>), and those they call in turn: what
# a run of the lesson can reach of the project's code.
function(lessons_reached variable source)
    set(files "${source}")
    set(text "")
    while(files)
        list(POP_FRONT files file)
        file(READ "${file}" part)
        string(APPEND text "${part}")
        string(REGEX MATCHALL "(lesson::)?[A-Za-z_][A-Za-z0-9_]*[ \t]*\\(" called "${part}")
        foreach(call IN LISTS called)
            string(REGEX REPLACE "^(lesson::)?([A-Za-z0-9_]+).*" "\\2" name "${call}")
            string(TOLOWER "${name}" name)
            set(support "${PROJECT_SOURCE_DIR}/lessons/common/${name}.cpp")
            if(EXISTS "${support}" AND NOT support IN_LIST seen)
                list(APPEND seen "${support}")
                list(APPEND files "${support}")
            endif()
        endforeach()
    endwhile()
    set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# add_lesson(<name> [DATA <file>...] [FROM <folder>])
#
# Builds lessons/<name>.cpp into the program <name>, linked with the support
# library and the checkout's resources directory. DATA names the files under
# resources/ that the lesson reads at run time (images/hello_world.bmp, say): the
# web build packages exactly those with the lesson, and a lesson that names none
# downloads none. A lesson's files are lessons/<name>.cpp and .prints.tsv, and
# docs/screenshots/<name>.png; FROM names another folder that holds all three (the
# tests' example lessons of each kind, tests/new_lessons/).
#
# What the checks hold a lesson to, each learnt here from the lesson itself:
# - its kind, from its calls (its own and its support functions'): one that reads
#   events (SDL_PollEvent, SDL_WaitEvent...) runs until its window is closed
#   ("until-closed"); any other shows its picture and holds it ("holds");
# - how it draws: with SDL's renderer where it makes one (SDL_CreateRenderer),
#   else on its window's surface;
# - the failures it handles: the cases of lessons/<name>.prints.tsv, the lines it
#   prints when all goes well ("ok") and when it meets each one.
function(add_lesson name)
    cmake_parse_arguments(LESSON "" "FROM" "DATA" ${ARGN})
    # A slip in the line stops the configure here, naming it, rather than later in a
    # browser or on another platform.
    if(LESSON_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "add_lesson(${name}): unknown argument(s) '${LESSON_UNPARSED_ARGUMENTS}'; "
                            "it takes the lesson's name and DATA <files under resources/>")
    endif()
    set(folder "${PROJECT_SOURCE_DIR}/lessons")
    set(screenshot "${PROJECT_SOURCE_DIR}/docs/screenshots/${name}.png")
    if(LESSON_FROM)
        set(folder "${PROJECT_SOURCE_DIR}/${LESSON_FROM}")
        set(screenshot "${folder}/${name}.png")
    endif()
    set(source "${folder}/${name}.cpp")
    if(NOT EXISTS "${source}")
        file(RELATIVE_PATH shown "${PROJECT_SOURCE_DIR}" "${source}")
        message(FATAL_ERROR "add_lesson(${name}): ${shown} does not exist")
    endif()
    foreach(file IN LISTS LESSON_DATA)
        if(NOT EXISTS "${PROJECT_SOURCE_DIR}/resources/${file}")
            message(FATAL_ERROR "add_lesson(${name}): its DATA file resources/${file} does not exist")
        endif()
    endforeach()

    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    lessons_reached(text "${source}")
    set(kind holds)
    list(JOIN LESSONS_EVENT_READERS "|" readers)
    if(text MATCHES "(${readers})[ \t\r\n]*\\(")
        set(kind until-closed)
    endif()
    set(draws surface)
    if(text MATCHES "SDL_CreateRenderer[ \t\r\n]*\\(")
        set(draws renderer)
    endif()
    set(failures "")
    set(prints "${folder}/${name}.prints.tsv")
    if(EXISTS "${prints}")
        lessons_read_tsv(print "${prints}")
        foreach(row IN LISTS print_rows)
            set(case "${print_${row}_case}")
            if(case STREQUAL "ok")
                continue()
            elseif(NOT case IN_LIST LESSONS_FAILURES)
                message(FATAL_ERROR "${name}.prints.tsv: '${case}' is neither ok nor a failure "
                                    "of lessons/failures.tsv (${LESSONS_FAILURES})")
            endif()
            list(APPEND failures "${case}")
        endforeach()
    endif()

    add_executable(${name} "${source}")
    target_link_libraries(${name} PRIVATE lesson_common lesson_resources)
    # Where SDL2 supplies the process entry itself (Windows, for one), its main
    # wrapper library turns our main into SDL_main and calls it.
    if(TARGET SDL2::SDL2main)
        target_link_libraries(${name} PRIVATE SDL2::SDL2main)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin"
        LESSON_SOURCE "${source}" LESSON_DATA "${LESSON_DATA}" LESSON_KIND ${kind}
        LESSON_DRAWS ${draws} LESSON_FAILURES "${failures}" LESSON_PRINTS "${prints}"
        LESSON_SCREENSHOT "${screenshot}")
    if(WIN32)
        windows_lesson(${name})
    endif()
    # Its traced twin, <name>-trace, in the traced build (cmake/Trace.cmake).
    if(LESSONS_TRACE)
        trace_lesson(${name} "${source}")
        if(WIN32)
            windows_lesson(${name}-trace)
        endif()
    endif()
    # Everything that goes over the lessons lists them from here: the tests, the
    # floor programs, the web pages and, through lessons.tsv (see lesson_list), the
    # scripts and the benchmarks.
    set_property(GLOBAL APPEND PROPERTY LESSONS ${name})
endfunction()

# lesson_list()
#
# Writes lessons.tsv into the build folder: the lessons add_lesson registered, in
# order, a row each: its name, its kind (holds, until-closed), how it draws
# (surface, renderer), and where what it prints and its screenshot are. The
# scripts, the benchmarks and the checks read it, so the add_lesson lines are the
# only list of lessons there is.
function(lesson_list)
    get_property(lessons GLOBAL PROPERTY LESSONS)
    set(table "name\tkind\tdraws\tprints\tscreenshot\n")
    foreach(lesson IN LISTS lessons)
        set(row "${lesson}")
        foreach(property KIND DRAWS PRINTS SCREENSHOT)
            get_target_property(value ${lesson} LESSON_${property})
            string(APPEND row "\t${value}")
        endforeach()
        string(APPEND table "${row}\n")
    endforeach()
    file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/lessons.tsv" CONTENT "${table}" @ONLY)
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

