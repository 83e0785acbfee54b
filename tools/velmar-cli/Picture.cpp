#include "Picture.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace velmar::cli {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> EncodeBmp(const Picture& p) {
    const std::size_t row = (static_cast<std::size_t>(p.Width) * 3 + 3) & ~std::size_t{3};
    const std::size_t size = 54 + row * static_cast<std::size_t>(p.Height);
    std::vector<std::uint8_t> out(size, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLe(out, 2, static_cast<std::uint32_t>(size), 4);
    PutLe(out, 10, 54, 4);
    PutLe(out, 14, 40, 4);
    PutLe(out, 18, static_cast<std::uint32_t>(p.Width), 4);
    PutLe(out, 22, static_cast<std::uint32_t>(p.Height), 4);
    PutLe(out, 26, 1, 2);
    PutLe(out, 28, 24, 2);
    PutLe(out, 34, static_cast<std::uint32_t>(row * static_cast<std::size_t>(p.Height)), 4);
    for (int y = 0; y < p.Height; ++y) {
        const std::uint8_t* src = &p.Rgb[static_cast<std::size_t>(y) * p.Width * 3];
        std::uint8_t* dst = &out[54 + row * static_cast<std::size_t>(p.Height - 1 - y)];
        for (int x = 0; x < p.Width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return out;
}

Result DecodeBmp(const std::vector<std::uint8_t>& b, Picture& out) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return {"not a BMP file"};
    const std::uint32_t offset = Le32(&b[10]);
    const auto width = static_cast<std::int32_t>(Le32(&b[18]));
    const auto height = static_cast<std::int32_t>(Le32(&b[22]));
    const unsigned bits = b[28] | (b[29] << 8);
    const std::uint32_t compression = Le32(&b[30]);
    if ((bits != 24 && bits != 32) || (compression != 0 && compression != 3))
        return {"only uncompressed 24- and 32-bit BMP files are read"};
    const bool bottomUp = height > 0;
    const std::int64_t h = bottomUp ? height : -static_cast<std::int64_t>(height);
    if (width <= 0 || h <= 0 || width > 8192 || h > 8192) return {"BMP size out of range"};
    const std::size_t row = (static_cast<std::size_t>(width) * (bits / 8) + 3) & ~std::size_t{3};
    if (offset > b.size() || (b.size() - offset) / row < static_cast<std::size_t>(h))
        return {"BMP file cut short"};
    Picture p{width, static_cast<int>(h), {}};
    p.Rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(h) * 3);
    for (std::int64_t y = 0; y < h; ++y) {
        const std::uint8_t* src =
            &b[offset + row * static_cast<std::size_t>(bottomUp ? h - 1 - y : y)];
        std::uint8_t* dst = &p.Rgb[static_cast<std::size_t>(y) * width * 3];
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* px = src + static_cast<std::size_t>(x) * (bits / 8);
            dst[3 * x] = px[2];
            dst[3 * x + 1] = px[1];
            dst[3 * x + 2] = px[0];
        }
    }
    out = std::move(p);
    return {};
}

} // namespace

bool IsBmpName(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bmp";
}

std::vector<std::uint8_t> EncodePicture(const Picture& picture, const std::filesystem::path& name) {
    if (IsBmpName(name)) return EncodeBmp(picture);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.Rgb.data(), 0, nullptr) == 0)
        return {};
    std::vector<std::uint8_t> out(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, picture.Rgb.data(), 0, nullptr) ==
        0)
        return {};
    out.resize(size);
    return out;
}

Result DecodePicture(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& name,
                     Picture& out) {
    if (IsBmpName(name)) return DecodeBmp(bytes, out);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0)
        return {std::string("not a PNG file (") + image.message + ")"};
    image.format = PNG_FORMAT_RGB;
    if (image.width > 8192 || image.height > 8192) {
        png_image_free(&image);
        return {"PNG size out of range"};
    }
    Picture p{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    p.Rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, p.Rgb.data(), 0, nullptr) == 0)
        return {std::string("damaged PNG file (") + image.message + ")"};
    out = std::move(p);
    return {};
}

PictureDifference ComparePictures(const Picture& expected, const Picture& actual) {
    PictureDifference d;
    d.Marked = actual;
    const std::size_t pixels = actual.Rgb.size() / 3;
    for (std::size_t i = 0; i < pixels; ++i) {
        std::uint8_t* m = &d.Marked.Rgb[3 * i];
        if (std::memcmp(&expected.Rgb[3 * i], &actual.Rgb[3 * i], 3) != 0) {
            ++d.Pixels;
            m[0] = 255;
            m[1] = 0;
            m[2] = 0;
        } else {
            for (int c = 0; c < 3; ++c) m[c] = static_cast<std::uint8_t>(m[c] / 3);
        }
    }
    return d;
}

} // namespace velmar::cli
