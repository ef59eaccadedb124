#include "uikit/drop_info.hpp"

#include "canned_http_server.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <string>

namespace {

using uikit::DropInfo;
using uikit::Image;

// A dated record as another application might drop it.
struct Milestone {
    std::string name;
    core::Date due;

    static Milestone decode(const core::Json& json, core::JsonDecoder& decoder) {
        return {decoder.decode<std::string>(json, "name"), decoder.decode<core::Date>(json, "due")};
    }
};

QImage filled(QColor color) {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

class DropInfoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QUrl writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }
    QUrl writePng(const QString& name, QColor color) {
        return writeFile(name, *uikit::pngData(filled(color)));
    }

    // Runs `load` with standard output captured; returns what was logged.
    template <class F>
    static std::string logged(F&& load) {
        ::testing::internal::CaptureStdout();
        load();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    static std::optional<Image> imageOf(const DropInfo& drop) {
        std::optional<std::optional<Image>> result;
        drop.loadImage([&](std::optional<Image> image) { result = std::move(image); });
        EXPECT_TRUE(result) << "a drop without web URLs answers at once";
        return result ? *result : std::nullopt;
    }

    QTemporaryDir m_folder;
};

TEST_F(DropInfoTest, ADropWithoutUrlsGivesNoUrlAndLogsNothing) {
    QMimeData data;
    data.setText("just words");
    const DropInfo drop(data);
    const std::string log = logged([&] {
        EXPECT_FALSE(drop.loadUrl());
        EXPECT_FALSE(drop.loadFileUrl());
        EXPECT_FALSE(drop.loadImageUrl());
        EXPECT_FALSE(imageOf(drop));
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(drop.loadString(), QString("just words"));
    EXPECT_FALSE(DropInfo(QMimeData()).loadString());
}

TEST_F(DropInfoTest, UrlsComeFromTheFirstItemOfTheirKind) {
    QMimeData data;
    const QUrl web("https://example.com/page.html");
    const QUrl file = writeFile("notes.txt", "words");
    data.setUrls({web, file});
    const DropInfo drop(data);
    EXPECT_EQ(drop.loadUrl(), web);
    EXPECT_EQ(drop.loadFileUrl(), file);
    // A web page is no image URL unless an image comes with it.
    EXPECT_FALSE(drop.loadImageUrl());
    data.setData("image/png", *uikit::pngData(filled(Qt::red)));
    EXPECT_EQ(DropInfo(data).loadImageUrl(), web);

    QMimeData local;
    const QUrl png = writePng("photo.png", Qt::red);
    local.setUrls({png});
    EXPECT_EQ(DropInfo(local).loadImageUrl(), png);
}

TEST_F(DropInfoTest, AnUnreadableOrEmptyItemIsALoggedFailure) {
    QMimeData data;
    data.setData("text/uri-list", "http://[::1\r\n");
    const DropInfo drop(data);
    const std::string log = logged([&] { EXPECT_FALSE(drop.loadUrl()); });
    EXPECT_NE(log.find("Failed to fetch url from drop info"), std::string::npos) << log;
    EXPECT_NE(log.find("loadUrl()"), std::string::npos) << log;

    QMimeData emptyFile;
    emptyFile.setUrls({QUrl("file:")});
    const std::string fileLog = logged([&] { EXPECT_FALSE(DropInfo(emptyFile).loadFileUrl()); });
    EXPECT_NE(fileLog.find("Failed to fetch file url from drop info"), std::string::npos)
        << fileLog;

    // An empty image item is logged and skipped; the next image item still counts.
    QMimeData images;
    images.setData("image/png", QByteArray());
    images.setData("image/bmp", [] {
        QByteArray bmp;
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        filled(Qt::blue).save(&buffer, "BMP");
        return bmp;
    }());
    std::optional<Image> image;
    const std::string imageLog = logged([&] { image = imageOf(DropInfo(images)); });
    EXPECT_NE(imageLog.find("Failed to fetch image from drop info"), std::string::npos) << imageLog;
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap.pixelColor(0, 0), QColor(Qt::blue));
}

TEST_F(DropInfoTest, ImagesComeFromFilesThenImageItemsThenTheFirstUrl) {
    QMimeData twoFiles;
    twoFiles.setUrls({writeFile("a.txt", "text"), writePng("b.png", Qt::green)});
    twoFiles.setData("image/png", *uikit::pngData(filled(Qt::red)));
    auto image = imageOf(DropInfo(twoFiles));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap.pixelColor(0, 0), QColor(Qt::green));

    QMimeData textAndImage;
    textAndImage.setUrls({writeFile("c.txt", "text")});
    textAndImage.setImageData(filled(Qt::red));
    image = imageOf(DropInfo(textAndImage));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap.pixelColor(0, 0), QColor(Qt::red));

    // A file that claims to be an image but is not falls through to nothing.
    QMimeData fake;
    fake.setUrls({writeFile("fake.png", "not a png")});
    EXPECT_FALSE(imageOf(DropInfo(fake)));
}

TEST_F(DropInfoTest, AWebUrlIsFetchedLastAndOnlyA200Counts) {
    uikit::testing::CannedServer ok(
        uikit::testing::httpResponse(200, *uikit::pngData(filled(Qt::yellow))));
    uikit::testing::CannedServer missing(uikit::testing::httpResponse(404, "gone"));
    for (const bool found : {true, false}) {
        QMimeData data;
        data.setUrls({found ? ok.url() : missing.url()});
        const DropInfo drop(data);
        std::optional<std::optional<Image>> result;
        drop.loadImage([&](std::optional<Image> image) { result = std::move(image); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        ASSERT_EQ(result->has_value(), found);
        if (found) {
            EXPECT_EQ((*result)->bitmap.pixelColor(0, 0), QColor(Qt::yellow));
        }
    }
}

TEST_F(DropInfoTest, ObjectsDecodeFromTheirTypeWithIsoDates) {
    QMimeData data;
    data.setData("application/x-milestone", R"({"name":"Launch","due":"2024-03-04T17:00:00Z"})");
    data.setData("application/x-broken", R"({"name":"Launch","due":)");
    data.setData("application/x-empty", "");
    const DropInfo drop(data);
    const auto milestone = drop.loadObject<Milestone>("application/x-milestone");
    ASSERT_TRUE(milestone);
    EXPECT_EQ(milestone->name, "Launch");
    EXPECT_EQ(milestone->due.timeIntervalSince1970(), 1709571600.0);
    const std::string log = logged([&] {
        EXPECT_FALSE(drop.loadObject<Milestone>("application/x-broken"));
        EXPECT_FALSE(drop.loadObject<Milestone>("application/x-empty"));
        EXPECT_FALSE(drop.loadObject<Milestone>("application/x-absent"));
    });
    EXPECT_EQ(log, "");
}

} // namespace
