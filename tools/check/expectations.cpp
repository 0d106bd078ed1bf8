#include "expectations.hpp"

#include <cctype>
#include <fstream>
#include <sstream>

namespace expect {

namespace {

const double HOLD_MS = 2000;
// Lines are printed before the hold, so they must reach their reader well before
// the exit; half the hold leaves room for a slow start.
const double LINE_LEAD_MS = HOLD_MS / 2;
// A lesson that runs until closed reads its events at least every frame: closed,
// it is gone well within a second.
const double CLOSE_MS = 1000;

// The length of the non-null pointer at text[at], as a C library's %p writes it
// (glibc and musl: 0x55d0c2a0; Windows: 0000000000C82870), or 0.
std::size_t pointer_at(const std::string& text, std::size_t at)
{
    std::size_t start = at;
    if (text.compare(at, 2, "0x") == 0) {
        start += 2;
    }
    std::size_t end = start;
    bool non_zero = false;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) {
        non_zero = non_zero || text[end] != '0';
        ++end;
    }
    const std::size_t digits = end - start;
    const bool prefixed = start != at;
    if (!non_zero || digits == 0 || digits > 16 || (!prefixed && digits < 8)) {
        return 0;
    }
    return end - at;
}

// A null pointer as a C library's %p writes it: glibc, Windows, Emscripten, musl.
const char* const NULL_POINTERS[] = {"(nil)", "0000000000000000", "00000000", "0x0", "0"};

// Whether `line` is `pattern` with each "%p" a non-null pointer, each "%0" a null
// one and each "%s" a reason, the same in every line (`reason`, once found).
bool line_matches(const std::string& line, const std::string& pattern, std::string& reason)
{
    std::size_t at = 0;
    std::size_t from = 0;
    for (std::size_t hole; (hole = pattern.find('%', from)) != std::string::npos; from = hole + 2) {
        const std::size_t literal = hole - from;
        if (line.compare(at, literal, pattern, from, literal) != 0) {
            return false;
        }
        at += literal;
        const char kind = hole + 1 < pattern.size() ? pattern[hole + 1] : '\0';
        if (kind == 'p') {
            const std::size_t length = pointer_at(line, at);
            if (length == 0) {
                return false;
            }
            at += length;
        } else if (kind == '0') {
            bool found = false;
            for (const char* null : NULL_POINTERS) {
                const std::string text = null;
                // The longest spelling first; "0" only where the line then ends or
                // the pattern's next text follows.
                if (line.compare(at, text.size(), text) == 0) {
                    at += text.size();
                    found = true;
                    break;
                }
            }
            if (!found) {
                return false;
            }
        } else if (kind == 's') {
            // A reason runs to the end of the line (it is always printed last).
            const std::string text = line.substr(at);
            if (text.empty() || (!reason.empty() && text != reason)) {
                return false;
            }
            reason = text;
            at = line.size();
        } else {
            return false;
        }
    }
    return line.compare(at, std::string::npos, pattern, from, std::string::npos) == 0;
}

bool line_matches(const std::string& line, const std::string& pattern)
{
    std::string reason;
    return line_matches(line, pattern, reason);
}

// The rows of a tab-separated data file (a heading, then a row a line; in a field
// "\\n" stands for a line break, "\\t" for a tab, "\\\\" for a backslash), or none
// and `why`.
bool read_tsv(const std::string& path, std::vector<std::vector<std::string>>& rows,
              std::string& why)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        why = "cannot read " + path;
        return false;
    }
    std::string line;
    std::getline(file, line); // the heading
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> fields(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t') {
                fields.emplace_back();
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                fields.back() += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                fields.back() += line[i];
            }
        }
        rows.push_back(fields);
    }
    return true;
}

// The lines `lesson` prints in `when` ("ok", or a failure it handles), or none and `why`.
bool read_lines(const std::string& lesson, const std::string& when, std::vector<std::string>& lines,
                std::string& why)
{
    std::vector<std::vector<std::string>> rows;
    if (!read_tsv(prints_path(lesson), rows, why)) {
        why = "no expected output: write " + prints_path(lesson);
        return false;
    }
    for (const auto& row : rows) {
        if (row.size() == 2 && row[0] == when) {
            lines = row[1].empty() ? std::vector<std::string>{} : split_lines(row[1]);
            return true;
        }
    }
    why = "no case " + when + " in " + prints_path(lesson);
    return false;
}

std::string quoted(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += "\n    \"" + line + "\"";
    }
    return lines.empty() ? " (none)" : text;
}

std::string figure(double ms)
{
    std::ostringstream text;
    text.precision(0);
    text << std::fixed << ms << " ms";
    return text.str();
}

} // namespace

namespace {
std::string table_path = LESSONS_TABLE;

// The row of `lesson` in the build's lessons.tsv, or none.
std::optional<Lesson> lesson_named(const std::string& lesson)
{
    for (const Lesson& known : lessons()) {
        if (known.name == lesson) {
            return known;
        }
    }
    return std::nullopt;
}
} // namespace

void use_table(const std::string& path)
{
    table_path = path;
}

std::string prints_path(const std::string& lesson)
{
    const auto known = lesson_named(lesson);
    return known ? known->prints
                 : std::string(LESSONS_SOURCE_DIR) + "/lessons/" + lesson + ".prints.tsv";
}

std::string screenshot_path(const std::string& lesson)
{
    const auto known = lesson_named(lesson);
    return known ? known->screenshot
                 : std::string(LESSONS_SOURCE_DIR) + "/docs/screenshots/" + lesson + ".png";
}

std::vector<Lesson> lessons()
{
    std::vector<std::vector<std::string>> rows;
    std::string why;
    read_tsv(table_path, rows, why);
    std::vector<Lesson> found;
    for (const auto& row : rows) {
        if (row.size() == 5) {
            found.push_back({row[0], row[1], row[2], row[3], row[4]});
        }
    }
    return found;
}

std::vector<std::string> failures_of(const std::string& lesson)
{
    std::vector<std::vector<std::string>> rows;
    std::string why;
    read_tsv(prints_path(lesson), rows, why);
    std::vector<std::string> found;
    for (const auto& row : rows) {
        if (!row.empty() && row[0] != "ok") {
            found.push_back(row[0]);
        }
    }
    return found;
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> check_lesson(const std::string& lesson, const Run& run,
                                      const std::string& screenshot_file)
{
    const std::string shot = screenshot_file.empty() ? screenshot_path(lesson) : screenshot_file;
    std::vector<std::string> problems;

    std::vector<std::string> expected;
    std::string why;
    if (!read_lines(lesson, "ok", expected, why)) {
        return {why};
    }
    const auto known = lesson_named(lesson);
    if (!known) {
        return {"is not a lesson of " + table_path};
    }
    const std::string kind = known->kind;
    bool same = run.lines.size() == expected.size();
    for (std::size_t i = 0; same && i < expected.size(); ++i) {
        same = line_matches(run.lines[i], expected[i]);
    }
    if (!same) {
        problems.push_back("printed" + quoted(run.lines) + "\n  instead of" + quoted(expected) +
                           "\n  (%p: a non-null pointer)");
    }

    if (run.exit_status != 0) {
        problems.push_back("exited with status " + std::to_string(run.exit_status) +
                           " instead of 0");
    }

    picture::Picture screenshot;
    if (!run.frame) {
        problems.push_back("showed no picture");
    } else if (!picture::load(shot, screenshot, why)) {
        problems.push_back("cannot read " + shot + ": " + why);
    } else if (!picture::contains(*run.frame, screenshot, run.covered)) {
        problems.push_back("showed a " + std::to_string(run.frame->width) + "x" +
                           std::to_string(run.frame->height) + " picture that is not (and " +
                           "does not contain) " + shot);
    }

    if (kind == "until-closed") {
        if (run.closed_ms < 0) {
            problems.push_back("runs until its window is closed, and this run did not close it");
        } else if (run.closed_ms > CLOSE_MS) {
            problems.push_back("ended " + figure(run.closed_ms) + " after its window was closed, " +
                               "not within " + figure(CLOSE_MS));
        }
        return problems;
    }
    if (run.hold_ms >= 0 && run.hold_ms < HOLD_MS) {
        problems.push_back(
            "held the picture for " + figure(run.hold_ms) + ", not " + figure(HOLD_MS) +
            (run.closed_ms >= 0 ? ": a close request must not cut the hold short" : ""));
    }
    if (!run.lines.empty() && run.last_line_lead_ms >= 0 && run.last_line_lead_ms < LINE_LEAD_MS) {
        problems.push_back("its lines reached the reader only " + figure(run.last_line_lead_ms) +
                           " before the exit: held back in a buffer?");
    }
    return problems;
}

std::vector<std::string> check_failure(const std::string& lesson, const std::string& what_if,
                                       const Run& run)
{
    std::vector<std::string> expected;
    std::string why;
    if (!read_lines(lesson, what_if, expected, why)) {
        return {why};
    }
    std::vector<std::string> problems;
    std::string reason;
    bool same = run.lines.size() == expected.size();
    for (std::size_t i = 0; same && i < expected.size(); ++i) {
        same = line_matches(run.lines[i], expected[i], reason);
    }
    if (!same) {
        problems.push_back("printed" + quoted(run.lines) + "\n  instead of" + quoted(expected) +
                           "\n  (%p: a pointer, %0: a null pointer, %s: SDL's reason, the same "
                           "in every line)");
    }
    if (run.exit_status != 1) {
        problems.push_back("exited with status " + std::to_string(run.exit_status) +
                           " instead of 1");
    }
    if (run.frame) {
        problems.push_back("showed a picture although it failed first");
    }
    return problems;
}

std::vector<std::string> check_load_failure(const Run& run, const std::string& file,
                                            bool names_file)
{
    std::vector<std::string> problems;
    const std::string prefix = "SDL_Init failed: ";
    if (run.lines.size() != 2 || run.lines[0] != "Falha ao carregar imagem" ||
        run.lines[1].compare(0, prefix.size(), prefix) != 0) {
        problems.push_back("printed" + quoted(run.lines) +
                           "\n  instead of \"Falha ao carregar imagem\" and \"" + prefix +
                           "<reason>\"");
    } else if (run.lines[1].size() == prefix.size()) {
        problems.push_back("gave no reason for the failed load");
    } else if (names_file && run.lines[1].find(file, prefix.size()) == std::string::npos) {
        problems.push_back("gave a reason that does not name " + file + ": \"" + run.lines[1] +
                           "\"");
    }
    if (run.exit_status != 1) {
        problems.push_back("exited with status " + std::to_string(run.exit_status) +
                           " instead of 1");
    }
    if (run.frame) {
        problems.push_back("showed a picture although the image was not loaded");
    }
    return problems;
}

} // namespace expect
