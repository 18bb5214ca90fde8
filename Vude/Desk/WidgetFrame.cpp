#include "Vude/Desk/WidgetFrame.h"

#include "Vude/Desk/WidgetFrameLayout.h"

#include <QEvent>

#include <cmath>

namespace {

QRect toQRect(const Rect& rect)
{
    return {int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
            int(std::lround(rect.height))};
}

} // namespace

WidgetFrame::WidgetFrame(const QString& title, QWidget* content, Qt::Alignment alignment, QWidget* trailing,
                         QWidget* parent)
    : QWidget(parent), m_title(title), m_content(content), m_alignment(alignment)
{
    setAccessibleName(title);
    if (m_content)
        m_content->setParent(this);
    setTrailing(trailing);
}

void WidgetFrame::setTrailing(QWidget* trailing)
{
    if (trailing == m_trailing)
        return;
    delete m_trailing;
    m_trailing = trailing;
    if (m_trailing) {
        m_trailing->setParent(this);
        m_trailing->raise();
        m_trailing->show();
    }
    placeChildren();
}

void WidgetFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeChildren();
}

bool WidgetFrame::event(QEvent* event)
{
    // A child that asks for another size is placed again.
    if (event->type() == QEvent::LayoutRequest)
        placeChildren();
    return QWidget::event(event);
}

void WidgetFrame::placeChildren()
{
    const Rect cell{0, 0, double(width()), double(height())};
    std::optional<Size> trailing;
    if (m_trailing) {
        // Its own size, within the limits it was given.
        const QSize hint = m_trailing->sizeHint()
                               .expandedTo(m_trailing->minimumSizeHint())
                               .expandedTo(m_trailing->minimumSize())
                               .boundedTo(m_trailing->maximumSize());
        trailing = Size{double(hint.width()), double(hint.height())};
    }
    Size maximum{1e9, 1e9};
    if (m_content)
        maximum = {double(m_content->maximumWidth()), double(m_content->maximumHeight())};
    const WidgetFrameLayout layout = WidgetFrameLayout::layout(cell, maximum, m_alignment, trailing);
    if (m_content)
        m_content->setGeometry(toQRect(layout.content));
    if (m_trailing && layout.trailing)
        m_trailing->setGeometry(toQRect(*layout.trailing));
}
