// Makes resources/images/hello_world.bmp, the picture lesson 02 shows.
//
// A 640x480 picture: "HELLO, WORLD!" above a shaded globe, on a background whose
// red rises from left to right, green from top to bottom and blue falls along the
// diagonal. So every corner differs and each colour channel differs, and a
// flipped, mirrored, shifted or channel-swapped copy never matches the original.
// Written as an uncompressed 24-bit BMP, which SDL's BMP loader reads.
//
// Usage: make_hello_world <output.bmp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

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

class Picture {
public:
    Picture() : pixels_(static_cast<std::size_t>(WIDTH) * HEIGHT)
    {
    }

    void set(int x, int y, Rgb colour)
    {
        if (x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT) {
            pixels_[static_cast<std::size_t>(y) * WIDTH + x] = colour;
        }
    }
    Rgb get(int x, int y) const
    {
        return pixels_[static_cast<std::size_t>(y) * WIDTH + x];
    }

private:
    std::vector<Rgb> pixels_;
};

void paint_background(Picture& picture)
{
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            double fx = x / double(WIDTH - 1);
            double fy = y / double(HEIGHT - 1);
            picture.set(x, y,
                        {to_byte(40 + 180 * fx), to_byte(30 + 150 * fy),
                         to_byte(210 - 160 * (fx + fy) / 2)});
        }
    }
}

// A globe lit from the upper left, with land, sea and a grid of meridians and parallels.
void paint_globe(Picture& picture, int cx, int cy, int radius)
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
            picture.set(x, y, {to_byte(r * light), to_byte(g * light), to_byte(b * light)});
        }
    }
}

void paint_text(Picture& picture, const char* text, int left, int top, int scale, Rgb colour)
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
                        picture.set(left + (i * 6 + col) * scale + dx, top + row * scale + dy,
                                    colour);
                    }
                }
            }
        }
    }
}

void put_u16(std::FILE* file, unsigned value)
{
    std::fputc(static_cast<int>(value & 0xFF), file);
    std::fputc(static_cast<int>((value >> 8) & 0xFF), file);
}

void put_u32(std::FILE* file, unsigned long value)
{
    put_u16(file, static_cast<unsigned>(value & 0xFFFF));
    put_u16(file, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

// An uncompressed 24-bit BMP: rows bottom to top, blue-green-red, each row
// padded to a multiple of four bytes (640 * 3 already is).
bool write_bmp(const Picture& picture, const char* file_name)
{
    std::FILE* file = std::fopen(file_name, "wb");
    if (file == nullptr) {
        return false;
    }
    const unsigned long row_size = (WIDTH * 3 + 3) / 4 * 4;
    const unsigned long image_size = row_size * HEIGHT;
    const unsigned long header_size = 14 + 40;

    std::fputs("BM", file);
    put_u32(file, header_size + image_size);
    put_u32(file, 0);           // reserved
    put_u32(file, header_size); // offset of the pixels
    put_u32(file, 40);          // BITMAPINFOHEADER
    put_u32(file, WIDTH);
    put_u32(file, HEIGHT); // positive: bottom-up
    put_u16(file, 1);      // planes
    put_u16(file, 24);     // bits per pixel
    put_u32(file, 0);      // BI_RGB, no compression
    put_u32(file, image_size);
    put_u32(file, 2835); // 72 dpi, in pixels per metre
    put_u32(file, 2835);
    put_u32(file, 0); // no palette
    put_u32(file, 0);

    for (int y = HEIGHT - 1; y >= 0; --y) {
        unsigned long written = 0;
        for (int x = 0; x < WIDTH; ++x) {
            Rgb p = picture.get(x, y);
            std::fputc(p.b, file);
            std::fputc(p.g, file);
            std::fputc(p.r, file);
            written += 3;
        }
        for (; written < row_size; ++written) {
            std::fputc(0, file);
        }
    }
    bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.bmp>\n", argv[0]);
        return 2;
    }

    Picture picture;
    paint_background(picture);
    const char* greeting = "HELLO, WORLD!";
    const int scale = 7;
    const int text_width = (13 * 6 - 1) * scale;
    const int left = (WIDTH - text_width) / 2;
    paint_text(picture, greeting, left + 4, 44, scale, {25, 20, 60}); // shadow
    paint_text(picture, greeting, left, 40, scale, {255, 250, 235});
    paint_globe(picture, 320, 295, 150);

    if (!write_bmp(picture, argv[1])) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
