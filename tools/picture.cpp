#include "picture.hpp"

#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace picture {

namespace {

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool load_png(const std::string& path, Picture& picture, std::string& why)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        why = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        why = image.message;
        return false;
    }
    return true;
}

// Through SDL's loader, the one the lessons use, converted to RGB bytes.
bool load_bmp(const std::string& path, Picture& picture, std::string& why)
{
    SDL_Surface* bmp = SDL_LoadBMP(path.c_str());
    SDL_Surface* rgb = bmp ? SDL_ConvertSurfaceFormat(bmp, SDL_PIXELFORMAT_RGB24, 0) : nullptr;
    SDL_FreeSurface(bmp);
    if (rgb == nullptr) {
        why = SDL_GetError();
        return false;
    }
    picture.width = rgb->w;
    picture.height = rgb->h;
    const std::size_t row_bytes = static_cast<std::size_t>(rgb->w) * 3;
    picture.rgb.resize(row_bytes * rgb->h);
    for (int y = 0; y < rgb->h; ++y) {
        std::memcpy(&picture.rgb[y * row_bytes],
                    static_cast<const Uint8*>(rgb->pixels) + y * rgb->pitch, row_bytes);
    }
    SDL_FreeSurface(rgb);
    return true;
}

bool load_ppm(const std::string& path, Picture& picture, std::string& why)
{
    std::ifstream in(path, std::ios::binary);
    std::string tag;
    int max = 0;
    if (!(in >> tag >> picture.width >> picture.height >> max) || tag != "P6" || max != 255) {
        why = "not a binary PPM with 8-bit channels";
        return false;
    }
    in.get(); // the one whitespace character after the header
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()),
            static_cast<std::streamsize>(picture.rgb.size()));
    if (static_cast<std::size_t>(in.gcount()) != picture.rgb.size()) {
        why = "cut short";
        return false;
    }
    return true;
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

} // namespace

bool load(const std::string& path, Picture& picture, std::string& why)
{
    if (ends_with(path, ".png")) {
        return load_png(path, picture, why);
    }
    if (ends_with(path, ".bmp")) {
        return load_bmp(path, picture, why);
    }
    if (ends_with(path, ".ppm")) {
        return load_ppm(path, picture, why);
    }
    why = "not a .png, .bmp or .ppm file";
    return false;
}

bool save_png(const std::string& path, const Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr) != 0;
}

// Rows bottom to top, blue-green-red, each row padded to a multiple of four bytes;
// 72 dpi. (SDL_SaveBMP would write no resolution, so the file would change.)
bool save_bmp(const std::string& path, const Picture& picture)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const unsigned long row_size = (static_cast<unsigned long>(picture.width) * 3 + 3) / 4 * 4;
    const unsigned long image_size = row_size * static_cast<unsigned long>(picture.height);
    const unsigned long header_size = 14 + 40;

    std::fputs("BM", file);
    put_u32(file, header_size + image_size);
    put_u32(file, 0);           // reserved
    put_u32(file, header_size); // offset of the pixels
    put_u32(file, 40);          // BITMAPINFOHEADER
    put_u32(file, static_cast<unsigned long>(picture.width));
    put_u32(file, static_cast<unsigned long>(picture.height)); // positive: bottom-up
    put_u16(file, 1);                                          // planes
    put_u16(file, 24);                                         // bits per pixel
    put_u32(file, 0);                                          // BI_RGB, no compression
    put_u32(file, image_size);
    put_u32(file, 2835); // 72 dpi, in pixels per metre
    put_u32(file, 2835);
    put_u32(file, 0); // no palette
    put_u32(file, 0);

    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * picture.width * 3];
        unsigned long written = 0;
        for (int x = 0; x < picture.width; ++x, written += 3) {
            std::fputc(row[x * 3 + 2], file);
            std::fputc(row[x * 3 + 1], file);
            std::fputc(row[x * 3], file);
        }
        for (; written < row_size; ++written) {
            std::fputc(0, file);
        }
    }
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

long differences(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height) {
        return -1;
    }
    long count = 0;
    for (std::size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
        count += std::memcmp(&a.rgb[i], &b.rgb[i], 3) != 0;
    }
    return count;
}

bool contains(const Picture& whole, const Picture& part, long allowed)
{
    const std::size_t row_bytes = static_cast<std::size_t>(part.width) * 3;
    for (int top = 0; top + part.height <= whole.height; ++top) {
        for (int left = 0; left + part.width <= whole.width; ++left) {
            long differing = 0;
            for (int y = 0; differing <= allowed && y < part.height; ++y) {
                const std::uint8_t* seen =
                    &whole.rgb[(static_cast<std::size_t>(top + y) * whole.width + left) * 3];
                const std::uint8_t* wanted = &part.rgb[y * row_bytes];
                if (std::memcmp(seen, wanted, row_bytes) == 0) {
                    continue;
                }
                for (int x = 0; differing <= allowed && x < part.width; ++x) {
                    differing += std::memcmp(seen + 3 * x, wanted + 3 * x, 3) != 0;
                }
            }
            if (differing <= allowed) {
                return true;
            }
        }
    }
    return false;
}

} // namespace picture
