#pragma once
// The Desk's scratch note: a plain text editor over the one shared note,
// "Notes…" while it is empty, on a dark rounded card; no title of its own.
//
// Every edit is saved at once: the whole text goes through the binding
// (saveNote) and then onCommit runs, and hiding the widget (the Desk closes,
// the tab changes, the widget leaves the row) commits once more. A note
// republished by the repository is put into the editor only where it
// differs from what the editor holds, so the cursor, the selection and the
// undo history stay (saveNote republishes the very text just typed); putting
// it there saves nothing. Without a repository the editor is empty and
// read-only. Main thread only.

#include "Vude/Desk/DeskWidget.h"

class QPlainTextEdit;

class NotesWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr double textSize = 11;
    static constexpr double padding = 6;
    static constexpr double cornerRadius = 7;

    /// `environment` must outlive the widget.
    NotesWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~NotesWidget() override;

    void bind(const WidgetBinding& binding) override;

    QPlainTextEdit* editor() const { return m_editor; }
    /// The editor's text as it is saved: lines end in "\n".
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// Makes the editor hold `text`, changing only what differs.
    void apply(const QString& text);
    void edited();
    void commit();

    NotesBinding m_binding;
    QPlainTextEdit* m_editor = nullptr;
    bool m_applying = false;
};
