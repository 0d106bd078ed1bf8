// Makes resources/images/hello_world.bmp, the picture lesson 02 shows.
//
// A 640x480 picture: "HELLO, WORLD!" above a shaded globe, on a background whose
// red rises from left to right, green from top to bottom and blue falls along the
// diagonal. So every corner differs and each colour channel differs, and a
// flipped, mirrored, shifted or channel-swapped copy never matches the original.
// Written as an uncompressed 24-bit BMP, which SDL's BMP loader reads.
//
// Usage: make_hello_world <output.bmp>

#include "picture.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

const int WIDTH = 640;
const int HEIGHT = 480;
const double PI = 3.14159265358979323846;

struct Rgb {
    std::uint8_t r, g, b;
};

// 5x7 glyphs for the letters of the greeting, one string per row.
struct Glyph {
    char letter;
    const char* rows[7];
};
const Glyph FONT[] = {
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

const Glyph* find_glyph(char letter)
{
    for (const Glyph& glyph : FONT) {
        if (glyph.letter == letter) {
            return &glyph;
        }
    }
    return nullptr;
}

std::uint8_t to_byte(double value)
{
    if (value < 0.0) {
        return 0;
    }
    if (value > 255.0) {
        return 255;
    }
    return static_cast<std::uint8_t>(value + 0.5);
}

// Sets one pixel, ignoring any outside the picture.
void set(picture::Picture& picture, int x, int y, Rgb colour)
{
    if (x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT) {
        std::uint8_t* p = &picture.rgb[(static_cast<std::size_t>(y) * WIDTH + x) * 3];
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
    }
}

void paint_background(picture::Picture& picture)
{
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            double fx = x / double(WIDTH - 1);
            double fy = y / double(HEIGHT - 1);
            set(picture, x, y,
                {to_byte(40 + 180 * fx), to_byte(30 + 150 * fy),
                 to_byte(210 - 160 * (fx + fy) / 2)});
        }
    }
}

// A globe lit from the upper left, with land, sea and a grid of meridians and parallels.
void paint_globe(picture::Picture& picture, int cx, int cy, int radius)
{
    for (int y = cy - radius; y <= cy + radius; ++y) {
        for (int x = cx - radius; x <= cx + radius; ++x) {
            double u = (x - cx) / double(radius);
            double v = (y - cy) / double(radius);
            double rr = u * u + v * v;
            if (rr > 1.0) {
                continue;
            }
            double z = std::sqrt(1.0 - rr);
            double longitude = std::atan2(u, z) + 0.6;
            double latitude = std::asin(v);
            double light = 0.35 + 0.65 * std::fmax(0.0, (-0.4 * u - 0.5 * v + 0.77 * z));

            bool land = std::sin(3 * longitude) * std::cos(2 * latitude) +
                            0.5 * std::sin(5 * latitude + longitude) >
                        0.35;
            double r = land ? 70 : 20;
            double g = land ? 170 : 90;
            double b = land ? 60 : 200;

            double grid = PI / 8;
            double lon_off = std::fabs(std::remainder(longitude, grid));
            double lat_off = std::fabs(std::remainder(latitude, grid));
            if (lon_off * z < 0.012 || lat_off < 0.012) {
                r = 230;
                g = 230;
                b = 210;
            }
            set(picture, x, y, {to_byte(r * light), to_byte(g * light), to_byte(b * light)});
        }
    }
}

void paint_text(picture::Picture& picture, const char* text, int left, int top, int scale,
                Rgb colour)
{
    for (int i = 0; text[i] != '\0'; ++i) {
        const Glyph* glyph = find_glyph(text[i]);
        if (glyph == nullptr) {
            continue;
        }
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (glyph->rows[row][col] != '#') {
                    continue;
                }
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        set(picture, left + (i * 6 + col) * scale + dx, top + row * scale + dy,
                            colour);
                    }
                }
            }
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.bmp>\n", argv[0]);
        return 2;
    }

    picture::Picture picture;
    picture.width = WIDTH;
    picture.height = HEIGHT;
    picture.rgb.resize(static_cast<std::size_t>(WIDTH) * HEIGHT * 3);
    paint_background(picture);
    const char* greeting = "HELLO, WORLD!";
    const int scale = 7;
    const int text_width = (13 * 6 - 1) * scale;
    const int left = (WIDTH - text_width) / 2;
    paint_text(picture, greeting, left + 4, 44, scale, {25, 20, 60}); // shadow
    paint_text(picture, greeting, left, 40, scale, {255, 250, 235});
    paint_globe(picture, 320, 295, 150);

    if (!picture::save_bmp(argv[1], picture)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
