#include "formats/PngFile.h"

#include <png.h>

#include <vector>

namespace formats {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void Flush(png_structp) {}

// libpng reports an error by calling this, which must not return: the
// message is kept and the writer's setjmp point is taken.
void Error(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    png_longjmp(png, 1);
}

void Warning(png_structp, png_const_charp) {}

}  // namespace

PngBytes EncodeIndexedPng(int width, int height, std::span<const uint8_t> pixels, const std::array<Rgb, 4>& colours) {
    PngBytes out;
    if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) {
        out.error = "a picture's pixels do not fill its size";
        return out;
    }
    // The rows packed 4 pixels a byte, the first in the high bits.
    const size_t stride = (size_t(width) + 3) / 4;
    std::vector<png_byte> packed(stride * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t value = pixels[size_t(y) * size_t(width) + size_t(x)] & 3;
            packed[size_t(y) * stride + size_t(x) / 4] |= png_byte(value << (6 - 2 * (x % 4)));
        }
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[size_t(y)] = packed.data() + size_t(y) * stride;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out.error, Error, Warning);
    if (png == nullptr) {
        out.error = "libpng could not start a picture";
        return out;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (out.error.empty()) out.error = "libpng could not write a picture";
        out.bytes.clear();
        return out;
    }
    png_set_write_fn(png, &out.bytes, Append, Flush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 2, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[4];
    for (size_t k = 0; k < 4; ++k) palette[k] = {colours[k][0], colours[k][1], colours[k][2]};
    png_set_PLTE(png, info, palette, 4);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace formats
