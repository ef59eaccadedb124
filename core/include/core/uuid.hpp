#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace core {

/// A 128-bit universally unique identifier.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    /// The nil UUID (all zero bytes).
    constexpr Uuid() = default;
    /// A UUID with the given bytes, taken as they are.
    explicit constexpr Uuid(const Bytes& bytes) : m_bytes(bytes) {}

    /// A fresh random (version 4, RFC 4122 variant) UUID from the system's entropy source.
    static Uuid random();
    /// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in either case; absent when malformed.
    static std::optional<Uuid> parse(std::string_view text);

    /// Upper-case canonical text with hyphens.
    std::string uuidString() const;
    /// The raw bytes.
    const Bytes& bytes() const noexcept { return m_bytes; }

    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes m_bytes{};
};

/// Fills `size` bytes at `out` from the system's entropy source (getrandom).
void randomBytes(void* out, std::size_t size);

} // namespace core

template <>
struct std::hash<core::Uuid> {
    std::size_t operator()(const core::Uuid& uuid) const noexcept;
};
