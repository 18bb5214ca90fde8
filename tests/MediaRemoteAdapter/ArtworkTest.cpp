#include "Artwork.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The first bytes of a PNG are enough for the type to be recognised.
const QByteArray kPng = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489");

class ArtworkTest : public testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_folder.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName()).toString();
    }
    QTemporaryDir m_folder;
};

TEST_F(ArtworkTest, ReadsImagesFromFilesAndDataUrls)
{
    const Artwork file = Artwork::fromUrl(write("cover.png", kPng));
    EXPECT_EQ(file.mimeType, "image/png");
    EXPECT_EQ(file.base64, kPng.toBase64());

    const Artwork inlined = Artwork::fromUrl("data:image/jpeg;base64," + QString::fromLatin1(kPng.toBase64()));
    EXPECT_EQ(inlined.mimeType, "image/jpeg") << "the URL's own type counts";
    EXPECT_EQ(inlined.base64, kPng.toBase64());

    const Artwork untyped = Artwork::fromUrl("data:;base64," + QString::fromLatin1(kPng.toBase64()));
    EXPECT_EQ(untyped.mimeType, "image/png");
}

TEST_F(ArtworkTest, GivesNothingForWhatIsNotASmallLocalImage)
{
    const std::pair<const char*, QString> rows[] = {
        {"the network", "https://example.invalid/cover.png"},
        {"a missing file", QUrl::fromLocalFile(m_folder.filePath("missing.png")).toString()},
        {"text", write("notes.txt", "just some words")},
        {"an empty file", write("empty.png", {})},
        {"too large", write("huge.png", kPng + QByteArray(Artwork::kMaxBytes, '\0'))},
        {"broken Base64", "data:image/png;base64,iVBOR*w0K"},
        {"a data URL without data", "data:image/png;base64"},
        {"a folder", QUrl::fromLocalFile(m_folder.path()).toString()},
    };
    for (const auto& [why, url] : rows) {
        SCOPED_TRACE(why);
        EXPECT_TRUE(Artwork::fromUrl(url).isEmpty());
    }
}

TEST_F(ArtworkTest, ANamedPipeDoesNotBlock)
{
    const QString path = m_folder.filePath("cover.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_TRUE(Artwork::fromUrl(QUrl::fromLocalFile(path).toString()).isEmpty());
}

} // namespace
