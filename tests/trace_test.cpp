// The traced twins, <lesson>-trace: the calls their trace lists are the calls the
// lesson really makes (as the seam sees them in the plain lesson), each at the line
// that holds it, and each failure LESSONS_WHAT_IF names ends the lesson as that
// failure really does (the lines of tests/expected/<lesson>.<what-if>.txt).

#include "check/expectations.hpp"
#include "harness.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

namespace {

namespace fs = std::filesystem;

// One line of a trace: where, indented how deep, which call, and the rest.
struct Traced {
    std::size_t depth = 0;
    std::string file;
    int line = 0;
    std::string name; // SDL_Init, lesson::init_surface, calloc
    std::string text; // the whole line
};

// A trace line is "<ms> ms  " then two spaces a level deep, then "file:line  "
// (absent for calloc) and the call: "  3 ms    init_surface.cpp:15  SDL_Init(".
std::optional<Traced> parse_entry(const std::string& line)
{
    const auto is_name = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':';
    };
    std::size_t at = line.find_first_not_of(' ');
    if (at == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[at]))) {
        return std::nullopt;
    }
    at = line.find_first_not_of("0123456789", at);
    if (at == std::string::npos || line.compare(at, 5, " ms  ") != 0) {
        return std::nullopt;
    }
    at += 5;
    Traced call;
    call.text = line;
    const std::size_t word = line.find_first_not_of(' ', at);
    if (word == std::string::npos) {
        return std::nullopt;
    }
    call.depth = (word - at) / 2;
    std::size_t name = word;
    const std::size_t end = line.find_first_of(" (", word);
    if (end != std::string::npos && line[end] == ' ') {
        const std::size_t colon = line.rfind(':', end);
        if (colon == std::string::npos || colon < word || colon + 1 == end ||
            line.find_first_not_of("0123456789", colon + 1) != end ||
            line.compare(end, 2, "  ") != 0) {
            return std::nullopt;
        }
        call.file = line.substr(word, colon - word);
        call.line = std::stoi(line.substr(colon + 1, end - colon - 1));
        name = end + 2;
    }
    const std::size_t paren = line.find('(', name);
    if (paren == std::string::npos || paren == name ||
        !std::all_of(line.begin() + static_cast<long>(name),
                     line.begin() + static_cast<long>(paren), is_name)) {
        return std::nullopt;
    }
    call.name = line.substr(name, paren - name);
    return call;
}

std::vector<Traced> trace_of(const harness::Result& result)
{
    std::vector<Traced> calls;
    for (const std::string& line : expect::split_lines(result.err)) {
        if (auto call = parse_entry(line)) {
            calls.push_back(*call);
        }
    }
    return calls;
}

std::string source_line(const std::string& file, int number)
{
    const fs::path lessons = fs::path(PROJECT_RESOURCES).parent_path().parent_path() / "lessons";
    std::ifstream in(fs::exists(lessons / file) ? lessons / file : lessons / "common" / file);
    std::string line;
    for (int i = 0; i < number && std::getline(in, line); ++i) {
    }
    return line;
}

harness::Result traced_run(const std::string& lesson, const std::string& what_if = "")
{
    harness::Options options;
    options.seam = false;
    if (!what_if.empty()) {
        options.env = {{"LESSONS_WHAT_IF", what_if}};
    }
    return harness::run(std::string(LESSON_BIN_DIR) + lesson + "-trace", options);
}

class Trace : public ::testing::TestWithParam<std::string> {};

TEST_P(Trace, ListsTheCallsTheLessonMakesEachAtItsLine)
{
    const std::string lesson = GetParam();
    const auto plain = harness::run(std::string(LESSON_BIN_DIR) + lesson);
    const auto traced = traced_run(lesson);
    ASSERT_TRUE(harness::ran_clean(traced));
    EXPECT_EQ(traced.exit_code, 0);
    EXPECT_EQ(expect::split_lines(traced.out).size(), plain.lines.size())
        << "the traced twin printed otherwise than the lesson:\n"
        << traced.out;

    // The SDL calls, in order, by name (SDL_BlitSurface is SDL_UpperBlit to the seam).
    std::vector<std::string> seen;
    for (const std::string& call : plain.calls) {
        seen.push_back(call.substr(0, call.find(' ')));
    }
    std::vector<std::string> listed;
    for (const Traced& call : trace_of(traced)) {
        if (call.name.rfind("SDL_", 0) == 0) {
            listed.push_back(call.name == "SDL_BlitSurface" ? "SDL_UpperBlit" : call.name);
        }
        const std::string written = source_line(call.file, call.line);
        EXPECT_NE(written.find(call.name + "("), std::string::npos)
            << call.file << ":" << call.line << " is \"" << written << "\", not a call of "
            << call.name;
        // A support function's calls are shown under the lesson:: call that made them.
        const bool in_support = fs::path(call.file).filename() != lesson + ".cpp";
        EXPECT_EQ(call.depth, in_support ? 1u : 0u) << call.text;
    }
    EXPECT_EQ(listed, seen) << "the trace:\n" << traced.err;
}

INSTANTIATE_TEST_SUITE_P(, Trace, ::testing::ValuesIn(harness::lessons()),
                         [](const auto& info) { return info.param; });

// Every failure a lesson handles, as tests/expected/<lesson>.<what-if>.txt lists them.
std::vector<std::string> all_what_ifs()
{
    std::vector<std::string> found;
    const fs::path expected = fs::path(expect::expected_lines_path("x")).parent_path();
    for (const std::string& lesson : harness::lessons()) {
        for (const auto& entry : fs::directory_iterator(expected)) {
            const std::string name = entry.path().filename().string();
            // <lesson>.<what-if>.txt; <lesson>.txt is what it prints when all goes well.
            if (name.rfind(lesson + ".", 0) == 0 && entry.path().extension() == ".txt" &&
                entry.path().stem().string() != lesson) {
                found.push_back(entry.path().stem().string());
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

class WhatIf : public ::testing::TestWithParam<std::string> {};

TEST_P(WhatIf, EndsTheLessonAsThatFailureDoes)
{
    const std::string lesson = GetParam().substr(0, GetParam().find('.'));
    const std::string what_if = GetParam().substr(GetParam().find('.') + 1);
    const auto result = traced_run(lesson, what_if);
    ASSERT_TRUE(harness::ran_clean(result));
    expect::Run run;
    run.lines = result.lines;
    run.exit_status = result.exit_code;
    for (const std::string& problem : expect::check_failure(lesson, what_if, run)) {
        ADD_FAILURE() << GetParam() << " " << problem << "\nits trace:\n" << result.err;
    }
    // The trace says which call failed, and why.
    // "what if no-window: ... (SDL_CreateWindow fails)"
    const std::string& err = result.err;
    const std::size_t told = err.find("what if " + what_if + ": ");
    const std::size_t fails = err.find(" fails)", told);
    const std::size_t open = err.rfind('(', fails);
    ASSERT_TRUE(told != std::string::npos && fails != std::string::npos &&
                open != std::string::npos && open > told)
        << err;
    const std::string failing = err.substr(open + 1, fails - open - 1);
    int failed = 0;
    for (const Traced& call : trace_of(result)) {
        if (call.text.find("made to fail: what if " + what_if) != std::string::npos) {
            ++failed;
            EXPECT_EQ(call.name, failing) << call.text;
            EXPECT_NE(call.text.find(" -> "), std::string::npos) << call.text;
        }
    }
    EXPECT_GE(failed, 1) << "no call was marked as made to fail:\n" << err;
}

INSTANTIATE_TEST_SUITE_P(, WhatIf, ::testing::ValuesIn(all_what_ifs()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '.', '_');
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(WhatIfs, AnUnknownNameIsRefusedBeforeTheLessonStarts)
{
    const auto result = traced_run(harness::lessons().front(), "no-such-failure");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "") << "the lesson ran";
    EXPECT_NE(result.err.find("no-window"), std::string::npos) << result.err;
}

// The seam sees every SDL function a lesson imports, so that the comparison above
// misses none of the calls the lesson makes.
TEST(Seam, InterposesEverySdlFunctionTheLessonsImport)
{
    auto symbols = [](const std::string& command) {
        std::set<std::string> names;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char name[256];
            while (std::fscanf(pipe, "%255s", name) == 1) {
                if (std::string(name).rfind("SDL_", 0) == 0) {
                    names.insert(name);
                }
            }
            pclose(pipe);
        }
        return names;
    };
    // For the shell: in single quotes, each of its own as '\''.
    const auto quoted = [](const std::string& path) {
        std::string text = "'";
        for (const char c : path) {
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return text + "'";
    };
    const std::set<std::string> seam =
        symbols("nm -D --defined-only --format=just-symbols " + quoted(SDL_SEAM_PATH));
    ASSERT_FALSE(seam.empty()) << "nm found no symbol in " << SDL_SEAM_PATH;
    for (const std::string& lesson : harness::lessons()) {
        for (const std::string& imported : symbols("nm -D --undefined-only --format=just-symbols " +
                                                   quoted(std::string(LESSON_BIN_DIR) + lesson))) {
            EXPECT_TRUE(seam.count(imported)) << lesson << " calls " << imported
                                              << ", which tests/seam/sdl_seam.cpp does not see";
        }
    }
}

} // namespace
