#include "uikit/image.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

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

} // namespace
