// Finds a lesson's "SDL Tutorial" window on an X server and photographs it.
//
//   window_shot save <out.png> [--close]
//       Waits for the window, waits a second into the lesson's two-second hold,
//       and saves what the server shows in it as a PNG; with --close, then asks
//       the window to close (for a lesson that runs until it is closed).
//   window_shot check <expected.png> <kind> <draws> -- <program> [args...]
//       Starts the program and checks, on the server, that its window is mapped,
//       titled "SDL Tutorial", 640x480, and shows exactly the expected picture;
//       then asks the window to close, as a window manager's close button does,
//       and checks that the program exits 0: a lesson of the kind "holds" once it
//       has held its picture for 2000 ms all the same, one of the kind
//       "until-closed" within a second. A lesson that draws on its window's
//       surface ("surface") must not load OpenGL; one that draws with SDL's
//       renderer ("renderer") may.
//
// Exits 0 when all is well, 1 with a reason on standard error otherwise.

#include "picture.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const TITLE = "SDL Tutorial";
// How long a checked program may run: time to map its window, and to hold it.
const double DEADLINE_SECONDS = 40;

using Clock = std::chrono::steady_clock;

using picture::Picture;

void sleep_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string window_title(Display* display, Window window)
{
    // The EWMH title (UTF-8) first, then the classic WM_NAME.
    Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

// The first viewable window titled TITLE, searched depth first from `parent`.
Window find_window(Display* display, Window parent)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable && window_title(display, children[i]) == TITLE) {
            found = children[i];
        } else {
            found = find_window(display, children[i]);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// Ignore errors from windows that vanish while we look at them.
int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}

bool grab(Display* display, Window window, Picture& picture)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        return false;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<unsigned char>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    picture.width = image->width;
    picture.height = image->height;
    picture.rgb.resize(std::size_t(picture.width) * picture.height * 3);
    std::size_t i = 0;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            picture.rgb[i++] = channel(pixel, image->red_mask);
            picture.rgb[i++] = channel(pixel, image->green_mask);
            picture.rgb[i++] = channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return true;
}

// The first OpenGL library mapped into process `pid`, or "" if none is.
std::string opengl_library(pid_t pid)
{
    std::FILE* maps = std::fopen(("/proc/" + std::to_string(pid) + "/maps").c_str(), "r");
    if (maps == nullptr) {
        return "";
    }
    std::string found;
    char line[4096];
    while (found.empty() && std::fgets(line, sizeof line, maps) != nullptr) {
        for (const char* name : {"/libGL", "/libEGL", "_dri.so", "/libLLVM"}) {
            if (std::strstr(line, name) != nullptr) {
                found = std::strrchr(line, ' ') + 1;
                found.erase(found.find_last_not_of('\n') + 1);
            }
        }
    }
    std::fclose(maps);
    return found;
}

Display* open_display()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "window_shot: cannot open the X display '%s'\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        std::exit(1);
    }
    XSetErrorHandler(ignore_x_error);
    return display;
}

// Polls for the window until `timeout` seconds pass or `still_running` says no.
template <typename Running>
Window wait_for_window(Display* display, double timeout, Running running)
{
    const auto start = Clock::now();
    while (seconds_since(start) < timeout && running()) {
        Window window = find_window(display, DefaultRootWindow(display));
        if (window != 0) {
            return window;
        }
        sleep_ms(5);
    }
    return 0;
}

// Asks the window to close, politely, as a window manager's close button does:
// false where it does not take the request.
bool ask_to_close(Display* display, Window window)
{
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* supported = nullptr;
    int count = 0;
    bool accepts_delete = false;
    if (XGetWMProtocols(display, window, &supported, &count)) {
        for (int i = 0; i < count; ++i) {
            accepts_delete = accepts_delete || supported[i] == delete_window;
        }
        XFree(supported);
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return accepts_delete;
}

int save(const char* out, bool close)
{
    Display* display = open_display();
    Window window = wait_for_window(display, 20.0, [] { return true; });
    if (window == 0) {
        std::fprintf(stderr, "window_shot: no \"%s\" window appeared\n", TITLE);
        return 1;
    }
    // SDL may replace the window it first shows (SDL3 makes another for OpenGL, which
    // its renderer can take), and the picture may come a while after the window: the
    // newest window's, once two looks 200 ms apart agree, well inside a hold. A window
    // not drawn yet is black: a lesson that paints its whole window black cannot be
    // photographed.
    sleep_ms(500);
    Picture picture;
    Picture again;
    bool steady = false;
    const auto start = Clock::now();
    while (!steady && seconds_since(start) < 10.0) {
        window = find_window(display, DefaultRootWindow(display));
        const auto drawn = [](const Picture& p) {
            return std::any_of(p.rgb.begin(), p.rgb.end(), [](unsigned char c) { return c != 0; });
        };
        if (window != 0 && grab(display, window, picture) && drawn(picture)) {
            sleep_ms(200);
            steady = grab(display, window, again) && again.rgb == picture.rgb;
        } else {
            sleep_ms(100);
        }
    }
    if (!steady || !picture::save_png(out, picture)) {
        std::fprintf(stderr, "window_shot: could not photograph the window into %s\n", out);
        return 1;
    }
    if (close) {
        ask_to_close(display, window);
    }
    XCloseDisplay(display);
    return 0;
}

int check(const char* expected_path, const std::string& kind, const std::string& draws,
          char** program)
{
    Picture expected;
    std::string why;
    if (!picture::load(expected_path, expected, why)) {
        std::fprintf(stderr, "window_shot: cannot read %s: %s\n", expected_path, why.c_str());
        return 1;
    }
    Display* display = open_display();

    const pid_t child = fork();
    if (child < 0) {
        std::perror("window_shot: fork");
        return 1;
    }
    const auto started = Clock::now();
    if (child == 0) {
        execv(program[0], program);
        std::perror("window_shot: exec");
        _exit(127);
    }
    int status = 0;
    bool exited = false;
    auto running = [&] {
        if (!exited && waitpid(child, &status, WNOHANG) == child) {
            exited = true;
        }
        return !exited;
    };

    int failures = 0;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
        ++failures;
    };

    Window window = wait_for_window(display, 20.0, running);
    const auto mapped = Clock::now();
    if (window == 0) {
        fail(std::string("no viewable window titled \"") + TITLE + "\" appeared");
    } else {
        // The picture may land a moment after the window maps: look until it matches,
        // at the newest window (SDL3 may replace its first with one for OpenGL).
        Picture shown;
        long wrong = -2;
        while (running() && seconds_since(mapped) < 3.0) {
            if (Window newest = find_window(display, DefaultRootWindow(display)); newest != 0) {
                window = newest;
            }
            if (grab(display, window, shown)) {
                wrong = picture::differences(shown, expected);
                if (wrong == 0) {
                    break;
                }
            }
            sleep_ms(20);
        }
        if (wrong != 0) {
            fail("the window never showed the expected picture (" + std::to_string(wrong) +
                 " pixels differ at the last look)");
            picture::save_png("window_shot_actual.png", shown);
        }
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        if (attributes.width != 640 || attributes.height != 480) {
            fail("the window is " + std::to_string(attributes.width) + "x" +
                 std::to_string(attributes.height) + ", not 640x480");
        }

        // A picture drawn on the window's surface is drawn on the CPU: OpenGL (Mesa,
        // LLVM) has no business in the process. Its libraries here mean SDL went
        // through an OpenGL texture instead of the X11 framebuffer. SDL's renderer
        // may well pick OpenGL.
        const std::string gl = opengl_library(child);
        if (!gl.empty() && draws == "surface") {
            fail("the program loaded OpenGL (" + gl + ") instead of using the X11 framebuffer");
        }

        if (!ask_to_close(display, window)) {
            fail("the window does not take WM_DELETE_WINDOW, so the close request proves nothing");
        }
    }
    const auto closed = Clock::now();

    // A lesson holds for two seconds; one still running long after is hung, and is
    // ended here, by name, rather than by whoever runs this check.
    while (running()) {
        if (seconds_since(started) > DEADLINE_SECONDS) {
            fail(std::string(program[0]) + " did not exit within " +
                 std::to_string(static_cast<int>(DEADLINE_SECONDS)) + " s; it was killed");
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        sleep_ms(5);
    }
    const double held = seconds_since(mapped);
    const double after_close = seconds_since(closed);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fail("the program did not exit with status 0");
    }
    if (window != 0 && kind == "holds" && held < 1.9) {
        fail("the program ended " + std::to_string(held) +
             " s after its window appeared: it did not hold its picture for 2000 ms");
    }
    if (window != 0 && kind == "until-closed" && after_close > 1.0) {
        fail("the program ended " + std::to_string(after_close) +
             " s after its window was asked to close, not within a second");
    }
    XCloseDisplay(display);
    if (failures == 0) {
        std::printf("ok: \"%s\" 640x480 showed %s, %s, exited 0\n", TITLE, expected_path,
                    kind == "holds"
                        ? ("ignored the close request, held " + std::to_string(held) + " s").c_str()
                        : "ended when asked to close");
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if ((argc == 3 || (argc == 4 && std::strcmp(argv[3], "--close") == 0)) &&
        std::strcmp(argv[1], "save") == 0) {
        return save(argv[2], argc == 4);
    }
    if (argc >= 7 && std::strcmp(argv[1], "check") == 0 && std::strcmp(argv[5], "--") == 0 &&
        (std::strcmp(argv[3], "holds") == 0 || std::strcmp(argv[3], "until-closed") == 0) &&
        (std::strcmp(argv[4], "surface") == 0 || std::strcmp(argv[4], "renderer") == 0)) {
        return check(argv[2], argv[3], argv[4], argv + 6);
    }
    std::fprintf(stderr,
                 "usage: %s save <out.png> [--close]\n"
                 "       %s check <expected.png> holds|until-closed surface|renderer -- <program> "
                 "[args...]\n",
                 argv[0], argv[0]);
    return 2;
}
