#include "VudeServices/QuickAppsService.h"

#include "Platform/Desktop/FakeApplicationCatalog.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

// An icon theme of our own, searched before any other and put back after.
class FixtureIconTheme {
public:
    FixtureIconTheme()
        : m_root(m_scratch.path().toStdString())
        , m_previousPaths(QIcon::themeSearchPaths())
        , m_previousName(QIcon::themeName())
    {
        const fs::path theme = m_root / "fixture";
        fs::create_directories(theme / "48x48" / "apps");
        std::ofstream(theme / "index.theme") << "[Icon Theme]\nName=Fixture\nDirectories=48x48/apps\n\n"
                                                "[48x48/apps]\nSize=48\nType=Fixed\n";
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(QString::fromStdString((theme / "48x48" / "apps" / "org.example.Themed.png").string()));
        image.fill(Qt::blue);
        image.save(QString::fromStdString((m_root / "loose.png").string()));
        std::ofstream(m_root / "broken.png") << "not an image";

        QIcon::setThemeSearchPaths({QString::fromStdString(m_root.string())});
        QIcon::setThemeName("fixture");
    }
    ~FixtureIconTheme()
    {
        QIcon::setThemeSearchPaths(m_previousPaths);
        QIcon::setThemeName(m_previousName);
    }

    const fs::path& root() const { return m_root; }

private:
    QTemporaryDir m_scratch;
    fs::path m_root;
    QStringList m_previousPaths;
    QString m_previousName;
};

QRgb centre(const QIcon& icon)
{
    return icon.pixmap(QSize(48, 48)).toImage().pixel(24, 24);
}

TEST(QuickAppsIconTest, IconsComeFromTheThemeOrTheEntrysFile)
{
    const FixtureIconTheme theme;
    QTemporaryDir support;
    FakeApplicationCatalog catalog;
    const auto add = [&catalog](const std::string& id, std::optional<ApplicationIcon> icon) {
        const fs::path entry = "/apps/" + id + ".desktop";
        catalog.locations[id] = entry;
        if (icon)
            catalog.icons[entry] = *icon;
        return QuickApp{Uuid::random(), id, id, std::nullopt};
    };
    const auto themed = add("themed", ApplicationIcon{{"no-such-name", "org.example.Themed"}, {}});
    const auto loose = add("loose", ApplicationIcon{{"no-such-name"}, theme.root() / "loose.png"});
    const auto broken = add("broken", ApplicationIcon{{"no-such-name"}, theme.root() / "broken.png"});
    const auto plain = add("plain", std::nullopt);
    const QuickApp missing{Uuid::random(), "missing", "missing", std::nullopt};

    QuickAppsService service("Vude", catalog, QuickAppsService::Options{support.path().toStdString()});
    const auto themedIcon = service.icon(themed);
    ASSERT_TRUE(themedIcon);
    EXPECT_EQ(centre(*themedIcon), qRgb(255, 0, 0)) << "the first name the theme has";
    const auto looseIcon = service.icon(loose);
    ASSERT_TRUE(looseIcon);
    EXPECT_EQ(centre(*looseIcon), qRgb(0, 0, 255)) << "the file when the theme has none";

    EXPECT_EQ(service.icon(broken), std::nullopt) << "a file that is no image gives none";
    EXPECT_EQ(service.icon(plain), std::nullopt) << "an entry without an icon";
    EXPECT_EQ(service.icon(missing), std::nullopt) << "an application that cannot be resolved";
}

} // namespace
