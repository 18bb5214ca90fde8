#include "Platform/Audio/PulseAudioBackend.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace std::chrono_literals;

TEST(PulseAudioBackend, EveryWholePercentReadsBackAsItself)
{
    // Truncating would store 30 % as 19660 and read back 29.998 %.
    for (int percent = 0; percent <= 100; ++percent) {
        SCOPED_TRACE(percent);
        const double written = percent / 100.0;
        const double read = PulseAudioBackend::volumeFromRaw(PulseAudioBackend::rawFromVolume(written));
        EXPECT_NEAR(read, written, 0.5 / PulseAudioBackend::normalVolume);
    }
    EXPECT_EQ(PulseAudioBackend::rawFromVolume(0.3), 19661u);
}

TEST(PulseAudioBackend, VolumesOutsideTheUnitRangeAreClamped)
{
    struct Row {
        double volume;
        std::uint32_t raw;
    };
    const Row written[] = {
        {-0.1, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {1.0, PulseAudioBackend::normalVolume},
        {1.3, PulseAudioBackend::normalVolume},
        {std::numeric_limits<double>::infinity(), PulseAudioBackend::normalVolume},
    };
    for (const auto& row : written)
        EXPECT_EQ(PulseAudioBackend::rawFromVolume(row.volume), row.raw) << row.volume;

    EXPECT_EQ(PulseAudioBackend::volumeFromRaw(PulseAudioBackend::normalVolume * 3 / 2), 1.0) << "150 % reads as full";
    EXPECT_EQ(PulseAudioBackend::volumeFromRaw(0), 0.0);
}

TEST(PulseAudioBackend, ReconnectPausesDoubleUpToTenSeconds)
{
    struct Row {
        int failures;
        Duration delay;
    };
    const Row rows[] = {
        {0, 500ms}, {1, 500ms}, {2, 1s}, {3, 2s}, {4, 4s}, {5, 8s}, {6, 10s}, {7, 10s}, {1000000, 10s},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PulseAudioBackend::reconnectDelay(row.failures), row.delay) << row.failures << " failures";
}

// A program without the audio module behaves as with no sound server, never
// tries one, and says why once however many backends it makes.
TEST(PulseAudioBackend, WithoutItsModuleTheBackendIsUnavailableAndSaysWhyOnce)
{
    QProcess child;
    child.start(QStringLiteral(VUDE_AUDIO_WITHOUT_MODULE), {});
    ASSERT_TRUE(child.waitForFinished(-1));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(child.readAllStandardOutput().toStdString(), "available 0\n"
                                                          "attempts 0\n"
                                                          "default output none\n"
                                                          "device none\n"
                                                          "outputs 0\n"
                                                          "volume set answered 1 applied 0\n"
                                                          "default set 0\n"
                                                          "pending 0 events 0\n");
    const std::string errors = child.readAllStandardError().toStdString();
    const std::string said = "vude: sound control is off: the module ";
    const auto first = errors.find(said);
    ASSERT_NE(first, std::string::npos) << errors;
    const std::string line = errors.substr(first, errors.find('\n', first) - first);
    EXPECT_TRUE(line.ends_with("/lib/vude/modules/vude-audio.so is missing; reinstall Vude")) << line;
    EXPECT_EQ(errors.find(said, first + 1), std::string::npos) << "said more than once: " << errors;
}

} // namespace
