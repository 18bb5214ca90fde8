#pragma once
// The one way to show that a control cannot be used now (it depends on
// another setting, a capability or a permission): it is disabled and drawn
// at 0.45 opacity, never hidden.
//
// Qt draws nested opacity effects badly and slowly, so at most one effect
// is ever installed along any line of ancestors: a widget dimmed inside an
// already dimmed one is only disabled (it is drawn at 0.45 by its
// ancestor), and it gets its own effect back when the ancestor is undimmed.
// The helper owns the enabled state of the widgets it is used on.

#include <QWidget>

namespace Dimming {

inline constexpr double dimmedOpacity = 0.45;

/// Disables `widget` and draws it at 0.45 opacity, or enables it and draws
/// it in full again. Idempotent.
void setDimmed(QWidget& widget, bool dimmed);

/// Whether setDimmed(widget, true) holds for `widget` itself.
bool isDimmed(const QWidget& widget);

/// The opacity `widget` is drawn at through the effects on it and on its
/// ancestors (1 when none).
double drawnOpacity(const QWidget& widget);

} // namespace Dimming
