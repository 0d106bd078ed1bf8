// Every lesson, run as a user would on SDL's dummy driver, keeps the promise that
// tools/check/expectations.hpp spells out (the same checks the runs on X11, under
// Wine, on Wayland and in a browser make), with a request to close its window once
// its picture shows: a lesson that holds its picture ignores it, one that runs
// until closed ends. Its traced twin makes the same calls as it, each at its line,
// and meets each failure the lesson handles as the lesson says it does. So a new
// lesson is checked, whatever its kind, without a line of test code of its own.

#include "harness.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;

// Half a second into the picture: inside a hold, and many frames into a loop.
const double CLOSE_AFTER_MS = 500;

// The run every check of a lesson starts from, plain or traced.
harness::Result closed_run(const std::string& lesson, bool traced,
                           const std::vector<std::string>& wrapper = {})
{
    harness::Options options;
    options.close_after_ms = CLOSE_AFTER_MS;
    options.wrapper = wrapper;
    options.deadline_seconds = wrapper.empty() ? 30 : 120;
    return harness::run(harness::program(lesson, traced), options);
}

void expect_kept_its_promise(const std::string& lesson, const harness::Result& result)
{
    ASSERT_TRUE(harness::ran_clean(result));
    for (const std::string& problem : expect::check_lesson(lesson, result.run)) {
        ADD_FAILURE() << lesson << " " << problem << "\nits standard error:\n" << result.err;
    }
    EXPECT_LE(result.frames_kept, 2) << "the pictures SDL saved were not cleared as it ran";
}

class Lessons : public ::testing::TestWithParam<std::string> {};

TEST_P(Lessons, KeepTheirPromise)
{
    expect_kept_its_promise(GetParam(), closed_run(GetParam(), false));
}

INSTANTIATE_TEST_SUITE_P(, Lessons, ::testing::ValuesIn(harness::lessons()),
                         [](const auto& info) { return info.param; });

// Under valgrind: no invalid access, nothing of the lesson's leaked, and the same
// promise kept; the lesson and its traced twin alike.
class Valgrind : public ::testing::TestWithParam<std::string> {};

TEST_P(Valgrind, KeepsItsPromiseCleanly)
{
#ifdef LESSONS_SANITIZE
    GTEST_SKIP() << "the sanitizers check this build";
#else
    const std::string lesson = GetParam().substr(0, GetParam().find('-'));
    const auto result = closed_run(lesson, GetParam() != lesson,
                                   {VALGRIND, "-q", "--error-exitcode=99", "--leak-check=full",
                                    "--errors-for-leak-kinds=definite,indirect",
                                    "--show-leak-kinds=definite,indirect"});
    expect_kept_its_promise(lesson, result);
#endif
}

std::vector<std::string> lessons_and_twins()
{
    std::vector<std::string> programs;
    for (const std::string& lesson : harness::lessons()) {
        programs.push_back(lesson);
        programs.push_back(lesson + "-trace");
    }
    return programs;
}

INSTANTIATE_TEST_SUITE_P(, Valgrind, ::testing::ValuesIn(lessons_and_twins()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The line `number` of a source of `lesson`'s: its own, beside its prints.tsv, or
// the support library's.
std::string source_line(const std::string& lesson, const std::string& file, int number)
{
    const fs::path own = fs::path(expect::prints_path(lesson)).parent_path() / file;
    std::ifstream in(fs::exists(own) ? own
                                     : fs::path(LESSONS_SOURCE_DIR) / "lessons" / "common" / file);
    std::string line;
    for (int i = 0; i < number && std::getline(in, line); ++i) {
    }
    return line;
}

class Trace : public ::testing::TestWithParam<std::string> {};

TEST_P(Trace, TheTwinKeepsThePromiseAndListsEachCallAtItsLine)
{
    const std::string lesson = GetParam();
    const auto traced = closed_run(lesson, true);
    expect_kept_its_promise(lesson, traced);
    ASSERT_FALSE(traced.calls.empty()) << "no call traced:\n" << traced.err;
    for (const harness::Call& call : traced.calls) {
        const std::string written = source_line(lesson, call.file, call.line);
        const std::string name = call.name.substr(call.name.rfind(':') + 1);
        EXPECT_NE(written.find(name + "("), std::string::npos)
            << call.file << ":" << call.line << " is \"" << written << "\", not a call of " << name;
        // A support function's calls are shown under the lesson:: call that made them.
        const bool in_support = fs::path(call.file).filename() != lesson + ".cpp";
        EXPECT_EQ(call.depth, in_support ? 1u : 0u)
            << call.file << ":" << call.line << " " << call.name;
    }
}

INSTANTIATE_TEST_SUITE_P(, Trace, ::testing::ValuesIn(harness::lessons()),
                         [](const auto& info) { return info.param; });

// The traced twins see every SDL function a lesson calls: each one a lesson
// imports is one the traced build makes a recorder of.
TEST(TracedBuild, CoversEverySdlFunctionTheLessonsImport)
{
    const fs::path generated = LESSONS_TRACE_GENERATED;
    std::set<std::string> traced;
    std::ifstream macros(generated / "lessons_trace_sdl.hpp");
    for (std::string line; std::getline(macros, line);) {
        if (line.rfind("#define SDL_", 0) == 0) {
            traced.insert(line.substr(8, line.find(' ', 8) - 8));
        }
    }
    ASSERT_FALSE(traced.empty()) << "no traced function in " << generated;
    // For the shell: in single quotes, each of its own as '\''.
    const auto quoted = [](const std::string& path) {
        std::string text = "'";
        for (const char c : path) {
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return text + "'";
    };
    for (const std::string& lesson : harness::lessons()) {
        const std::string command =
            "nm -D --undefined-only --format=just-symbols " + quoted(harness::program(lesson));
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr) << command;
        char name[256];
        int imported = 0;
        while (std::fscanf(pipe, "%255s", name) == 1) {
            if (std::string(name).rfind("SDL_", 0) == 0) {
                ++imported;
                EXPECT_TRUE(traced.count(name))
                    << lesson << " calls " << name << ", which its twin does not trace";
            }
        }
        pclose(pipe);
        EXPECT_GT(imported, 0) << "nm found no SDL function " << lesson << " imports";
    }
}

// Each failure a lesson handles, as its prints.tsv lists them.
std::vector<std::string> all_what_ifs()
{
    std::vector<std::string> found;
    for (const std::string& lesson : harness::lessons()) {
        for (const std::string& what_if : expect::failures_of(lesson)) {
            found.push_back(lesson + "." + what_if);
        }
    }
    return found;
}

class WhatIf : public ::testing::TestWithParam<std::string> {};

TEST_P(WhatIf, EndsTheLessonAsThatFailureDoes)
{
    const std::string lesson = GetParam().substr(0, GetParam().find('.'));
    const std::string what_if = GetParam().substr(GetParam().find('.') + 1);
    harness::Options options;
    options.env = {{"LESSONS_WHAT_IF", what_if}};
    const auto result = harness::run(harness::program(lesson, true), options);
    ASSERT_TRUE(harness::ran_clean(result));
    for (const std::string& problem : expect::check_failure(lesson, what_if, result.run)) {
        ADD_FAILURE() << GetParam() << " " << problem << "\nits trace:\n" << result.err;
    }
    // The trace marks the call made to fail, once.
    const auto failed =
        std::count_if(result.calls.begin(), result.calls.end(),
                      [&](const harness::Call& call) { return call.failed == what_if; });
    EXPECT_EQ(failed, 1) << "calls marked as made to fail:\n" << result.err;
}

INSTANTIATE_TEST_SUITE_P(, WhatIf, ::testing::ValuesIn(all_what_ifs()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '.', '_');
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(WhatIfs, AnUnknownNameIsRefusedBeforeTheLessonStarts)
{
    harness::Options options;
    options.env = {{"LESSONS_WHAT_IF", "no-such-failure"}};
    const auto result = harness::run(harness::program(harness::lessons().front(), true), options);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "") << "the lesson ran";
    EXPECT_NE(result.err.find("no-window"), std::string::npos) << result.err;
}

TEST(Harness, AWaitThatCannotSucceedFailsTheTestWithItsReason)
{
    // With SIGCHLD ignored the system reaps the child itself, and waiting for it
    // fails (ECHILD): the run must fail, saying so, rather than wait forever.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    EXPECT_NONFATAL_FAILURE(harness::run("/bin/true"), "cannot wait for /bin/true: ");
    sigaction(SIGCHLD, &previous, nullptr);
}

TEST(Harness, AProgramThatHangsIsKilledAtTheDeadlineNamingIt)
{
    harness::Options options;
    options.args = {"30"};
    options.deadline_seconds = 0.2;
    harness::Result result;
    EXPECT_NONFATAL_FAILURE(result = harness::run("/bin/sleep", options),
                            "/bin/sleep did not exit within 0.2 s; it was killed");
    EXPECT_EQ(result.signal, SIGKILL);
}

} // namespace
