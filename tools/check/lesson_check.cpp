// Checks one observed run of a lesson against what the lesson must do (see
// expectations.hpp), for the test scripts that run lessons elsewhere: under Wine,
// in a browser, on a Wayland compositor, on an X server.
//
// Usage:
//   lesson_check lesson <name> <options>        a successful run of lesson <name>
//   lesson_check load-failure <file> <options>  a run that could not load <file>
//   lesson_check load-failure-named <file> <options>   ... and must name it
//   lesson_check failure <name>.<what-if> <options>   a run of lesson <name> that met
//                                                      that failure (no-window, ...)
// Options: --stdout <file>  what it printed (required)
//          --status <n>     its exit status (required)
//          --frame <file>   the first picture it showed (.png, .bmp or .ppm)
//          --hold-ms <ms>   from the picture being shown to the exit
//          --lead-ms <ms>   from its last line reaching the reader to the exit
//          --closed-ms <ms> from the request to close its window to the exit
//          --lessons <file> the lessons.tsv of the build the lesson is from, where
//                           not lesson_check's own
//          --pointer        the frame is a screen whose pointer may lie over the
//                           picture (32x32 pixels of it may differ)
//          --screenshot <file>  the picture a lesson must show, where not its own
//                               (an edit of it: lesson mode only)
// Prints "ok" or the problems, and exits 0 or 1 accordingly (2 for bad usage).

#include "expectations.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lesson_check lesson <name> | load-failure[-named] <file> | "
                             "failure <name>.<what-if> "
                             "--stdout F --status N [--frame F] [--hold-ms MS] [--lead-ms MS] "
                             "[--closed-ms MS]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string subject = argv[2];
    std::map<std::string, std::string> option;
    for (int i = 3; i < argc; i += 2) {
        if (std::string(argv[i]) == "--pointer") {
            option["--pointer"] = "yes";
            --i; // a flag, with no value after it
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "lesson_check: %s needs a value\n", argv[i]);
            return 2;
        }
        option[argv[i]] = argv[i + 1];
    }

    if (!option["--lessons"].empty()) {
        expect::use_table(option["--lessons"]);
    }
    expect::Run run;
    std::ifstream out(option["--stdout"], std::ios::binary);
    if (!out || option["--status"].empty()) {
        std::fprintf(stderr, "lesson_check: --stdout <readable file> and --status are needed\n");
        return 2;
    }
    std::ostringstream text;
    text << out.rdbuf();
    run.lines = expect::split_lines(text.str());
    run.exit_status = std::atoi(option["--status"].c_str());
    if (!option["--frame"].empty()) {
        picture::Picture frame;
        std::string why;
        if (!picture::load(option["--frame"], frame, why)) {
            std::printf("FAIL: cannot read the frame %s: %s\n", option["--frame"].c_str(),
                        why.c_str());
            return 1;
        }
        run.frame = frame;
    }
    if (!option["--hold-ms"].empty()) {
        run.hold_ms = std::atof(option["--hold-ms"].c_str());
    }
    if (!option["--lead-ms"].empty()) {
        run.last_line_lead_ms = std::atof(option["--lead-ms"].c_str());
    }
    if (!option["--pointer"].empty()) {
        run.covered = 32 * 32;
    }
    if (!option["--closed-ms"].empty()) {
        run.closed_ms = std::atof(option["--closed-ms"].c_str());
    }

    std::vector<std::string> problems;
    if (mode == "lesson") {
        problems = expect::check_lesson(subject, run, option["--screenshot"]);
    } else if (mode == "failure" && subject.find('.') != std::string::npos) {
        problems = expect::check_failure(subject.substr(0, subject.find('.')),
                                         subject.substr(subject.find('.') + 1), run);
    } else if (mode == "load-failure" || mode == "load-failure-named") {
        problems = expect::check_load_failure(run, subject, mode == "load-failure-named");
    } else {
        std::fprintf(stderr, "lesson_check: unknown mode %s\n", mode.c_str());
        return 2;
    }
    for (const std::string& problem : problems) {
        std::printf("FAIL: %s %s\n", subject.c_str(), problem.c_str());
    }
    if (problems.empty()) {
        std::printf("ok: %s\n", subject.c_str());
    }
    return problems.empty() ? 0 : 1;
}
