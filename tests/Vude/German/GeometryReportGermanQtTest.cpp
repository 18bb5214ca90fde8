#include "NotchWindowControllerRig.h"

#include "Platform/Core/ChildProcess.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale>

using namespace controllertest;

namespace {

// Numbers with a decimal comma in the C library and in Qt. The
// locale is built with localedef when the system lacks it.
class GermanNumbers {
public:
    GermanNumbers() : m_previous(std::setlocale(LC_ALL, nullptr)), m_previousQt(QLocale())
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const std::string folder = m_built.path().toStdString();
            ChildProcess::Options localedef;
            localedef.executable = "/usr/bin/localedef";
            localedef.arguments = {"-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"};
            if (auto child = ChildProcess::spawn(localedef))
                (*child)->waitForExit();
            ::setenv("LOCPATH", folder.c_str(), 1);
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    ~GermanNumbers()
    {
        std::setlocale(LC_ALL, m_previous.c_str());
        QLocale::setDefault(m_previousQt);
        ::unsetenv("LOCPATH");
    }
    bool active() const { return std::string_view(std::localeconv()->decimal_point) == ","; }

private:
    std::string m_previous;
    QLocale m_previousQt;
    QTemporaryDir m_built;
};

} // namespace

TEST(GeometryReportGerman, NumbersKeepTheirPoint)
{
    GermanNumbers german;
    ASSERT_TRUE(german.active()) << "de_DE.UTF-8 could not be built; is the locales package installed?";
    auto monitor = screen("HDMI-1", {1512, 0, 1920, 1080});
    monitor.backingScale = 1.25;
    auto laptop = screen("eDP-1", {0, 0, 1512, 982}, true, true);
    laptop.backingScale = 2;
    laptop.maximumFramesPerSecond = 120;
    Rig rig({laptop, monitor});

    const std::string laptopBlock = "display " + std::to_string(displayNumberFor("eDP-1")) +
                                    "  1512×982\n"
                                    "  notch    185.0 × 32.0 (hardware)\n"
                                    "  origin   x=663.5  centreX=756.0\n"
                                    "  menuBar  33.0   scale 2.0   120Hz";
    const std::string monitorBlock = "display " + std::to_string(displayNumberFor("HDMI-1")) +
                                     "  1920×1080\n"
                                     "  notch    184.0 × 8.0 (synthetic handler)\n"
                                     "  origin   x=2380.0  centreX=2472.0\n"
                                     "  menuBar  0.0   scale 1.25   60Hz";
    const std::string expected = displayNumberFor("eDP-1") < displayNumberFor("HDMI-1")
                                     ? laptopBlock + "\n" + monitorBlock
                                     : monitorBlock + "\n" + laptopBlock;
    EXPECT_EQ(rig.controller->geometryReport(), expected);
}
