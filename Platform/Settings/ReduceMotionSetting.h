#pragma once
// Whether the desktop asks applications to reduce motion. The app reads it at
// every animation, so a change applies from the next one.
//   PortalReduceMotionSetting  the desktop's settings portal (Linux backend)
//   FixedReduceMotionSetting   a value set by hand (tests, and the fallback)

#include <QObject>

class ReduceMotionSetting : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Whether the desktop has told us its preference; without it motion is
    /// never reduced.
    virtual bool isAvailable() const = 0;
    virtual bool reduceMotion() const = 0;

signals:
    void changed(bool reduceMotion);
};

class FixedReduceMotionSetting final : public ReduceMotionSetting {
    Q_OBJECT
public:
    explicit FixedReduceMotionSetting(bool reduceMotion = false, QObject* parent = nullptr)
        : ReduceMotionSetting(parent), m_reduceMotion(reduceMotion)
    {
    }

    bool isAvailable() const override { return true; }
    bool reduceMotion() const override { return m_reduceMotion; }

    void setReduceMotion(bool reduceMotion)
    {
        if (reduceMotion == m_reduceMotion)
            return;
        m_reduceMotion = reduceMotion;
        emit changed(reduceMotion);
    }

private:
    bool m_reduceMotion;
};
