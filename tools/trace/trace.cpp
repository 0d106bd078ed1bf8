// What the traced build writes about each call (see trace.hpp), and the failures
// it can make (LESSONS_WHAT_IF). One record a call, on standard error: a line a
// learner reads,
//
//      31 ms    init_surface.cpp:28  SDL_CreateWindow("SDL Tutorial", ...) -> 0x55d0c2a0e690
//
// or, with LESSONS_TRACE_FORMAT=json, the same record as a line of JSON, for the
// pages and the tests to read (with LESSONS_TRACE_FORMAT=none, nothing):
//
//   {"ms":31,"depth":1,"file":"init_surface.cpp","line":28,"call":"SDL_CreateWindow",
//    "args":["\"SDL Tutorial\"",...],"result":"0x55d0c2a0e690"}
//
// Its fields: the time the call was made, since the program started; how deep it
// is in the lesson:: calls that made it; the file and line it is written on; the
// call and its arguments as a learner would write them (flag and enumeration names,
// strings quoted, colours and pixels in hex, an SDL_Rect by its fields); what it
// returned ("result", absent for a function that returns nothing; an event a call
// read is named after it: "1 (SDL_KEYDOWN SDLK_SPACE)"); SDL's reason where it
// failed ("error"); and the what-if it was made to fail by ("failed"). A lesson::
// call's record comes before the records of the calls it made, once it has
// returned. Two other records: a what-if's, {"what_if","meaning","call"}, first;
// and where a lesson's frames repeat the calls of the frame before them,
// {"repeat":[<first>,<last>],"ms":[<from>,<to>]}, in place of those frames: a
// frame starts where the lesson reads events after doing anything else.
// This file is compiled without the traced build's forced include, so its own
// calls to SDL go straight to SDL and are not traced.

#include "trace.hpp"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace lessons_trace {

namespace {

const auto started = std::chrono::steady_clock::now();

// SDL's enumerations and flags, by name, from its headers (cmake/Trace.cmake).
struct Named {
    long long value;
    const char* name;
};
struct Enumeration {
    const char* type;
    const Named* names; // ending with a null name
};
#define LESSONS_TRACE_ENUM(index, type, ...) const Named ENUM_##index[] = {__VA_ARGS__{0, nullptr}};
#include "enums.inc"
#undef LESSONS_TRACE_ENUM
#define LESSONS_TRACE_ENUM(index, type, ...) {type, ENUM_##index},
const Enumeration ENUMS[] = {
#include "enums.inc"
};
#undef LESSONS_TRACE_ENUM

const Enumeration* enumeration(const char* type)
{
    for (const Enumeration& e : ENUMS) {
        if (std::strcmp(e.type, type) == 0) {
            return &e;
        }
    }
    return nullptr;
}

// How each SDL function's result and arguments read best, from its declaration:
// "p" as its type says, "b" a colour's byte, "x" a pixel value, "f" a pixel
// format, "w" a window position, "e" an event, "E<n>" or "F<n>" a value or flags
// of the n-th enumeration.
struct Shapes {
    const char* function;
    const char* result;
    const char* arguments; // comma-separated
};
const Shapes SHAPES[] = {
#include "shapes.inc"
};

// The functions that read events: where a lesson's frame starts.
const char* const EVENT_READERS[] = {
#include "event_readers.inc"
};

// SDL's own names for functions whose symbols are named otherwise
// (SDL_BlitSurface for SDL_UpperBlit), from SDL's headers.
const char* const ALIASES[][2] = {
#include "aliases.inc"
    {"", ""}};

const char* learners_name(const char* name)
{
    for (const auto& alias : ALIASES) {
        if (std::strcmp(alias[0], name) == 0) {
            return alias[1];
        }
    }
    return name;
}

const Shapes* shapes_of(const std::string& name)
{
    static const std::map<std::string, const Shapes*> by_name = [] {
        std::map<std::string, const Shapes*> map;
        for (const Shapes& shapes : SHAPES) {
            map[shapes.function] = &shapes;
        }
        for (const auto& alias : ALIASES) {
            if (map.count(alias[0]) != 0) {
                map[alias[1]] = map[alias[0]];
            }
        }
        return map;
    }();
    const auto found = by_name.find(name);
    return found == by_name.end() ? nullptr : found->second;
}

// The shape of argument `at` ("" for the result).
std::string shape_of(const Shapes* shapes, int at)
{
    if (shapes == nullptr) {
        return "p";
    }
    if (at < 0) {
        return shapes->result;
    }
    const char* from = shapes->arguments;
    for (int i = 0; i < at && from != nullptr; ++i) {
        from = std::strchr(from, ',');
        from = from != nullptr ? from + 1 : nullptr;
    }
    if (from == nullptr || *from == '\0') {
        return "p";
    }
    const char* end = std::strchr(from, ',');
    return end != nullptr ? std::string(from, end) : std::string(from);
}

std::string hex(unsigned long long bits, int digits)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, bits);
    return text;
}

// A value by its name in `e`, else "".
std::string name_in(const Enumeration& e, long long value)
{
    for (const Named* n = e.names; n->name != nullptr; ++n) {
        if (n->value == value) {
            return n->name;
        }
    }
    return "";
}

// Flags by their names in `e`, those of most bits first (so that
// SDL_WINDOW_FULLSCREEN_DESKTOP is not read as SDL_WINDOW_FULLSCREEN and more),
// and any bits left over in hex.
std::string flags(unsigned long long bits, const Enumeration& e)
{
    std::vector<Named> known;
    for (const Named* n = e.names; n->name != nullptr; ++n) {
        if (n->value != 0) {
            known.push_back(*n);
        }
    }
    std::stable_sort(known.begin(), known.end(), [](const Named& a, const Named& b) {
        return std::bitset<64>(static_cast<unsigned long long>(a.value)).count() >
               std::bitset<64>(static_cast<unsigned long long>(b.value)).count();
    });
    std::string text;
    for (const Named& flag : known) {
        const auto flag_bits = static_cast<unsigned long long>(flag.value);
        if ((bits & flag_bits) == flag_bits) {
            text += (text.empty() ? "" : " | ") + std::string(flag.name);
            bits &= ~flag_bits;
        }
    }
    if (bits != 0 || text.empty()) {
        text += (text.empty() ? "" : " | ") + (bits == 0 ? std::string("0") : hex(bits, 1));
    }
    return text;
}

std::string pointer(const void* address)
{
    if (address == nullptr) {
        return "NULL";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%p", address); // as the lessons print pointers
    return text;
}

std::string quoted(const char* text)
{
    if (text == nullptr) {
        return "NULL";
    }
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
            out += *c;
        } else if (static_cast<unsigned char>(*c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(*c));
            out += escaped;
        } else {
            out += *c;
        }
    }
    return out + "\"";
}

std::string number(const Value& value, const std::string& shape)
{
    const auto bits = static_cast<unsigned long long>(value.number);
    if (shape == "b") {
        return hex(bits & 0xFF, 2);
    }
    if (shape == "x") {
        return hex(bits & 0xFFFFFFFF, 8);
    }
    if (shape == "f") {
        return SDL_GetPixelFormatName(static_cast<Uint32>(value.number));
    }
    if (shape == "w") {
        if (SDL_WINDOWPOS_ISUNDEFINED(value.number)) {
            return "SDL_WINDOWPOS_UNDEFINED";
        }
        if (SDL_WINDOWPOS_ISCENTERED(value.number)) {
            return "SDL_WINDOWPOS_CENTERED";
        }
    }
    if (shape.size() > 1 && (shape[0] == 'E' || shape[0] == 'F')) {
        const Enumeration& e = ENUMS[std::atoi(shape.c_str() + 1)];
        if (shape[0] == 'F') {
            return flags(bits, e);
        }
        const std::string name = name_in(e, value.number);
        if (!name.empty()) {
            return name;
        }
    }
    return value.kind == Value::Kind::Unsigned ? std::to_string(bits)
                                               : std::to_string(value.number);
}

std::string real(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// An event a call has read: its type, and for a key its key, for a window event
// what happened to the window.
std::string event_read(const SDL_Event& event)
{
    static const Enumeration* types = enumeration("SDL_EventType");
    static const Enumeration* keys = enumeration("SDL_KeyCode");
    static const Enumeration* window_events = enumeration("SDL_WindowEventID");
    std::string text = types != nullptr ? name_in(*types, event.type) : "";
    if (text.empty()) {
        text = "event " + hex(event.type, 1);
    }
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        const std::string key = keys != nullptr ? name_in(*keys, event.key.keysym.sym) : "";
        text += " " + (key.empty() ? std::to_string(event.key.keysym.sym) : key);
    } else if (event.type == SDL_WINDOWEVENT && window_events != nullptr) {
        text += " " + name_in(*window_events, event.window.event);
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        text += " button " + std::to_string(event.button.button) + " at " +
                std::to_string(event.button.x) + ", " + std::to_string(event.button.y);
    }
    return text;
}

std::string shown(const Value& value, const std::string& shape)
{
    switch (value.kind) {
    case Value::Kind::Signed:
    case Value::Kind::Unsigned:
        return number(value, shape);
    case Value::Kind::Real:
        return real(value.real);
    case Value::Kind::Bool:
        return value.number != 0 ? "SDL_TRUE" : "SDL_FALSE";
    case Value::Kind::Text:
        return quoted(static_cast<const char*>(value.pointer));
    case Value::Kind::Format: {
        const auto* format = static_cast<const SDL_PixelFormat*>(value.pointer);
        return format == nullptr ? "NULL" : SDL_GetPixelFormatName(format->format);
    }
    case Value::Kind::Surface: {
        const auto* surface = static_cast<const SDL_Surface*>(value.pointer);
        std::string text = pointer(surface);
        if (surface != nullptr && surface->format != nullptr) {
            text += " (" + std::to_string(surface->w) + "x" + std::to_string(surface->h) + " " +
                    SDL_GetPixelFormatName(surface->format->format) + ")";
        }
        return text;
    }
    case Value::Kind::Rect:
        if (value.pointer == nullptr) {
            return "NULL";
        }
        return "{" + real(value.rect[0]) + ", " + real(value.rect[1]) + ", " + real(value.rect[2]) +
               ", " + real(value.rect[3]) + "}";
    case Value::Kind::Pointer:
    case Value::Kind::Event:
        return pointer(value.pointer);
    case Value::Kind::Other:
        break;
    }
    return "...";
}

// The failures a traced build can make, from lessons/failures.tsv (cmake/Trace.cmake
// writes what_ifs.inc from it).
struct WhatIf {
    const char* name;
    const char* call; // the call made to fail
    const char* meaning;
    const char* error; // SDL's words for it ("" for none); "%s" stands for the call's first string
};
const WhatIf WHAT_IFS[] = {
#include "what_ifs.inc"
};

// One call, as written out.
struct Record {
    long long ms = 0;
    std::size_t depth = 0;
    std::string file; // "" for a call the linker routes here (calloc)
    int line = 0;
    std::string call;
    std::vector<std::string> arguments;
    bool has_result = false;
    std::string result;
    bool failed = false; // SDL's way of failing: a negative number, or no pointer
    std::string error;   // SDL_GetError() where it failed
    std::string what_if; // the what-if it was made to fail by
};

std::string json(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// LESSONS_TRACE_FORMAT: "json" for records, "none" for no trace at all (where the
// traced support library runs a program that is not to be traced: an edit on its
// page), else lines to read.
bool format_is(const char* name)
{
    const char* format = std::getenv("LESSONS_TRACE_FORMAT");
    return format != nullptr && std::strcmp(format, name) == 0;
}

bool as_json()
{
    static const bool json_format = format_is("json");
    return json_format;
}

void write(const std::string& line)
{
    static const bool silent = format_is("none");
    if (!silent) {
        std::fputs((line + "\n").c_str(), stderr);
    }
}

void write(const Record& r)
{
    if (as_json()) {
        std::string line =
            "{\"ms\":" + std::to_string(r.ms) + ",\"depth\":" + std::to_string(r.depth);
        if (!r.file.empty()) {
            line += ",\"file\":" + json(r.file) + ",\"line\":" + std::to_string(r.line);
        }
        line += ",\"call\":" + json(r.call) + ",\"args\":[";
        for (std::size_t i = 0; i < r.arguments.size(); ++i) {
            line += (i == 0 ? "" : ",") + json(r.arguments[i]);
        }
        line += "]";
        if (r.has_result) {
            line += ",\"result\":" + json(r.result);
        }
        if (r.failed) {
            line += ",\"error\":" + json(r.error);
        }
        if (!r.what_if.empty()) {
            line += ",\"failed\":" + json(r.what_if);
        }
        write(line + "}");
        return;
    }
    char time[24];
    std::snprintf(time, sizeof time, "%7lld ms  ", r.ms);
    std::string line = time + std::string(2 * r.depth, ' ');
    if (!r.file.empty()) {
        line += r.file + ":" + std::to_string(r.line) + "  ";
    }
    line += r.call + "(";
    for (std::size_t i = 0; i < r.arguments.size(); ++i) {
        line += (i == 0 ? "" : ", ") + r.arguments[i];
    }
    line += ")";
    if (r.has_result) {
        line += " -> " + r.result;
    }
    if (r.failed) {
        line += "  SDL_GetError(): " + quoted(r.error.c_str());
    }
    if (!r.what_if.empty()) {
        line += "  made to fail: what if " + r.what_if;
    }
    write(line);
}

// Folds a lesson's frames that repeat the calls of the frame before them.
class Frames {
public:
    void add(const Record& record, bool reads_events)
    {
        // A frame starts where the lesson reads events after doing anything else.
        if (record.depth == 0) {
            if (reads_events && !reading_) {
                finish();
                ++frame_;
            }
            reading_ = reads_events;
        }
        current_.push_back(record);
        if (frame_ == 0) {
            flush_current();
        }
    }

    // The program ends: what is held back goes out.
    void finish()
    {
        if (frame_ == 0 || current_.empty()) {
            return;
        }
        std::vector<std::string> signature;
        for (const Record& r : current_) {
            Record same = r;
            same.ms = 0;
            signature.push_back(as_text(same));
        }
        if (signature == shown_) {
            if (repeats_from_ == 0) {
                repeats_from_ = frame_;
                repeats_ms_from_ = current_.front().ms;
            }
            repeats_to_ = frame_;
            repeats_ms_to_ = current_.back().ms;
            current_.clear();
            return;
        }
        flush_repeats();
        flush_current();
        shown_ = signature;
    }

    void flush_repeats()
    {
        if (repeats_from_ == 0) {
            return;
        }
        const std::string frames =
            std::to_string(repeats_from_) +
            (repeats_to_ > repeats_from_ ? "-" + std::to_string(repeats_to_) : "");
        if (as_json()) {
            write("{\"repeat\":[" + std::to_string(repeats_from_) + "," +
                  std::to_string(repeats_to_) + "],\"ms\":[" + std::to_string(repeats_ms_from_) +
                  "," + std::to_string(repeats_ms_to_) + "]}");
        } else {
            char time[24];
            std::snprintf(time, sizeof time, "%7lld ms  ", repeats_ms_from_);
            write(time + std::string(repeats_to_ > repeats_from_ ? "frames " : "frame ") + frames +
                  (repeats_to_ > repeats_from_ ? " repeat" : " repeats") + " these calls, until " +
                  std::to_string(repeats_ms_to_) + " ms");
        }
        repeats_from_ = repeats_to_ = 0;
    }

private:
    static std::string as_text(const Record& r)
    {
        std::string text =
            r.file + ":" + std::to_string(r.line) + " " + std::to_string(r.depth) + " " + r.call;
        for (const std::string& argument : r.arguments) {
            text += "," + argument;
        }
        return text + "->" + r.result + "!" + r.error + "?" + r.what_if;
    }

    void flush_current()
    {
        for (const Record& r : current_) {
            write(r);
        }
        std::fflush(stderr);
        current_.clear();
    }

    std::vector<Record> current_;
    std::vector<std::string> shown_;
    int frame_ = 0;
    bool reading_ = false;
    int repeats_from_ = 0;
    int repeats_to_ = 0;
    long long repeats_ms_from_ = 0;
    long long repeats_ms_to_ = 0;
};

struct State {
    std::vector<Record> records; // held back until the lesson:: call they are in returns
    std::vector<int> open;       // the records of the lesson:: calls not yet returned
    int sdl_depth = 0;           // > 0 inside an SDL call: what SDL itself allocates is SDL's
    const WhatIf* what_if = nullptr;
    bool started = false;
    bool made_a_failure = false;
    Frames frames;
};

State& state()
{
    static State the_state;
    return the_state;
}

long long now_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started)
        .count();
}

bool reads_events(const std::string& call)
{
    for (const char* reader : EVENT_READERS) {
        if (call == reader) {
            return true;
        }
    }
    return false;
}

void write_out()
{
    State& s = state();
    if (!s.open.empty()) {
        return;
    }
    for (const Record& record : s.records) {
        s.frames.add(record, reads_events(record.call));
    }
    s.records.clear();
}

void at_exit()
{
    State& s = state();
    s.frames.finish();
    s.frames.flush_repeats();
    if (s.what_if != nullptr && !s.made_a_failure) {
        write(as_json() ? "{\"what_if\":" + json(s.what_if->name) + ",\"unmade\":true}"
                        : "what if " + std::string(s.what_if->name) + ": this run made no " +
                              s.what_if->call + " call, so nothing failed");
    }
    std::fflush(stderr);
}

// At the first call: LESSONS_WHAT_IF, the failure to make, if any. A name this build
// cannot make ends the program before the lesson does anything.
void start()
{
    State& s = state();
    if (s.started) {
        return;
    }
    s.started = true;
    std::atexit(at_exit);
    const char* name = std::getenv("LESSONS_WHAT_IF");
    if (name == nullptr || *name == '\0') {
        return;
    }
    for (const WhatIf& what_if : WHAT_IFS) {
        if (std::strcmp(what_if.name, name) == 0) {
            s.what_if = &what_if;
        }
    }
#ifndef LESSONS_TRACE_WRAP_CALLOC
    if (s.what_if != nullptr && std::strcmp(s.what_if->call, "calloc") == 0) {
        std::fprintf(stderr, "LESSONS_WHAT_IF=%s: this build cannot make calloc fail\n", name);
        std::exit(2);
    }
#endif
    if (s.what_if == nullptr) {
        std::fprintf(stderr,
                     "LESSONS_WHAT_IF=%s is not a failure the traced build makes; it makes:", name);
        for (const WhatIf& what_if : WHAT_IFS) {
            std::fprintf(stderr, " %s", what_if.name);
        }
        std::fprintf(stderr, "\n");
        std::exit(2);
    }
    if (as_json()) {
        write("{\"what_if\":" + json(s.what_if->name) + ",\"meaning\":" + json(s.what_if->meaning) +
              ",\"call\":" + json(s.what_if->call) + "}");
    } else {
        write("what if " + std::string(s.what_if->name) + ": " + s.what_if->meaning + " (" +
              s.what_if->call + " fails)");
    }
}

std::string location(const char* file)
{
    const char* name = std::strrchr(file, '/');
    const char* windows = std::strrchr(file, '\\');
    if (windows != nullptr && (name == nullptr || windows > name)) {
        name = windows;
    }
    return name == nullptr ? file : name + 1;
}

// Makes the call named in LESSONS_WHAT_IF fail as SDL would: its error text set
// (or none, where SDL would give none), and a stream it was handed to own closed.
void fail_as_sdl_would(const WhatIf& what_if, const std::vector<Value>& arguments)
{
    const char* first_text = "";
    for (const Value& argument : arguments) {
        if (argument.kind == Value::Kind::Text && argument.pointer != nullptr) {
            first_text = static_cast<const char*>(argument.pointer);
            break;
        }
    }
    if (std::strcmp(what_if.call, "SDL_LoadBMP_RW") == 0 && arguments.size() == 2) {
        if (arguments[1].number != 0 && arguments[0].pointer != nullptr) {
            SDL_RWclose(static_cast<SDL_RWops*>(const_cast<void*>(arguments[0].pointer)));
        }
    }
    if (*what_if.error == '\0') {
        SDL_ClearError();
    } else if (std::strstr(what_if.error, "%s") != nullptr) {
        SDL_SetError(what_if.error, first_text);
    } else {
        SDL_SetError("%s", what_if.error);
    }
}

} // namespace

Entry::Entry(const Site& called, std::initializer_list<Value> arguments, Of of)
    : arguments_(arguments), support_(of == Of::Support)
{
    start();
    State& s = state();
    const std::string name = learners_name(called.name);
    failing_ = !support_ && s.what_if != nullptr && name == s.what_if->call;
    if (failing_) {
        fail_as_sdl_would(*s.what_if, arguments_);
        s.made_a_failure = true;
    }
    Record record;
    record.ms = now_ms();
    record.depth = s.open.size();
    record.file = location(called.file);
    record.line = called.line;
    record.call = (support_ ? "lesson::" : "") + name;
    // The arguments as they are now: the call may free what they point to.
    const Shapes* shapes = support_ ? nullptr : shapes_of(name);
    int at = 0;
    for (const Value& argument : arguments_) {
        record.arguments.push_back(shown(argument, shape_of(shapes, at++)));
    }
    if (failing_) {
        record.what_if = s.what_if->name;
    }
    index_ = static_cast<int>(s.records.size());
    s.records.push_back(record);
    if (support_) {
        s.open.push_back(index_);
    } else {
        ++s.sdl_depth;
    }
}

Entry::~Entry()
{
    if (!done_) {
        returned();
    }
}

void Entry::finish(const Value* result)
{
    State& s = state();
    done_ = true;
    if (!s.open.empty() && s.open.back() == index_) {
        s.open.pop_back();
    } else {
        --s.sdl_depth;
    }
    Record& record = s.records[index_];
    const Shapes* shapes = support_ ? nullptr : shapes_of(record.call);
    if (result != nullptr) {
        record.has_result = true;
        record.result = shown(*result, shape_of(shapes, -1));
        // SDL's way of failing: a negative number, or no pointer at all.
        const bool pointer_kind =
            result->kind == Value::Kind::Text || result->kind == Value::Kind::Pointer ||
            result->kind == Value::Kind::Surface || result->kind == Value::Kind::Format;
        record.failed = (result->kind == Value::Kind::Signed && result->number < 0) ||
                        (pointer_kind && result->pointer == nullptr);
        if (record.failed) {
            record.error = SDL_GetError();
        }
        // An event the call read, named after its result.
        for (const Value& argument : arguments_) {
            if (argument.kind == Value::Kind::Event && argument.pointer != nullptr &&
                result->number > 0) {
                record.result +=
                    " (" + event_read(*static_cast<const SDL_Event*>(argument.pointer)) + ")";
            }
        }
    }
    write_out();
}

void Entry::returned()
{
    finish(nullptr);
}

void Entry::returned(const Value& result)
{
    finish(&result);
}

#ifdef LESSONS_TRACE_WRAP_CALLOC
// The build links the traced lessons with --wrap=calloc: each calloc of theirs
// comes here first. With LESSONS_WHAT_IF=no-memory, one made by the support code
// itself (not by SDL on its behalf) fails, as if memory had run out.
extern "C" void* __real_calloc(std::size_t count, std::size_t size);
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size)
{
    State& s = state();
    if (s.what_if != nullptr && std::strcmp(s.what_if->call, "calloc") == 0 && !s.open.empty() &&
        s.sdl_depth == 0) {
        s.made_a_failure = true;
        Record record;
        record.ms = now_ms();
        record.depth = s.open.size();
        record.call = "calloc";
        record.arguments = {std::to_string(count), std::to_string(size)};
        record.has_result = true;
        record.result = "NULL";
        record.what_if = s.what_if->name;
        s.records.push_back(record);
        errno = ENOMEM;
        return nullptr;
    }
    return __real_calloc(count, size);
}
#endif

} // namespace lessons_trace
