#pragma once
// The tray's sideways-scrolling row. A mouse wheel turns vertically, and a
// scroll area that only scrolls sideways ignores a vertical wheel: this one
// scrolls sideways by whichever way the wheel turned. Like every ScrollArea
// it keeps every wheel over it, so scrolling the row never swipes the notch.

#include "Vude/Toolkit/ScrollArea.h"

class TrayChipRow final : public ScrollArea {
    Q_OBJECT
public:
    /// Points a wheel notch moves the row.
    static constexpr double pointsPerNotch = 48;

    explicit TrayChipRow(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
