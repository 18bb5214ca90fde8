#include "Vude/Desk/NotesWidget.h"

#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QString kPlaceholder = QStringLiteral("Notes…");

/// An editor that keeps every wheel event over it: one it cannot use would
/// reach the notch and swipe the Desk closed.
class NoteEditor final : public QPlainTextEdit {
public:
    explicit NoteEditor(QWidget* parent) : QPlainTextEdit(parent) {}

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        QPlainTextEdit::wheelEvent(event);
        event->accept();
    }
};

} // namespace

NotesWidget::NotesWidget(const DeskEnvironment&, QWidget* parent) : DeskWidget(WidgetID::notes, parent)
{
    m_editor = new NoteEditor(this);
    // Only a click gives it the keyboard, not the Desk's opening.
    m_editor->setFocusPolicy(Qt::ClickFocus);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setPlaceholderText(kPlaceholder);
    m_editor->setFont(systemFont(textSize));
    m_editor->setTabChangesFocus(false);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->setAutoFillBackground(false);
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Text, toQColor(Vude::Stone::x100));
    palette.setColor(QPalette::PlaceholderText, toQColor(Vude::Stone::x400));
    palette.setColor(QPalette::Highlight, toQColor(Vude::Ink::x600));
    palette.setColor(QPalette::HighlightedText, toQColor(Vude::Stone::x100));
    m_editor->setPalette(palette);
    m_editor->setAccessibleName(kPlaceholder);
    // Until a binding says there is a repository, nothing typed could be kept.
    m_editor->setReadOnly(true);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &NotesWidget::edited);
}

NotesWidget::~NotesWidget()
{
    // Deleted while shown (the Desk went away at once): commit as hiding would.
    if (isVisible())
        commit();
}

void NotesWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<NotesBinding>(binding);
    m_editor->setReadOnly(!m_binding.editable);
    apply(m_binding.text ? QString::fromStdString(m_binding.text()) : QString());
}

QString NotesWidget::text() const
{
    // Raw, so a no-break space stays one; paragraphs and line breaks are
    // plain line feeds.
    QString text = m_editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void NotesWidget::apply(const QString& incoming)
{
    const QString current = text();
    if (incoming == current)
        return;
    // Only the stretch that differs is replaced: the editor's own cursor
    // moves with the text around it, and the change can be undone.
    const qsizetype shorter = std::min(current.size(), incoming.size());
    qsizetype prefix = 0;
    while (prefix < shorter && current[prefix] == incoming[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix
           && current[current.size() - 1 - suffix] == incoming[incoming.size() - 1 - suffix])
        ++suffix;
    // Never split a surrogate pair.
    if (prefix > 0 && current[prefix - 1].isHighSurrogate())
        --prefix;
    if (suffix > 0 && current[current.size() - suffix].isLowSurrogate())
        --suffix;

    m_applying = true;
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(int(prefix));
    cursor.setPosition(int(current.size() - suffix), QTextCursor::KeepAnchor);
    cursor.insertText(incoming.mid(prefix, incoming.size() - suffix - prefix));
    m_applying = false;
}

void NotesWidget::edited()
{
    if (m_applying || !m_binding.editable)
        return;
    if (m_binding.setText)
        m_binding.setText(text().toStdString());
    if (m_binding.onCommit)
        m_binding.onCommit();
}

void NotesWidget::commit()
{
    if (m_binding.editable && m_binding.onCommit)
        m_binding.onCommit();
}

void NotesWidget::hideEvent(QHideEvent* event)
{
    DeskWidget::hideEvent(event);
    commit();
}

void NotesWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    const int inset = int(padding);
    m_editor->setGeometry(rect().adjusted(inset, inset, -inset, -inset));
}

void NotesWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(rect(), cornerRadius), toQColor(Vude::Ink::x900));
}
