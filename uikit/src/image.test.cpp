#include "uikit/image.hpp"

#include "document/image_codec.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(ImageFromFile, ReadsImagesAndGivesNothingForMissingOrOtherFiles) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage written(7, 3, QImage::Format_RGB32);
    written.fill(Qt::blue);
    const QString png = folder.filePath("photo.png");
    ASSERT_TRUE(written.save(png));
    const QString text = folder.filePath("notes.png");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image at all");
    file.close();

    const auto read = uikit::imageFromFile(png);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), QSize(7, 3));
    EXPECT_EQ(read->pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_FALSE(uikit::imageFromFile(text)) << "a wrong suffix does not make an image";
    EXPECT_FALSE(uikit::imageFromFile(folder.filePath("missing.png")));
    EXPECT_FALSE(uikit::imageFromFile(folder.path())) << "a folder is no image";

    const files::VtFile vtFile(png.toStdString());
    EXPECT_EQ(uikit::loadImage(vtFile)->size(), QSize(7, 3));
    EXPECT_FALSE(uikit::imageFromFile(files::VtFile(text.toStdString())));
}

// Whether `read`, asked on a thread of its own, gave an image; nothing when it has not answered
// within a few seconds. A read stuck opening `pipe` is then let through by writers that come and
// go; the thread is detached, so even one that stays stuck cannot hold up the end of the run.
std::optional<bool> gaveImageWithin(const QString& pipe,
                                    std::function<std::optional<QImage>()> read) {
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> pending = answer->get_future();
    std::thread([answer, read = std::move(read)] {
        answer->set_value(read().has_value());
    }).detach();
    if (pending.wait_for(5s) == std::future_status::ready) {
        return pending.get();
    }
    const QByteArray name = QFile::encodeName(pipe);
    for (int attempt = 0; attempt < 50 && pending.wait_for(100ms) != std::future_status::ready;
         ++attempt) {
        const int writer = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) {
            ::close(writer);
        }
    }
    return std::nullopt;
}

TEST(ImageFromFile, APipeOrALinkToOneGivesNothingAtOnce) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pipe = folder.filePath("photo.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString link = folder.filePath("shortcut.png");
    ASSERT_TRUE(QFile::link(pipe, link));
    const files::VtFile file(pipe.toStdString());

    // Nothing (nullopt) means the call was still waiting on the pipe.
    const std::optional<bool> noImage = false;
    EXPECT_EQ(gaveImageWithin(pipe, [pipe] { return uikit::imageFromFile(pipe); }), noImage);
    EXPECT_EQ(gaveImageWithin(pipe, [link] { return uikit::imageFromFile(link); }), noImage)
        << "a link to a pipe";
    EXPECT_EQ(gaveImageWithin(pipe, [file] { return uikit::loadImage(file); }), noImage)
        << "a pipe given as a file";
}

TEST(ImageFromFile, FilesAndImagesBeyondTheDocumentReadersLimitsGiveNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::green);
    // A PNG decoder stops at the image's end, so trailing bytes (left as a hole in the file, which
    // costs no disk) change only the file's size.
    const auto padded = [&](const QString& name, qint64 size) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(small.save(path));
        QFile file(path);
        EXPECT_TRUE(file.resize(size));
        return path;
    };
    const auto limit = static_cast<qint64>(document::kMaxImageFileBytes);
    const auto atLimit = uikit::imageFromFile(padded("full.png", limit));
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->size(), QSize(4, 4));
    EXPECT_FALSE(uikit::imageFromFile(padded("oversized.png", limit + 1)));

    // A strip one pixel longer than any side the document reader allows, though small in bytes
    // and in memory.
    const QString strip = folder.filePath("strip.png");
    QImage wide(static_cast<int>(document::kMaxImageSide) + 1, 1, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(strip));
    EXPECT_FALSE(uikit::imageFromFile(strip));
    EXPECT_FALSE(uikit::loadImage(files::VtFile(strip.toStdString())));
}

} // namespace
