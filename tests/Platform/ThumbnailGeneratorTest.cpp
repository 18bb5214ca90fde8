#include "Platform/Images/ThumbnailGenerator.h"

#include "ImageFixtures.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class ThumbnailGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    fs::path root() const { return m_root.path().toStdString(); }

    fs::path write(const std::string& name, const std::string& bytes)
    {
        const fs::path path = root() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // An A4 page, black above its middle and white below.
    fs::path writePdf(const std::string& name)
    {
        const fs::path path = root() / name;
        QPdfWriter writer(QString::fromStdString(path.string()));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins({});
        QPainter painter(&writer);
        painter.fillRect(QRect(0, 0, writer.width(), writer.height() / 2), Qt::black);
        painter.end();
        return path;
    }

    QTemporaryDir m_root;
    FileThumbnailGenerator m_generator;
};

TEST_F(ThumbnailGeneratorTest, ReducesAnImageToFitWhateverItsName)
{
    const auto file = write("holiday.dat", fixtures::encoded(fixtures::quadrants(400, 200), "PNG"));
    const auto thumbnail = m_generator.thumbnail(file, 112);
    ASSERT_TRUE(thumbnail) << thumbnail.error();
    EXPECT_EQ(thumbnail->size(), QSize(112, 56));
    EXPECT_EQ(thumbnail->pixelColor(5, 5), fixtures::topLeft);
    EXPECT_EQ(thumbnail->pixelColor(106, 50), fixtures::bottomRight);
}

TEST_F(ThumbnailGeneratorTest, DrawsThePdfsFirstPageOnWhite)
{
    const auto file = writePdf("Report.bin");
    const auto thumbnail = m_generator.thumbnail(file, 112);
    ASSERT_TRUE(thumbnail) << thumbnail.error();
    EXPECT_EQ(thumbnail->height(), 112);
    EXPECT_EQ(thumbnail->width(), 79) << "A4 keeps its proportions";
    EXPECT_LT(qGray(thumbnail->pixel(40, 20)), 40) << "the upper half is black";
    EXPECT_GT(qGray(thumbnail->pixel(40, 100)), 215) << "the lower half is white, not transparent";
}

TEST_F(ThumbnailGeneratorTest, HasNothingForOtherContent)
{
    const fs::path pipe = root() / "pipe.png";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(root() / "folder.pdf");
    struct Row {
        fs::path file;
        const char* why;
    } rows[] = {
        {write("notes.png", "just some text"), "a name is no content"},
        {write("broken.pdf", "%PDF-1.7 and then nothing"), "a PDF that does not parse"},
        {pipe, "a FIFO is never opened to wait on"},
        {root() / "folder.pdf", "a folder"},
        {root() / "missing.png", "nothing there"},
    };
    for (const auto& row : rows)
        EXPECT_FALSE(m_generator.thumbnail(row.file, 112)) << row.why;
}

} // namespace
