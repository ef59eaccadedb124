#include "uikit/image_utilities.hpp"

#include "canned_http_server.hpp"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;
using uikit::FetchError;
using uikit::Image;
using uikit::ScaleKind;
using uikit::testing::CannedServer;
using uikit::testing::httpResponse;

QImage noisyImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, random.generate() | 0xff000000u);
        }
    }
    return image;
}

Image solid(QSizeF size, QColor color) {
    QImage bitmap(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(color);
    return Image::fromBitmap(bitmap);
}

int alphaAt(const Image& image, int x, int y) {
    return qAlpha(image.bitmap.pixel(x, y));
}

TEST(ImageUtilities, JpegQualityOutsideOneToNinetyNineIsTheEncodersDefault) {
    EXPECT_EQ(uikit::jpegWriterQuality(0), -1);
    EXPECT_EQ(uikit::jpegWriterQuality(100), -1);
    EXPECT_EQ(uikit::jpegWriterQuality(-3), -1);
    EXPECT_EQ(uikit::jpegWriterQuality(1), 1);
    EXPECT_EQ(uikit::jpegWriterQuality(99), 99);

    const QImage image = noisyImage(64, 64);
    const auto standard = uikit::jpegData(image, 0);
    ASSERT_TRUE(standard);
    EXPECT_TRUE(standard->startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(uikit::jpegData(image, 100), standard);
    EXPECT_EQ(uikit::jpegData(image, 250), standard);
    const auto low = uikit::jpegData(image, 1);
    const auto high = uikit::jpegData(image, 99);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    EXPECT_NE(low, standard);
    EXPECT_FALSE(uikit::jpegData(QImage(), 50));
}

TEST(ImageUtilities, PngDataIsAPngThatDecodesToTheSamePixels) {
    const QImage image = noisyImage(16, 9);
    const auto png = uikit::pngData(image);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32), image);
    EXPECT_FALSE(uikit::pngData(QImage()));
}

TEST(ImageUtilities, CreateCutsPointsThenScalesAndDrawsInPoints) {
    QRectF drawnIn;
    qreal painterScale = 0;
    int calls = 0;
    const auto image =
        uikit::createImage(QSizeF(10.7, 5.2), 2, [&](const QRectF& rect, QPainter& painter) {
            ++calls;
            drawnIn = rect;
            painterScale = painter.transform().m11();
            painter.fillRect(QRectF(0, 0, 5, 5), Qt::red); // top-left 10 x 10 pixels
        });
    ASSERT_TRUE(image);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(image->bitmap.size(), QSize(20, 10));
    EXPECT_EQ(image->size, QSizeF(10.7, 5.2));
    EXPECT_EQ(drawnIn, QRectF(0, 0, 10.7, 5.2));
    EXPECT_EQ(painterScale, 2);
    EXPECT_EQ(alphaAt(*image, 9, 9), 255);
    EXPECT_EQ(alphaAt(*image, 11, 9), 0);

    for (const int scale : {1, 3}) {
        uikit::createImage(QSizeF(4, 4), scale, [&](const QRectF&, QPainter& painter) {
            painterScale = painter.transform().m11();
        });
        EXPECT_EQ(painterScale, scale);
    }
}

TEST(ImageUtilities, CreateRefusesSizesItCannotAllocateBoundedlyWithoutDrawing) {
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    const qreal inf = std::numeric_limits<qreal>::infinity();
    int calls = 0;
    const auto draw = [&](const QRectF&, QPainter&) { ++calls; };
    for (const QSizeF size :
         {QSizeF(nan, 10), QSizeF(10, inf), QSizeF(1e300, 1e300), QSizeF(40'000, 1),
          QSizeF(20'000, 20'000), QSizeF(0.9, 10), QSizeF(-10, 10)}) {
        EXPECT_FALSE(uikit::createImage(size, 1, draw)) << size.width() << "x" << size.height();
    }
    EXPECT_FALSE(uikit::createImage(QSizeF(10, 10), 0, draw));
    EXPECT_FALSE(uikit::createImage(QSizeF(20'000, 1), 2, draw)); // the scale pushes it over
    EXPECT_EQ(calls, 0);
}

TEST(ImageUtilities, PlacementStretchesFitsOrFillsTheTarget) {
    const QRectF square(0, 0, 100, 100);
    const QSizeF wide(200, 100);
    EXPECT_EQ(uikit::placeImage(wide, square, ScaleKind::stretch), square);
    EXPECT_EQ(uikit::placeImage(wide, square, ScaleKind::fit), QRectF(0, 25, 100, 50));
    EXPECT_EQ(uikit::placeImage(wide, square, ScaleKind::fill), QRectF(-50, 0, 200, 100));
    // A tall image, and a target away from the origin.
    const QRectF target(10, 20, 100, 100);
    EXPECT_EQ(uikit::placeImage(QSizeF(50, 100), target, ScaleKind::fit), QRectF(35, 20, 50, 100));
    EXPECT_EQ(uikit::placeImage(QSizeF(50, 100), target, ScaleKind::fill),
              QRectF(10, -30, 100, 200));
    // The same aspect ratio lands on the target whatever the kind.
    for (const auto kind : {ScaleKind::stretch, ScaleKind::fit, ScaleKind::fill}) {
        EXPECT_EQ(uikit::placeImage(QSizeF(30, 15), QRectF(5, 5, 60, 30), kind),
                  QRectF(5, 5, 60, 30));
    }
    EXPECT_EQ(uikit::scaleKindFromRawValue(1), ScaleKind::fill);
    EXPECT_EQ(uikit::scaleKindFromRawValue(2), ScaleKind::fit);
    EXPECT_FALSE(uikit::scaleKindFromRawValue(3));
}

TEST(ImageUtilities, ResizedPutsEachInsetOnItsNamedEdge) {
    const auto result = uikit::resized(solid({10, 10}, Qt::red), QSizeF(100, 100),
                                       QMarginsF(0, 10, 0, 0), std::nullopt, 1, ScaleKind::stretch);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size, QSizeF(100, 100));
    EXPECT_EQ(alphaAt(*result, 50, 5), 0);    // the top margin
    EXPECT_EQ(alphaAt(*result, 50, 95), 255); // no margin at the bottom
    EXPECT_EQ(alphaAt(*result, 50, 99), 255);
}

TEST(ImageUtilities, ResizedCutsTheRadiusPerAxisAndClipsTheFillOverflow) {
    // A 40 x 20 rectangle with radius 50 gets corners 20 wide and 10 high: an ellipse. A single
    // radius of 10 would leave (5, 1) inside the shape.
    const auto ellipse =
        uikit::resized(solid({4, 2}, Qt::red), QSizeF(40, 20), {}, 50.0, 1, ScaleKind::stretch);
    ASSERT_TRUE(ellipse);
    EXPECT_EQ(alphaAt(*ellipse, 20, 10), 255);
    EXPECT_EQ(alphaAt(*ellipse, 1, 10), 255);
    EXPECT_EQ(alphaAt(*ellipse, 5, 1), 0);
    EXPECT_EQ(alphaAt(*ellipse, 0, 0), 0);

    // A wide image filling a square with margins spills into the side margins unless clipped.
    const QMarginsF margins(10, 10, 10, 10);
    const auto spilled = uikit::resized(solid({200, 100}, Qt::red), QSizeF(100, 100), margins,
                                        std::nullopt, 1, ScaleKind::fill);
    const auto clipped = uikit::resized(solid({200, 100}, Qt::red), QSizeF(100, 100), margins, 0.0,
                                        1, ScaleKind::fill);
    ASSERT_TRUE(spilled && clipped);
    EXPECT_EQ(alphaAt(*spilled, 5, 50), 255);
    EXPECT_EQ(alphaAt(*spilled, 50, 5), 0);
    EXPECT_EQ(alphaAt(*clipped, 5, 50), 0);
    EXPECT_EQ(alphaAt(*clipped, 50, 50), 255);
    // Insets wider than the image leave nothing to draw, and that is no failure.
    const auto empty = uikit::resized(solid({10, 10}, Qt::red), QSizeF(20, 20),
                                      QMarginsF(15, 0, 15, 0), 5.0, 2, ScaleKind::fit);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->bitmap.size(), QSize(40, 40));
    EXPECT_EQ(alphaAt(*empty, 20, 20), 0);
}

// A BMP header announcing `width` x `height` pixels with no pixel data behind it.
QByteArray bmpHeader(qint32 width, qint32 height) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54) << quint32(0) << quint32(54);
    out << quint32(40) << width << height << quint16(1) << quint16(24) << quint32(0) << quint32(0)
        << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    return bytes;
}

TEST(ImageUtilities, FilesGiveTheirImageOrBadImage) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString png = folder.filePath("photo.png");
    ASSERT_TRUE(noisyImage(6, 4).save(png));
    const QString text = folder.filePath("notes.txt");
    QFile textFile(text);
    ASSERT_TRUE(textFile.open(QIODevice::WriteOnly));
    textFile.write("not an image");
    textFile.close();
    const QString huge = folder.filePath("huge.bmp");
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly));
    hugeFile.write(bmpHeader(30'000, 30'000));
    hugeFile.close();

    const auto loaded = uikit::loadImageFile(png);
    ASSERT_TRUE(std::holds_alternative<Image>(loaded));
    EXPECT_EQ(std::get<Image>(loaded).size, QSizeF(6, 4));
    const FetchError badImage(FetchError::Code::badImage);
    for (const QString& path :
         {text, huge, folder.filePath("missing.png"), folder.path(), QString("/dev/zero")}) {
        const auto result = uikit::loadImageFile(path);
        ASSERT_TRUE(std::holds_alternative<FetchError>(result)) << path.toStdString();
        EXPECT_EQ(std::get<FetchError>(result), badImage);
    }

    // A named pipe with no writer would block an ordinary open for good; it is no image file.
    const QString pipe = folder.filePath("pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return uikit::loadImageFile(pipe); });
    const bool answered = pending.wait_for(5s) == std::future_status::ready;
    if (!answered) { // let the stuck open through so that the test can end
        ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_TRUE(answered);
    const auto fromPipe = pending.get();
    ASSERT_TRUE(std::holds_alternative<FetchError>(fromPipe));
    EXPECT_EQ(std::get<FetchError>(fromPipe), badImage);

    std::optional<uikit::ImageLoadResult> viaUrl;
    uikit::loadImage(QUrl::fromLocalFile(png), [&](uikit::ImageLoadResult r) { viaUrl = r; });
    ASSERT_TRUE(viaUrl); // a file answers before the call returns
    EXPECT_TRUE(std::holds_alternative<Image>(*viaUrl));
}

uikit::ImageLoadResult loadWithin(const QUrl& url, std::chrono::milliseconds timeout, int waitMs) {
    std::optional<uikit::ImageLoadResult> result;
    uikit::loadImage(
        url, [&](uikit::ImageLoadResult r) { result = std::move(r); }, timeout);
    EXPECT_FALSE(result); // a web answer never comes before the call returns
    QElapsedTimer clock;
    clock.start();
    while (!result && clock.elapsed() < waitMs) {
        QTest::qWait(10);
    }
    EXPECT_TRUE(result) << "no answer within " << waitMs << " ms";
    return result ? *result : uikit::ImageLoadResult(FetchError(FetchError::Code::badID));
}

TEST(ImageUtilities, AWebImageLoadsOnlyFromStatus200) {
    const QByteArray png = *uikit::pngData(noisyImage(5, 3));
    CannedServer ok(httpResponse(200, png));
    const auto loaded = loadWithin(ok.url(), 10s, 10'000);
    ASSERT_TRUE(std::holds_alternative<Image>(loaded));
    EXPECT_EQ(std::get<Image>(loaded).bitmap.size(), QSize(5, 3));

    CannedServer missing(httpResponse(404, png));
    const auto notFound = loadWithin(missing.url(), 10s, 10'000);
    ASSERT_TRUE(std::holds_alternative<FetchError>(notFound));
    EXPECT_EQ(std::get<FetchError>(notFound).code(), FetchError::Code::badID);

    // Another success status carrying the image is still no 200.
    CannedServer partial(httpResponse(203, png));
    const auto notExactly200 = loadWithin(partial.url(), 10s, 10'000);
    ASSERT_TRUE(std::holds_alternative<FetchError>(notExactly200));
    EXPECT_EQ(std::get<FetchError>(notExactly200).code(), FetchError::Code::badID);

    CannedServer garbage(httpResponse(200, "<html>no image</html>"));
    const auto notAnImage = loadWithin(garbage.url(), 10s, 10'000);
    ASSERT_TRUE(std::holds_alternative<FetchError>(notAnImage));
    EXPECT_EQ(std::get<FetchError>(notAnImage).code(), FetchError::Code::badImage);
}

TEST(ImageUtilities, ASilentOrAbsentServerFailsWithTheTransferErrorWithinTheTimeout) {
    CannedServer silent(std::nullopt);
    QElapsedTimer clock;
    clock.start();
    const auto timedOut = loadWithin(silent.url(), 200ms, 5'000);
    EXPECT_TRUE(std::holds_alternative<uikit::ImageTransferError>(timedOut));
    EXPECT_LT(clock.elapsed(), 5'000);

    QUrl closedPort;
    {
        QTcpServer probe; // a port that was free a moment ago, now closed
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = QUrl(QString("http://127.0.0.1:%1/x.png").arg(probe.serverPort()));
    }
    const auto refused = loadWithin(closedPort, 2s, 5'000);
    EXPECT_TRUE(std::holds_alternative<uikit::ImageTransferError>(refused));
}

} // namespace
