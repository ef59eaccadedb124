#include "document/image_codec.hpp"

#include <png.h>
#include <turbojpeg.h>

#include <memory>
#include <string>

namespace document {

namespace {

constexpr std::uint8_t kWhite = 255;

void checkDimensions(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) {
        throw ImageCodecError(ImageCodecError::Code::invalidImage, "The image has no pixels");
    }
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
        throw ImageCodecError(ImageCodecError::Code::tooLarge,
                              "The image of " + std::to_string(width) + " x " +
                                  std::to_string(height) + " pixels exceeds the size limit");
    }
}

void checkQuality(int quality) {
    if (quality < 1 || quality > 100) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed,
                              "JPEG quality " + std::to_string(quality) + " is outside 1 to 100");
    }
}

struct TurboJpegDeleter {
    void operator()(void* handle) const noexcept { tjDestroy(handle); }
};

struct TurboJpegBufferDeleter {
    void operator()(unsigned char* buffer) const noexcept { tjFree(buffer); }
};

// Frees what a failed simplified read leaves behind; a finished read frees itself and makes
// this a no-op.
struct PngImageGuard {
    png_image* image;
    ~PngImageGuard() { png_image_free(image); }
};

} // namespace

ImageCodecError::ImageCodecError(Code code, std::string message)
    : core::Error("ImageCodecError", static_cast<int>(code), std::move(message)), m_code(code) {}

bool looksLikeJpeg(std::span<const std::uint8_t> bytes) noexcept {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

ImageBytes encodeJpeg(std::span<const std::uint8_t> rgb, std::uint32_t width, std::uint32_t height,
                      int quality) {
    checkDimensions(width, height);
    checkQuality(quality);
    const std::uint64_t needed = std::uint64_t{width} * height * 3;
    if (rgb.size() < needed) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed,
                              "The pixel buffer is shorter than the image");
    }
    const std::unique_ptr<void, TurboJpegDeleter> handle(tjInitCompress());
    if (!handle) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed, tjGetErrorStr());
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int status =
        tjCompress2(handle.get(), rgb.data(), static_cast<int>(width), 0, static_cast<int>(height),
                    TJPF_RGB, &out, &outSize, TJSAMP_420, quality, 0);
    const std::unique_ptr<unsigned char, TurboJpegBufferDeleter> owned(out);
    if (status != 0 || out == nullptr) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed, tjGetErrorStr2(handle.get()));
    }
    return {out, out + outSize};
}

ImageBytes convertPngToJpeg(std::span<const std::uint8_t> png, int quality) {
    if (png.size() > kMaxImageFileBytes) {
        throw ImageCodecError(ImageCodecError::Code::tooLarge, "The PNG of " +
                                                                   std::to_string(png.size()) +
                                                                   " bytes exceeds the size limit");
    }
    checkQuality(quality);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const PngImageGuard guard{&image};
    if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) {
        throw ImageCodecError(ImageCodecError::Code::invalidImage,
                              std::string("Not a readable PNG: ") + image.message);
    }
    // The header's size is checked before a single pixel buffer is allocated.
    checkDimensions(image.width, image.height);
    image.format = PNG_FORMAT_RGB;
    const std::size_t stride = std::size_t{image.width} * 3;
    std::vector<std::uint8_t> pixels(stride * image.height);
    const png_color background{kWhite, kWhite, kWhite};
    if (png_image_finish_read(&image, &background, pixels.data(), static_cast<png_int_32>(stride),
                              nullptr) == 0) {
        throw ImageCodecError(ImageCodecError::Code::invalidImage,
                              std::string("Corrupt PNG: ") + image.message);
    }
    return encodeJpeg(pixels, image.width, image.height, quality);
}

ImageBytes encodePng(std::span<const std::uint8_t> rgba, std::uint32_t width,
                     std::uint32_t height) {
    checkDimensions(width, height);
    const std::uint64_t needed = std::uint64_t{width} * height * 4;
    if (rgba.size() < needed) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed,
                              "The pixel buffer is shorter than the image");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    const PngImageGuard guard{&image};
    const auto stride = static_cast<png_int_32>(width * 4);
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), stride, nullptr) == 0) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed, image.message);
    }
    ImageBytes out(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), stride, nullptr) ==
        0) {
        throw ImageCodecError(ImageCodecError::Code::encodingFailed, image.message);
    }
    out.resize(size);
    return out;
}

} // namespace document
