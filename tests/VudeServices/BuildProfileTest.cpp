#include "VudeServices/BuildProfile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

const Capability kAll[] = {
    Capability::universalNowPlaying, Capability::mediaSeek,     Capability::mediaShuffleRepeat,
    Capability::hudSuppression,      Capability::brightnessControl, Capability::focusIdentity,
    Capability::shortcutListing,     Capability::liveWaveform,  Capability::deviceBattery,
    Capability::idleSurface,
};

TEST(Capability, BitsAreDistinctAndCoverTheDirectSet)
{
    Capability all;
    for (std::size_t i = 0; i < std::size(kAll); ++i) {
        EXPECT_EQ(kAll[i].rawValue(), 1u << i) << "capability " << i;
        all = all | kAll[i];
    }
    EXPECT_EQ(all, BuildProfile::directCapabilities);
}

TEST(Capability, UnavailabilityMessagesAreExactAndParseBackExactly)
{
    using U = Capability::Unavailability;
    // The raw value stays the product's message; the shown one says it here.
    const struct {
        U reason;
        std::string_view message;
        std::string_view shown;
    } messages[] = {
        {U::sandboxed, "Not available in the App Store version.", "Not available in the sandboxed version."},
        {U::permissionRequired, "Needs a permission you haven't granted.", "Needs a permission you haven't granted."},
        {U::osUnsupported, "Not available on this version of macOS.", "Not available on this system."},
        {U::helperUnavailable, "The media helper isn't responding.", "The media helper isn't responding."},
    };
    for (const auto& [reason, message, shown] : messages) {
        EXPECT_EQ(rawValue(reason), message);
        EXPECT_EQ(displayName(reason), shown);
        EXPECT_EQ(enumFromRaw<U>(message), reason);
    }
    for (const auto* other : {"", "sandboxed", "The media helper isn't responding", "the media helper isn't responding."})
        EXPECT_EQ(enumFromRaw<U>(other), std::nullopt) << other;
}

TEST(BuildProfile, TheTwoBuildsOfferTheirFixedSets)
{
    const BuildProfile direct(false);
    EXPECT_FALSE(direct.isSandboxed());
    EXPECT_EQ(direct.capabilities().rawValue(), 0x3ffu);

    const BuildProfile sandboxed(true);
    EXPECT_TRUE(sandboxed.isSandboxed());
    EXPECT_EQ(sandboxed.capabilities().rawValue(), 0x117u);

    // What the sandbox takes away, and why each missing feature is missing.
    const Capability missingInSandbox[] = {Capability::hudSuppression, Capability::focusIdentity,
                                           Capability::shortcutListing, Capability::liveWaveform,
                                           Capability::idleSurface};
    for (const auto capability : kAll) {
        SCOPED_TRACE(capability.rawValue());
        const bool missing = std::find(std::begin(missingInSandbox), std::end(missingInSandbox), capability)
            != std::end(missingInSandbox);
        EXPECT_TRUE(direct.has(capability));
        EXPECT_EQ(direct.unavailability(capability), std::nullopt);
        EXPECT_EQ(sandboxed.has(capability), !missing);
        EXPECT_EQ(sandboxed.unavailability(capability),
                  missing ? std::optional(Capability::Unavailability::sandboxed) : std::nullopt);
    }
}

TEST(BuildProfile, HasNeedsEveryBitOfTheArgument)
{
    const BuildProfile sandboxed(true);
    EXPECT_TRUE(sandboxed.has(Capability()));
    EXPECT_TRUE(sandboxed.has(Capability::mediaSeek | Capability::deviceBattery));
    EXPECT_FALSE(sandboxed.has(Capability::mediaSeek | Capability::hudSuppression));
    // Outside the sandbox a missing capability is put down to a permission.
    const BuildProfile direct(false);
    EXPECT_EQ(direct.unavailability(Capability(0x400)), Capability::Unavailability::permissionRequired);
}

TEST(BuildProfile, DetectsTheSandboxFromItsSignals)
{
    QTemporaryDir plainRoot;
    QTemporaryDir flatpakRoot;
    ASSERT_TRUE(plainRoot.isValid() && flatpakRoot.isValid());
    std::ofstream(fs::path(flatpakRoot.path().toStdString()) / ".flatpak-info") << "[Application]\n";

    struct Row {
        const char* why;
        std::map<std::string, std::string> environment;
        fs::path home;
        bool flatpakInfo;
        bool sandboxed;
    };
    const Row rows[] = {
        {"nothing", {}, "/home/ada", false, false},
        {"container id", {{"APP_SANDBOX_CONTAINER_ID", "app.ruvudav.notch"}}, "/home/ada", false, true},
        {"container id, empty", {{"APP_SANDBOX_CONTAINER_ID", ""}}, "/home/ada", false, true},
        {"container home", {}, "/Users/ada/Library/Containers/app.ruvudav.notch/Data", false, true},
        {"not a container", {}, "/home/ada/Library/Containers", false, false},
        {"Flatpak variable", {{"FLATPAK_ID", "app.ruvudav.notch"}}, "/home/ada", false, true},
        {"Flatpak info file", {}, "/home/ada", true, true},
        {"unrelated variable", {{"SANDBOX", "1"}}, "/home/ada", false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const BuildProfile::SandboxSignals evidence{
            Environment::fixed(row.environment), row.home,
            (row.flatpakInfo ? flatpakRoot : plainRoot).path().toStdString()};
        EXPECT_EQ(BuildProfile::detectSandboxed(evidence), row.sandboxed);
    }
}

TEST(BuildProfile, TheCurrentProfileIsThatOfThisProcess)
{
    // The test runs unconfined, so this process is the direct build.
    ASSERT_FALSE(BuildProfile::detectSandboxed(BuildProfile::SandboxSignals::process()));
    EXPECT_FALSE(BuildProfile::current().isSandboxed());
    EXPECT_EQ(BuildProfile::current().capabilities(), BuildProfile::directCapabilities);
}

} // namespace
