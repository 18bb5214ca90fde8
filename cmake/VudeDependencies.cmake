# Third-party libraries, found once; modules link the imported targets they use.
find_package(PkgConfig REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets DBus Network Positioning Test)
find_package(nlohmann_json REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(GIF REQUIRED)
# PNG bands deflated in parallel and joined into one stream.
find_package(ZLIB REQUIRED)

pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
# Event sounds (lock and unlock), played on the desktop's sound server.
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)
pkg_check_modules(HEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(DE265 REQUIRED IMPORTED_TARGET libde265)
pkg_check_modules(EXIV2 REQUIRED IMPORTED_TARGET exiv2)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
pkg_check_modules(ARCHIVE REQUIRED IMPORTED_TARGET libarchive)
# iCalendar files of the calendars folder.
pkg_check_modules(ICAL REQUIRED IMPORTED_TARGET libical)
# Our own X connection for key grabs, raw input, pointer queries, input shapes
# and selection watches; XTEST only to drive X servers in tests.
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-xinput xcb-xfixes xcb-shape)
if(VUDE_BUILD_TESTS)
    pkg_check_modules(XCB_XTEST REQUIRED IMPORTED_TARGET xcb-xtest)
endif()
# The keyboard's repeat settings and layout changes, for the key tap.
pkg_check_modules(XCB_XKB REQUIRED IMPORTED_TARGET xcb-xkb)
# Desktop settings (GSettings) and desktop entries (GDesktopAppInfo).
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
