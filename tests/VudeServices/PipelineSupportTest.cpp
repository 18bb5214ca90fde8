#include "VudeServices/PipelineSupport.h"

#include "VudeServices/ImagePipelines.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(PipelineSupportTest, AnImageIsKnownByItsExtensionAlone)
{
    struct Case {
        const char* path;
        bool image;
    };
    const Case cases[] = {
        {"/drop/IMG.JPG", true},           {"/drop/photo.jpeg", true},   {"/drop/holiday.heic", true},
        {"/drop/x.HeIf", true},            {"/drop/scan.tif", true},     {"/drop/scan.tiff", true},
        {"/drop/a.gif", true},             {"/drop/a.bmp", true},        {"/drop/a.webp", true},
        {"/drop/logo.png", true},          {"/drop/notes", false},       {"/drop/report.pdf", false},
        {"/drop/archive.ZIP", false},      {"/drop/photo.jpg.zip", false}, {"/drop/.png", false},
        {"/drop/trailing.", false},        {"/drop/folder/", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(PipelineSupport::isImage(row.path), row.image);
    }
    EXPECT_FALSE(PipelineSupport::acceptsImages({})) << "an empty list is never accepted";
    EXPECT_TRUE(PipelineSupport::acceptsImages({"/a.png", "/b.JPG"}));
    EXPECT_FALSE(PipelineSupport::acceptsImages({"/a.png", "/b.pdf"}));
}

// The character rules of a Turkish session, where "I" lowers to a dotless i
// and "i" rises to a dotted I (Qt sets the C locale from the user's). Built
// with localedef when the system lacks it; everything is put back afterwards.
class TurkishCharacterRules {
public:
    TurkishCharacterRules()
        : m_previous(std::setlocale(LC_CTYPE, nullptr))
    {
        if (std::setlocale(LC_CTYPE, "tr_TR.UTF-8"))
            return;
        if (!fs::exists("/usr/share/i18n/locales/tr_TR"))
            return;
        const std::string folder = m_built.path().toStdString();
        if (!PipelineSupport::shell("/usr/bin/localedef", {"-i", "tr_TR", "-f", "UTF-8", folder + "/tr_TR.UTF-8"}))
            return;
        if (const char* path = std::getenv("LOCPATH"))
            m_previousPath = path;
        ::setenv("LOCPATH", folder.c_str(), 1);
        std::setlocale(LC_CTYPE, "tr_TR.UTF-8");
    }
    ~TurkishCharacterRules()
    {
        std::setlocale(LC_CTYPE, m_previous.c_str());
        if (m_previousPath)
            ::setenv("LOCPATH", m_previousPath->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
    }
    bool active() const { return std::tolower('I') != 'i'; }

private:
    std::string m_previous;
    std::optional<std::string> m_previousPath;
    QTemporaryDir m_built;
};

TEST(PipelineSupportTest, ImageExtensionsAndTitlesIgnoreTheUsersLocale)
{
    const TurkishCharacterRules turkish;
    if (!turkish.active())
        GTEST_SKIP() << "no Turkish locale here";
    for (const char* path : {"/drop/IMG_1.HEIC", "/drop/SCAN.TIF", "/drop/A.GIF", "/drop/B.HIF", "/drop/C.DIB"}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(PipelineSupport::isImage(path));
    }
    EXPECT_EQ(ConvertFormatPipeline(ImageFormat::gif).title(), "To GIF");
    EXPECT_EQ(ConvertFormatPipeline(ImageFormat::heif).title(), "To HEIF");
}

TEST(PipelineSupportTest, NamesAreTakenFromTheLastComponent)
{
    EXPECT_EQ(PipelineSupport::fileName("/drop/photo.heic"), "photo.heic");
    EXPECT_EQ(PipelineSupport::stem("/drop/photo.heic"), "photo");
    EXPECT_EQ(PipelineSupport::extension("/drop/photo.JPG"), "JPG");
    EXPECT_EQ(PipelineSupport::stem("/drop/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(PipelineSupport::fileName("/drop/folder/"), "folder") << "a folder's URL may end in a slash";
    EXPECT_EQ(PipelineSupport::extension("/drop/notes"), "");
}

class UniqueURLTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path folder() const { return root.path().toStdString(); }
    void occupy(const char* name) { std::ofstream(folder() / name) << "x"; }
    std::string unique(std::string_view name, std::string_view extension) const
    {
        return PipelineSupport::uniqueURL(folder(), name, extension).lexically_relative(folder()).string();
    }
};

TEST_F(UniqueURLTest, CountsPastEveryOccupiedName)
{
    EXPECT_EQ(unique("a", "jpg"), "a.jpg");
    occupy("a.jpg");
    occupy("a-1.jpg");
    EXPECT_EQ(unique("a", "jpg"), "a-2.jpg");
    EXPECT_EQ(unique("a", "png"), "a.png") << "another extension is another name";
    EXPECT_FALSE(fs::exists(folder() / "a-2.jpg")) << "nothing is created or reserved";
}

TEST_F(UniqueURLTest, EmptyNamesAndExtensions)
{
    EXPECT_EQ(unique("", "jpg"), "file.jpg");
    occupy("file.jpg");
    EXPECT_EQ(unique("", "jpg"), "file-1.jpg");
    EXPECT_EQ(unique("README", ""), "README") << "no trailing point";
    occupy("README");
    EXPECT_EQ(unique("README", ""), "README-1");
}

TEST_F(UniqueURLTest, FoldersAndDanglingLinksOccupyTheirNames)
{
    fs::create_directory(folder() / "photos.unzipped");
    ASSERT_EQ(::symlink("/nowhere/at/all", (folder() / "b.png").c_str()), 0);
    EXPECT_EQ(unique("photos", "unzipped"), "photos-1.unzipped");
    EXPECT_EQ(unique("b", "png"), "b-1.png");
}

// A name the file system cannot even look up (too long, say) is not taken:
// it is left to the write, which then fails with that name.
TEST_F(UniqueURLTest, ANameThatCannotBeCheckedIsLeftToTheWrite)
{
    const std::string longName(300, 'a');
    EXPECT_EQ(unique(longName, "jpg"), longName + ".jpg");
    const auto written = PipelineSupport::writeNewFile(folder() / (longName + ".jpg"), "x");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), PipelineError::writeFailed(longName + ".jpg"));
}

TEST(PipelineSupportTest, WriteNewFileNeverReplacesAndLeavesNothingOnFailure)
{
    QTemporaryDir root;
    const fs::path folder = root.path().toStdString();
    ASSERT_TRUE(PipelineSupport::writeNewFile(folder / "a.jpg", "new"));
    const auto again = PipelineSupport::writeNewFile(folder / "a.jpg", "newer");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error(), PipelineError::writeFailed("a.jpg"));
    std::ifstream in(folder / "a.jpg");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");

    const auto missing = PipelineSupport::writeNewFile(folder / "missing" / "b.jpg", "x");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().errorDescription(), "Couldn't write b.jpg");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(PipelineSupportTest, ProgressIsClampedToTheUnitRange)
{
    std::vector<std::pair<double, std::string>> reports;
    const ProgressReporter progress([&reports](double fraction, const std::string& detail) {
        reports.emplace_back(fraction, detail);
    });
    progress(1.7, "over");
    progress(-0.2, "under");
    progress(std::nan(""), "nan");
    progress(0.25, "inside");
    const std::vector<std::pair<double, std::string>> expected{{1.0, "over"}, {0.0, "under"}, {0.0, "nan"}, {0.25, "inside"}};
    EXPECT_EQ(reports, expected);
}

TEST(PipelineSupportTest, ErrorsSayWhatWentWrong)
{
    struct Case {
        PipelineError error;
        const char* message;
    };
    const Case cases[] = {
        {PipelineError::readFailed("photo.heic"), "Couldn't read photo.heic"},
        {PipelineError::writeFailed("a.pdf"), "Couldn't write a.pdf"},
        {PipelineError::toolFailed("boom"), "boom"},
        {PipelineError::unsupported(), "Those files aren't supported here"},
        {PipelineError::noInput(), "Nothing to work on"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(row.error.errorDescription(), row.message);
        EXPECT_EQ(PipelineFailure(row.error).message(), row.message);
    }
    EXPECT_EQ(PipelineError::readFailed("a"), PipelineError::readFailed("a"));
    EXPECT_NE(PipelineError::readFailed("a"), PipelineError::writeFailed("a")) << "same payload, other case";
    EXPECT_NE(PipelineError::readFailed("a"), PipelineError::readFailed("b"));

    const auto other = PipelineFailure::other("The folder couldn't be created.");
    EXPECT_EQ(other.pipelineError(), nullptr);
    EXPECT_EQ(other.message(), "The folder couldn't be created.");
}

TEST(PipelineSupportTest, RunEachReportsBeforeEveryInputAndStopsAtTheFirstFailure)
{
    std::vector<std::pair<double, std::string>> reports;
    const ProgressReporter progress([&reports](double fraction, const std::string& detail) {
        reports.emplace_back(fraction, detail);
    });
    const std::vector<fs::path> inputs{"/d/a.png", "/d/b.png", "/d/c.png"};
    std::vector<fs::path> produced;
    const auto copyName = [&produced](const fs::path& input) -> Expected<fs::path, PipelineFailure> {
        produced.push_back("/out" / input.filename());
        return produced.back();
    };
    const auto result = PipelineSupport::runEach(inputs, progress, copyName);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, produced);
    const std::vector<std::pair<double, std::string>> expected{
        {0.0, "a.png"}, {1.0 / 3, "b.png"}, {2.0 / 3, "c.png"}, {1.0, "Done"}};
    EXPECT_EQ(reports, expected);

    reports.clear();
    int calls = 0;
    const auto failSecond = [&calls](const fs::path& input) -> Expected<fs::path, PipelineFailure> {
        if (++calls == 2)
            return unexpected(PipelineFailure(PipelineError::readFailed(input.filename().string())));
        return input;
    };
    const auto failed = PipelineSupport::runEach(inputs, progress, failSecond);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message(), "Couldn't read b.png");
    EXPECT_EQ(calls, 2) << "the third input is never touched";
    EXPECT_EQ(reports.back().second, "b.png") << "no Done after a failure";

    const auto empty = PipelineSupport::runEach({}, progress, copyName);
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().message(), "Nothing to work on");
}

TEST(PipelineSupportTest, ShellRunsToolsWithoutAShellAndReportsTheirFailures)
{
    struct Case {
        const char* why;
        std::vector<std::string> arguments;
        std::optional<std::string> message; // none: success
    };
    const Case cases[] = {
        {"success", {"-c", "exit 0"}, std::nullopt},
        {"standard output is not part of the message", {"-c", "echo noise; exit 0"}, std::nullopt},
        {"error text, trimmed", {"-c", "echo boom >&2; exit 1"}, "boom"},
        {"silence gives the status", {"-c", "exit 2"}, "Exited with 2"},
        {"standard output never becomes the message", {"-c", "echo not this; exit 3"}, "Exited with 3"},
        {"a signal gives its number", {"-c", "kill -9 $$"}, "Exited with 9"},
        {"invalid UTF-8 is replaced", {"-c", "printf 'bad \\377 byte' >&2; exit 1"}, "bad \xEF\xBF\xBD byte"},
        {"arguments reach the tool verbatim",
         {"-c", "printf '%s|' \"$@\" >&2; exit 1", "sh", "a b", "$HOME", "*", "; rm -rf /"},
         "a b|$HOME|*|; rm -rf /|"},
        {"no input is read from the app", {"-c", "cat; exit 4"}, "Exited with 4"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        const auto result = PipelineSupport::shell("/bin/sh", row.arguments);
        if (!row.message) {
            EXPECT_TRUE(result) << result.error().errorDescription();
            continue;
        }
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), PipelineError::toolFailed(*row.message));
    }

    const auto missing = PipelineSupport::shell("/no/such/tool", {});
    ASSERT_FALSE(missing);
    ASSERT_NE(missing.error().as<PipelineError::ToolFailed>(), nullptr);
    EXPECT_EQ(missing.error().errorDescription(), "Couldn't start tool: No such file or directory");
}

} // namespace
