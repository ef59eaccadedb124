#include "document/image_codec.hpp"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <vector>

namespace {

using document::ImageBytes;
using document::ImageCodecError;

ImageBytes pngOf(std::uint32_t width, std::uint32_t height, std::uint8_t alpha) {
    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = 200;
        rgba[i + 1] = 20;
        rgba[i + 2] = 20;
        rgba[i + 3] = alpha;
    }
    return document::encodePng(rgba, width, height);
}

// Rewrites the header's size fields and their checksum: a tiny file that claims a huge image.
ImageBytes withClaimedSize(ImageBytes png, std::uint32_t width, std::uint32_t height) {
    const auto put = [&](std::size_t at, std::uint32_t value) {
        png[at] = static_cast<std::uint8_t>(value >> 24);
        png[at + 1] = static_cast<std::uint8_t>(value >> 16);
        png[at + 2] = static_cast<std::uint8_t>(value >> 8);
        png[at + 3] = static_cast<std::uint8_t>(value);
    };
    put(16, width);
    put(20, height);
    const auto crc = crc32(0, png.data() + 12, 17);
    put(29, static_cast<std::uint32_t>(crc));
    return png;
}

ImageCodecError::Code failure(const ImageBytes& png) {
    try {
        document::convertPngToJpeg(png);
    } catch (const ImageCodecError& error) {
        return error.code();
    }
    ADD_FAILURE() << "converted";
    return ImageCodecError::Code::encodingFailed;
}

TEST(ImageCodec, PngBecomesJpegWithTransparencyOnWhite) {
    const ImageBytes jpeg = document::convertPngToJpeg(pngOf(16, 8, 0));
    ASSERT_TRUE(document::looksLikeJpeg(jpeg));

    tjhandle handle = tjInitDecompress();
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    ASSERT_EQ(tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                                  &colorspace),
              0);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 8);
    std::vector<std::uint8_t> rgb(16 * 8 * 3);
    ASSERT_EQ(tjDecompress2(handle, jpeg.data(), jpeg.size(), rgb.data(), 16, 0, 8, TJPF_RGB, 0),
              0);
    tjDestroy(handle);
    // Fully transparent red composes to white.
    EXPECT_GT(rgb[0], 240);
    EXPECT_GT(rgb[1], 240);
    EXPECT_GT(rgb[2], 240);

    // An opaque image keeps its colour.
    const ImageBytes opaque = document::convertPngToJpeg(pngOf(16, 8, 255));
    handle = tjInitDecompress();
    ASSERT_EQ(
        tjDecompress2(handle, opaque.data(), opaque.size(), rgb.data(), 16, 0, 8, TJPF_RGB, 0), 0);
    tjDestroy(handle);
    EXPECT_GT(rgb[0], 170);
    EXPECT_LT(rgb[1], 60);
}

TEST(ImageCodec, HostileImagesAreRefusedBeforeAllocating) {
    using Code = ImageCodecError::Code;
    const ImageBytes png = pngOf(2, 2, 255);
    EXPECT_EQ(failure({}), Code::invalidImage);
    EXPECT_EQ(failure({0xFF, 0xD8, 0xFF, 0xE0}), Code::invalidImage);
    EXPECT_EQ(failure(ImageBytes(png.begin(), png.begin() + 40)), Code::invalidImage);
    ImageBytes corrupt = png;
    corrupt[corrupt.size() - 20] ^= 0xFF;
    EXPECT_EQ(failure(corrupt), Code::invalidImage);
    EXPECT_EQ(failure(withClaimedSize(png, 40'000, 1)), Code::tooLarge);
    EXPECT_EQ(failure(withClaimedSize(png, 20'000, 6'000)), Code::tooLarge);
    // Within the limits but with no data behind the header: a clear error, not a crash.
    EXPECT_EQ(failure(withClaimedSize(png, 3'000, 3'000)), Code::invalidImage);
    EXPECT_EQ(failure(ImageBytes(document::kMaxImageFileBytes + 1, 0)), Code::tooLarge);
}

TEST(ImageCodec, EncodersCheckTheirArguments) {
    using Code = ImageCodecError::Code;
    const std::vector<std::uint8_t> rgb(12, 128);
    EXPECT_TRUE(document::looksLikeJpeg(document::encodeJpeg(rgb, 2, 2)));
    EXPECT_THROW(document::encodeJpeg(rgb, 3, 2), ImageCodecError);
    EXPECT_THROW(document::encodeJpeg(rgb, 2, 2, 0), ImageCodecError);
    EXPECT_THROW(document::encodeJpeg(rgb, 0, 2), ImageCodecError);
    EXPECT_THROW(document::encodePng(rgb, 2, 2), ImageCodecError);
    try {
        document::encodeJpeg(rgb, 40'000, 1);
    } catch (const ImageCodecError& error) {
        EXPECT_EQ(error.code(), Code::tooLarge);
    }
    EXPECT_FALSE(document::looksLikeJpeg(std::vector<std::uint8_t>{0xFF, 0xD8}));
}

} // namespace
