#include "Vude/Toolkit/Dimming.h"

#include <QGraphicsOpacityEffect>

namespace Dimming {

namespace {

constexpr const char* dimmedProperty = "vudeDimmed";

bool hasDimmedAncestor(const QWidget& widget)
{
    for (const QWidget* up = widget.parentWidget(); up; up = up->parentWidget())
        if (isDimmed(*up))
            return true;
    return false;
}

QGraphicsOpacityEffect* ownEffect(QWidget& widget)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget.graphicsEffect());
    return effect && effect->objectName() == QLatin1String(dimmedProperty) ? effect : nullptr;
}

void installEffect(QWidget& widget)
{
    if (ownEffect(widget))
        return;
    auto* effect = new QGraphicsOpacityEffect(&widget);
    effect->setObjectName(QLatin1String(dimmedProperty));
    effect->setOpacity(dimmedOpacity);
    widget.setGraphicsEffect(effect); // takes ownership
}

void removeEffect(QWidget& widget)
{
    if (ownEffect(widget))
        widget.setGraphicsEffect(nullptr); // deletes it
}

/// The dimmed widgets below `widget` that no other dimmed widget covers.
template <typename Visit>
void forOutermostDimmedBelow(QWidget& widget, const Visit& visit)
{
    for (QObject* child : widget.children()) {
        auto* childWidget = qobject_cast<QWidget*>(child);
        if (!childWidget || childWidget->isWindow())
            continue;
        if (isDimmed(*childWidget))
            visit(*childWidget);
        else
            forOutermostDimmedBelow(*childWidget, visit);
    }
}

} // namespace

bool isDimmed(const QWidget& widget)
{
    return widget.property(dimmedProperty).toBool();
}

void setDimmed(QWidget& widget, bool dimmed)
{
    widget.setProperty(dimmedProperty, dimmed);
    widget.setEnabled(!dimmed);
    if (dimmed) {
        if (hasDimmedAncestor(widget))
            removeEffect(widget);
        else
            installEffect(widget);
        // Covered now: their own effects would nest inside this one.
        forOutermostDimmedBelow(widget, [](QWidget& below) { removeEffect(below); });
        return;
    }
    removeEffect(widget);
    if (hasDimmedAncestor(widget))
        return;
    // No longer covered: they draw their own dimming again.
    forOutermostDimmedBelow(widget, [](QWidget& below) { installEffect(below); });
}

double drawnOpacity(const QWidget& widget)
{
    double opacity = 1;
    for (const QWidget* up = &widget; up; up = up->parentWidget())
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(up->graphicsEffect()); effect && effect->isEnabled())
            opacity *= effect->opacity();
    return opacity;
}

} // namespace Dimming
