#include "components/vt_system_sound.hpp"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unordered_set>

namespace {

using components::VtSystemSound;

TEST(SystemSound, EveryNameRoundTripsInOrderAndOnlyInItsOwnLetterCase) {
    const auto& all = VtSystemSound::allCases();
    ASSERT_EQ(all.size(), 14U);
    EXPECT_EQ(all.front(), VtSystemSound::basso);
    EXPECT_EQ(all.back(), VtSystemSound::tink);
    std::unordered_set<VtSystemSound> seen;
    for (const VtSystemSound sound : all) {
        EXPECT_EQ(VtSystemSound::fromRawValue(sound.rawValue()), sound) << sound.rawValue();
        std::string lower(sound.rawValue());
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
        EXPECT_FALSE(VtSystemSound::fromRawValue(lower)) << lower;
        seen.insert(sound);
    }
    EXPECT_EQ(seen.size(), 14U);
    EXPECT_EQ(VtSystemSound::fromRawValue("Sosumi"), VtSystemSound::sosumi);
    EXPECT_FALSE(VtSystemSound::fromRawValue("SOSUMI"));
    EXPECT_FALSE(VtSystemSound::fromRawValue(""));
    EXPECT_EQ(VtSystemSound(VtSystemSound::submarine).rawValue(), "Submarine");
}

// Points the data folders at `folder` for the life of the object.
class DataFolders {
public:
    explicit DataFolders(const QString& folder)
        : m_home(qgetenv("XDG_DATA_HOME")), m_dirs(qgetenv("XDG_DATA_DIRS")) {
        qputenv("XDG_DATA_HOME", folder.toUtf8());
        qputenv("XDG_DATA_DIRS", folder.toUtf8());
    }
    ~DataFolders() {
        qputenv("XDG_DATA_HOME", m_home);
        qputenv("XDG_DATA_DIRS", m_dirs);
    }
    DataFolders(const DataFolders&) = delete;
    DataFolders& operator=(const DataFolders&) = delete;

private:
    QByteArray m_home;
    QByteArray m_dirs;
};

TEST(SystemSound, AMissingSoundIsAnEmptyHandleThatPlaysNothing) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    DataFolders folders(empty.path());
    const components::VtSound sound = VtSystemSound(VtSystemSound::basso).toSound();
    EXPECT_TRUE(sound.isEmpty());
    sound.play();
    VtSystemSound(VtSystemSound::basso).play();
    components::VtSound().play();
}

QByteArray silentWave() {
    // A 16-bit mono PCM file holding 100 silent samples.
    const auto le32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    };
    const auto le16 = [](quint16 value) {
        QByteArray bytes(2, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    };
    const QByteArray samples(200, '\0');
    return "RIFF" + le32(36 + 200) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
           le32(16000) + le16(2) + le16(16) + "data" + le32(200) + samples;
}

TEST(SystemSound, ASoundFileInTheDataFoldersIsFound) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ASSERT_TRUE(QDir(data.path()).mkpath("sounds"));
    QFile file(data.filePath("sounds/Ping.wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(silentWave());
    file.close();
    DataFolders folders(data.path());
    EXPECT_FALSE(VtSystemSound(VtSystemSound::ping).toSound().isEmpty());
    EXPECT_TRUE(VtSystemSound(VtSystemSound::pop).toSound().isEmpty());
}

} // namespace
