#include "components/vt_system_sound.hpp"

#include <QApplication>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <map>

namespace components {

namespace {

constexpr std::array<std::string_view, 14> kNames = {"Basso", "Blow",   "Bottle",    "Frog", "Funk",
                                                     "Glass", "Hero",   "Morse",     "Ping", "Pop",
                                                     "Purr",  "Sosumi", "Submarine", "Tink"};

// One effect per sound, parented to the application: a temporary effect would be destroyed while
// it is still playing.
std::map<VtSystemSound::Case, QPointer<QSoundEffect>>& effectCache() {
    static std::map<VtSystemSound::Case, QPointer<QSoundEffect>> cache;
    return cache;
}

} // namespace

VtSound::VtSound(QSoundEffect* effect) : m_effect(effect) {}

void VtSound::play() const {
    if (!m_effect.isNull()) {
        m_effect->play();
    }
}

std::optional<VtSystemSound> VtSystemSound::fromRawValue(std::string_view rawValue) noexcept {
    const auto found = std::find(kNames.begin(), kNames.end(), rawValue);
    if (found == kNames.end()) {
        return std::nullopt;
    }
    return VtSystemSound(static_cast<Case>(found - kNames.begin()));
}

const std::array<VtSystemSound, 14>& VtSystemSound::allCases() noexcept {
    static constexpr std::array<VtSystemSound, 14> kAll = {basso, blow,   bottle,    frog, funk,
                                                           glass, hero,   morse,     ping, pop,
                                                           purr,  sosumi, submarine, tink};
    return kAll;
}

void VtSystemSound::beep() {
    QApplication::beep();
}

std::string_view VtSystemSound::rawValue() const noexcept {
    return kNames.at(m_case);
}

VtSound VtSystemSound::toSound() const {
    auto& cached = effectCache()[m_case];
    if (cached.isNull()) {
        const std::string_view name = rawValue();
        const QString relative =
            QStringLiteral("sounds/%1.wav")
                .arg(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        // A missing file is looked for again next time, so a sound installed later is found.
        const QString path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative);
        if (path.isEmpty() || QCoreApplication::instance() == nullptr) {
            return VtSound();
        }
        cached = new QSoundEffect(QCoreApplication::instance());
        cached->setSource(QUrl::fromLocalFile(path));
    }
    return VtSound(cached.data());
}

void VtSystemSound::play() const {
    toSound().play();
}

} // namespace components
