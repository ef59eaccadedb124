#pragma once

#include <QPointer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class QSoundEffect;

namespace components {

/// A playable sound that may be empty: an empty handle (no sound file was found) plays nothing.
class VtSound {
public:
    /// An empty handle.
    VtSound() = default;
    /// A handle on `effect`, which stays owned by its parent; a deleted effect makes it empty.
    explicit VtSound(QSoundEffect* effect);

    /// True when no sound stands behind this handle.
    bool isEmpty() const noexcept { return m_effect.isNull(); }
    /// Starts playing from the beginning and returns at once; does nothing when empty.
    void play() const;

private:
    QPointer<QSoundEffect> m_effect;
};

/// One of the named alert sounds, played by a typed value instead of a string.
class VtSystemSound {
public:
    /// The sounds, in the order of `allCases()`.
    enum Case : std::uint8_t {
        basso,
        blow,
        bottle,
        frog,
        funk,
        glass,
        hero,
        morse,
        ping,
        pop,
        purr,
        sosumi,
        submarine,
        tink
    };

    /// The sound `value`.
    constexpr VtSystemSound(Case value) noexcept : m_case(value) {} // NOLINT(*-explicit-*)

    /// The sound whose name is exactly `rawValue` (letter case counts), or none.
    static std::optional<VtSystemSound> fromRawValue(std::string_view rawValue) noexcept;
    /// All fourteen sounds, `basso` first and `tink` last.
    static const std::array<VtSystemSound, 14>& allCases() noexcept;
    /// Plays the desktop's standard alert beep.
    static void beep();

    /// The case this value holds.
    constexpr Case value() const noexcept { return m_case; }
    /// The sound's name, such as "Sosumi".
    std::string_view rawValue() const noexcept;
    /// The sound, loaded from `sounds/<name>.wav` under the data folders when such a file exists;
    /// an empty handle otherwise. Each sound is loaded once and kept for the application's life.
    /// Call it on the GUI thread, after the application object exists.
    VtSound toSound() const;
    /// Plays the sound when its file is found, otherwise does nothing; returns at once.
    void play() const;

    /// Equal when the names are equal.
    friend constexpr bool operator==(VtSystemSound, VtSystemSound) noexcept = default;

private:
    Case m_case;
};

} // namespace components

/// Hashes a sound by its name.
template <>
struct std::hash<components::VtSystemSound> {
    std::size_t operator()(components::VtSystemSound sound) const noexcept {
        return std::hash<std::string_view>{}(sound.rawValue());
    }
};
