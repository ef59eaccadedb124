#pragma once

#include "core/error.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace document {

/// Largest image file, in bytes, that the document reader or writer will decode.
inline constexpr std::size_t kMaxImageFileBytes = std::size_t{64} * 1024 * 1024;
/// Largest number of pixels a decoded image may have.
inline constexpr std::uint64_t kMaxImagePixels = 100'000'000;
/// Largest width or height, in pixels, of a decoded image.
inline constexpr std::uint32_t kMaxImageSide = 32'768;
/// JPEG quality (0 to 100) used whenever a PNG is converted to JPEG.
inline constexpr int kJpegQuality = 90;

/// Failure of decoding or encoding an image; `Code` names the reason.
class ImageCodecError : public core::Error {
public:
    enum class Code { tooLarge = 1, invalidImage, encodingFailed };
    /// An error of the given case with a human-readable reason.
    ImageCodecError(Code code, std::string message);
    /// The error's case.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

/// Bytes of an image held in memory.
using ImageBytes = std::vector<std::uint8_t>;

/// Decodes a PNG, composes any transparency onto white and encodes it as a baseline JPEG at
/// `quality`; throws `ImageCodecError` for a non-PNG, corrupt or oversized image.
ImageBytes convertPngToJpeg(std::span<const std::uint8_t> png, int quality = kJpegQuality);

/// Encodes `width` x `height` pixels of packed 8-bit RGB as a JPEG at `quality`; throws
/// `ImageCodecError` when the size is outside the limits or the pixel buffer is too short.
ImageBytes encodeJpeg(std::span<const std::uint8_t> rgb, std::uint32_t width, std::uint32_t height,
                      int quality = kJpegQuality);

/// Encodes `width` x `height` pixels of packed 8-bit RGBA as a PNG; throws `ImageCodecError`
/// when the size is outside the limits or the pixel buffer is too short.
ImageBytes encodePng(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t height);

/// True when the bytes begin with the JPEG start-of-image marker (FF D8 FF).
bool looksLikeJpeg(std::span<const std::uint8_t> bytes) noexcept;

} // namespace document
