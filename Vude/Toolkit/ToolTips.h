#pragma once
// Tooltips over the notch. Qt shows a tooltip only over the active window,
// and the notch panel never becomes one (it must not take the focus from
// the application the user works in); a window marked here shows its
// widgets' tooltips whether it is active or not.

class QWidget;

/// Marks the window of `widget`; call it once the widget is in its window
/// (showEvent). Nothing for a widget without a window yet.
void showToolTipsWhileInactive(QWidget& widget);
