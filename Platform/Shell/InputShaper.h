#pragma once
// Which parts of our own top-level windows take pointer input; everywhere
// else clicks, wheels and drags fall through to the windows below. Only the
// input is shaped: the window still draws everywhere (a drawing mask would
// cut off shadows and animations).
//   X11InputShaper    the window's SHAPE extension input region
//   FakeInputShaper   remembers the regions (tests)
// Rectangles are in the window's device pixels.

#include <QRect>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

class XcbConnection;

class InputShaper {
public:
    virtual ~InputShaper() = default;

    virtual bool isAvailable() const = 0;
    /// Sets the input region of `window` (a native window id) to the union of
    /// `rects`; an empty list lets no input in at all.
    virtual void setInputRegion(std::uint64_t window, const std::vector<QRect>& rects) = 0;
};

class X11InputShaper final : public InputShaper {
public:
    /// The connection must outlive this object.
    explicit X11InputShaper(XcbConnection& connection);

    bool isAvailable() const override { return m_available; }
    void setInputRegion(std::uint64_t window, const std::vector<QRect>& rects) override;

private:
    XcbConnection& m_connection;
    bool m_available = false;
    std::set<std::uint64_t> m_known;
};

class FakeInputShaper final : public InputShaper {
public:
    bool isAvailable() const override { return true; }
    void setInputRegion(std::uint64_t window, const std::vector<QRect>& rects) override
    {
        regions[window] = rects;
        ++updates;
    }

    std::map<std::uint64_t, std::vector<QRect>> regions;
    int updates = 0;
};

/// Makes sure the X server has seen everything Qt's own connection sent so
/// far (the windows it created), before our connection refers to them. Does
/// nothing unless Qt itself runs on X.
void syncWithQtConnection();
