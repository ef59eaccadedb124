#include "uikit/file_preview.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

using uikit::FilePreview;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

class FilePreviewTest : public testing::Test {
protected:
    QString path(const QString& name) const { return m_folder.filePath(name); }

private:
    QTemporaryDir m_folder;
};

TEST_F(FilePreviewTest, CsvIsATableOfItsRecords) {
    writeFile(path("report.csv"),
              "Name,,\"W1\"\n,\"1,5\",\"two\nlines\"\nZoë,\"say \"\"hi\"\"\"\n");
    const FilePreview preview(path("report.csv"));
    ASSERT_EQ(preview.kind(), FilePreview::Kind::table);
    const QAbstractItemModel& model = *preview.tableModel();
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(cell(model, 0, 2), QStringLiteral("W1"));
    EXPECT_EQ(cell(model, 1, 1), QStringLiteral("1,5"));
    EXPECT_EQ(cell(model, 1, 2), QStringLiteral("two\nlines"));
    EXPECT_EQ(cell(model, 2, 0), QStringLiteral("Zoë"));
    EXPECT_EQ(cell(model, 2, 1), QStringLiteral("say \"hi\""));
    // A short record leaves the missing cells empty.
    EXPECT_EQ(cell(model, 2, 2), QString());
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST_F(FilePreviewTest, EmptyCsvIsAnEmptyTableAndBrokenCsvIsShownAsText) {
    writeFile(path("empty.csv"), "");
    const FilePreview empty(path("empty.csv"));
    EXPECT_EQ(empty.kind(), FilePreview::Kind::table);
    EXPECT_EQ(empty.tableModel()->rowCount(), 0);

    writeFile(path("broken.csv"), "a,\"never closed\n");
    const FilePreview broken(path("broken.csv"));
    EXPECT_EQ(broken.kind(), FilePreview::Kind::text);
    EXPECT_EQ(broken.shownText(), QStringLiteral("a,\"never closed\n"));
}

TEST_F(FilePreviewTest, SettingTheSamePathAgainReadsTheNewContents) {
    writeFile(path("same.csv"), "a,b\n");
    FilePreview preview(path("same.csv"));
    ASSERT_EQ(preview.tableModel()->rowCount(), 1);
    writeFile(path("same.csv"), "a,b\nc,d\ne,f\n");
    preview.setFile(path("same.csv"));
    EXPECT_EQ(preview.tableModel()->rowCount(), 3);
    EXPECT_EQ(cell(*preview.tableModel(), 2, 1), QStringLiteral("f"));
}

TEST_F(FilePreviewTest, TextImagesAndOtherFiles) {
    writeFile(path("notes.txt"), "plain <b>text</b>\n");
    FilePreview preview(path("notes.txt"), QStringLiteral("My notes"));
    EXPECT_EQ(preview.kind(), FilePreview::Kind::text);
    EXPECT_EQ(preview.shownText(), QStringLiteral("plain <b>text</b>\n"));

    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path("picture.png")));
    preview.setFile(path("picture.png"));
    EXPECT_EQ(preview.kind(), FilePreview::Kind::image);

    writeFile(path("data.bin"), QByteArray("\x00\x01\x02\xff\xfe", 5));
    preview.setFile(path("data.bin"));
    EXPECT_EQ(preview.kind(), FilePreview::Kind::summary);
    EXPECT_TRUE(preview.shownText().startsWith(QStringLiteral("My notes\n")));

    preview.setFile(path("missing.txt"));
    EXPECT_EQ(preview.kind(), FilePreview::Kind::summary);
    preview.setFile(QDir::tempPath());
    EXPECT_EQ(preview.kind(), FilePreview::Kind::summary);
    // Reading a pipe nobody writes would block the window for good: it is only named.
    ASSERT_EQ(::mkfifo(path("pipe.csv").toLocal8Bit().constData(), 0600), 0);
    preview.setFile(path("pipe.csv"));
    EXPECT_EQ(preview.kind(), FilePreview::Kind::summary);
}

TEST_F(FilePreviewTest, ALongCsvIsReadOnlyUpToTheCapWithoutItsCutRecord) {
    const QByteArray line = "member,\"1,5\",2,3,4,5,6,7,8,9\n";
    QByteArray bytes;
    while (bytes.size() <= FilePreview::kMaxBytes) {
        bytes += line;
    }
    writeFile(path("long.csv"), bytes);
    const FilePreview preview(path("long.csv"));
    ASSERT_EQ(preview.kind(), FilePreview::Kind::table);
    EXPECT_TRUE(preview.isTruncated());
    EXPECT_EQ(preview.tableModel()->rowCount(), FilePreview::kMaxBytes / line.size());
    EXPECT_EQ(cell(*preview.tableModel(), preview.tableModel()->rowCount() - 1, 9),
              QStringLiteral("9"));
}

TEST_F(FilePreviewTest, EachConstructionPrintsTheFileUrl) {
    writeFile(path("printed.csv"), "x\n");
    testing::internal::CaptureStdout();
    {
        const FilePreview first(path("printed.csv"));
        const FilePreview second(path("printed.csv"));
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    const std::string line = "file://" + path("printed.csv").toStdString() + "\n";
    EXPECT_EQ(printed, line + line);
}

} // namespace
