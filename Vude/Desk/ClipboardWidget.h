#pragma once
// The Desk's clipboard history: one row per clip in the order given
// (newest first), kept by the clip's id. A click anywhere on a row puts the
// clip back on the clipboard and shows "Copied" for 1.2 s from that click
// (a second click within it restores again but ends the mark no later); a
// cross on the hovered row removes that clip; "Clear" in the corner, shown
// while there is anything to clear, empties the history at once. With no
// clips, an empty state. The list takes every wheel event over it. How a row
// reads is ClipRowLook's.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeKit/Scheduler.h"

#include <vector>

class QStackedWidget;
class WidgetEmptyState;
class WidgetFrame;

class ClipRow final : public PlainButton {
    Q_OBJECT
public:
    /// How long "Copied" shows after a click.
    static constexpr Duration copiedFor = std::chrono::milliseconds(1200);

    /// `environment` must outlive the row.
    ClipRow(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~ClipRow() override;

    void setClip(const NotchClip& clip);
    const NotchClip& clip() const { return m_clip; }
    bool isJustCopied() const { return m_justCopied; }
    /// The hover cross; shown only while hovered and not "Copied".
    PlainButton* removeButton() const { return m_remove; }

    /// Where the symbol, the text and the cross go now.
    struct Parts {
        QRectF symbol;
        QRectF text;
        QRectF remove;
    };
    Parts parts() const;

signals:
    void restoreRequested();
    void removeRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void markCopied();
    void updateLook();

    const ViewEnvironment& m_environment;
    NotchClip m_clip;
    bool m_justCopied = false;
    PlainButton* m_remove = nullptr;
    std::vector<ScheduledTask> m_marks;
};

class ClipboardWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr double rowSpacing = 2;
    static constexpr double clearSize = 9;

    /// `environment` must outlive the widget.
    explicit ClipboardWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);

    void bind(const WidgetBinding& binding) override;

    WidgetFrame* frame() const { return m_frame; }
    WidgetEmptyState* emptyState() const { return m_empty; }
    /// "Clear"; shown only while there are clips.
    PlainButton* clearButton() const { return m_clear; }
    KeyedRowList<Uuid, ClipRow>* list() const { return m_list; }
    ClipRow* row(const Uuid& id) const { return m_list->row(id); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const DeskEnvironment& m_environment;
    ClipboardBinding m_binding;
    WidgetFrame* m_frame = nullptr;
    PlainButton* m_clear = nullptr;
    QStackedWidget* m_content = nullptr;
    WidgetEmptyState* m_empty = nullptr;
    KeyedRowList<Uuid, ClipRow>* m_list = nullptr;
};
