#pragma once
// The frame every Desk widget but the notes and the tray wraps its content
// in: the content fills the widget's cell with the chosen alignment, an
// optional accessory is pinned to the top-trailing corner, and the widget is
// named for accessibility tools by its title, which is never drawn. No
// background, border or inset: the Desk row's dividers and gaps are the only
// separation between widgets. Its layout is WidgetFrameLayout.

#include <QString>
#include <QWidget>

class WidgetFrame final : public QWidget {
    Q_OBJECT
public:
    /// Takes `content` (and `trailing`, when given) as children.
    WidgetFrame(const QString& title, QWidget* content, Qt::Alignment alignment = Qt::AlignTop | Qt::AlignHCenter,
                QWidget* trailing = nullptr, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    QWidget* content() const { return m_content; }
    QWidget* trailing() const { return m_trailing; }
    Qt::Alignment alignment() const { return m_alignment; }

    /// Replaces the accessory (the old one is deleted); none removes it.
    void setTrailing(QWidget* trailing);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeChildren();

    QString m_title;
    QWidget* m_content;
    QWidget* m_trailing = nullptr;
    Qt::Alignment m_alignment;
};
