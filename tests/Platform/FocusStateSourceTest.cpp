#include "Platform/Desktop/FocusStateSource.h"

#include <gtest/gtest.h>

namespace {

TEST(FocusStateSourceTest, GnomeWithItsSettingsUsesThemEveryOtherDesktopAsksTheNotificationServer)
{
    struct Row {
        const char* desktop;
        bool installed;
        FocusSourceKind expected;
    } rows[] = {
        {"GNOME", true, FocusSourceKind::gnomeSettings},
        {"ubuntu:GNOME", true, FocusSourceKind::gnomeSettings},
        {"GNOME-Classic:GNOME", true, FocusSourceKind::gnomeSettings},
        {"GNOME", false, FocusSourceKind::notificationServer},
        {"KDE", true, FocusSourceKind::notificationServer},
        {"GNOME-Flashback", true, FocusSourceKind::notificationServer},
        {"XFCE:gnome", true, FocusSourceKind::notificationServer},
        {"", true, FocusSourceKind::notificationServer},
        {":::", true, FocusSourceKind::notificationServer},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.desktop);
        EXPECT_EQ(chooseFocusSource(row.desktop, row.installed), row.expected);
    }
}

} // namespace
