// What every lesson must do, wherever it runs: the one place that says so. The
// native tests, the runs under Wine and on Wayland and the browser tests all
// observe a lesson their own way and hand what they saw to these checks.
//
// Each lesson promises what its own files say (its build's lessons.tsv names them):
// the lines of lessons/<name>.prints.tsv (case "ok"), where "%p" stands for a
// non-null pointer as the C library prints it (0x55d0c..., 0000000000C82870), and
// the picture docs/screenshots/<name>.png (found anywhere in a larger picture,
// such as a whole screen), which it shows first. Then, by its kind (its build's lessons.tsv, which
// tells it from the lesson's calls):
//   - a lesson that holds its picture holds it for 2000 ms after showing it, a
//     close request or not, then exits with status 0, each line reaching its
//     reader while the picture is held, not at exit;
//   - a lesson that runs until its window is closed ends, with status 0, within a
//     second of the close request.
// A lesson whose image cannot be loaded prints "Falha ao carregar imagem" and
// "SDL_Init failed: <reason>", the reason naming the file where it is missing,
// shows nothing, does not hold, and exits with status 1.
// A lesson that meets a failure it handles (its what-if <name>: no-video,
// no-window, ...) prints exactly the lines of that case of its prints.tsv, where
// "%p" stands for a non-null pointer, "%0" for a null one as the C library prints
// it ((nil), 0000000000000000, 0) and "%s" for SDL's reason, the same non-empty
// text wherever it appears; it shows nothing and exits with status 1.
#pragma once

#include "picture.hpp"

#include <optional>
#include <string>
#include <vector>

namespace expect {

// What was seen of one run of a lesson. Unknown figures stay negative.
struct Run {
    std::vector<std::string> lines; // standard output, line by line ("\r\n" or "\n")
    int exit_status = -1;
    std::optional<picture::Picture> frame; // the first picture shown, if any was
    double hold_ms = -1;                   // from the last picture shown to the exit
    double last_line_lead_ms = -1;         // from the last line reaching its reader to the exit
    double closed_ms = -1;                 // from a close request to the exit, if one was made
    long covered =
        0; // how many of the picture's pixels something of the screen may cover (a pointer)
};

// A lesson as its build lists it (lessons.tsv): its name, its kind ("holds" or
// "until-closed"), how it draws ("surface" or "renderer"), and where its
// prints.tsv and its screenshot are.
struct Lesson {
    std::string name;
    std::string kind;
    std::string draws;
    std::string prints;
    std::string screenshot;
};

// The lessons of this build (or of the lessons.tsv use_table names), in order.
std::vector<Lesson> lessons();
void use_table(const std::string& path);

// Splits output into lines, dropping a trailing "\r" from each.
std::vector<std::string> split_lines(const std::string& text);

// The problems with a successful run of `lesson`, none when it kept its promise.
// `screenshot`: the picture it must show, where not its own (an edit of it).
std::vector<std::string> check_lesson(const std::string& lesson, const Run& run,
                                      const std::string& screenshot = "");

// The problems with a run of `lesson` that met the failure `what_if`.
std::vector<std::string> check_failure(const std::string& lesson, const std::string& what_if,
                                       const Run& run);

// The problems with a run whose image `file` could not be loaded. `names_file`:
// the reason must contain `file` (as when the file is missing).
std::vector<std::string> check_load_failure(const Run& run, const std::string& file,
                                            bool names_file);

// The failures `lesson` handles: the cases of its prints.tsv besides "ok".
std::vector<std::string> failures_of(const std::string& lesson);

// Where a lesson's files are, for messages.
std::string prints_path(const std::string& lesson);
std::string screenshot_path(const std::string& lesson);

} // namespace expect
