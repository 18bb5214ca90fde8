#pragma once
// Whether a compositing manager runs, so windows can be translucent.
//   X11CompositingMonitor   the owner of the "_NET_WM_CM_S<screen>" selection
//   FakeCompositingMonitor  set by hand (tests)

#include <QObject>

#include <memory>

class SelectionOwnerWatch;
class XcbConnection;

class CompositingMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isCompositing() const = 0;

signals:
    /// A compositing manager started or stopped.
    void compositingChanged(bool isCompositing);
};

class X11CompositingMonitor final : public CompositingMonitor {
    Q_OBJECT
public:
    /// Watches the screen of `connection`'s root window. Without XFixes the
    /// answer is read once and never changes. The connection must outlive
    /// this object.
    explicit X11CompositingMonitor(XcbConnection& connection, QObject* parent = nullptr);
    ~X11CompositingMonitor() override;

    bool isCompositing() const override { return m_isCompositing; }

private:
    void ownerChanged(bool owned);

    std::unique_ptr<SelectionOwnerWatch> m_watch;
    bool m_isCompositing = false;
};

class FakeCompositingMonitor final : public CompositingMonitor {
    Q_OBJECT
public:
    explicit FakeCompositingMonitor(bool isCompositing = true, QObject* parent = nullptr)
        : CompositingMonitor(parent), m_isCompositing(isCompositing)
    {
    }

    bool isCompositing() const override { return m_isCompositing; }
    void setCompositing(bool isCompositing)
    {
        if (isCompositing == m_isCompositing)
            return;
        m_isCompositing = isCompositing;
        emit compositingChanged(isCompositing);
    }

private:
    bool m_isCompositing;
};
