#pragma once
// The strip over the tray that follows the pipeline runner: a progress bar
// with the run's title while it runs, the result with "Undo" when it ends
// (Undo only when files were produced), the failure's message (two lines at
// most), and nothing, taking no space, when idle. What it shows is
// PipelineBannerLayout's; Undo calls the binding's onUndo. It keeps no timer:
// the runner's state says when it goes back to idle.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/PipelineBannerLayout.h"

class PlainButton;

class PipelineBanner final : public PipelineBannerView {
    Q_OBJECT
public:
    /// `environment` must outlive the banner.
    explicit PipelineBanner(const DeskEnvironment& environment, QWidget* parent = nullptr);

    void bind(const PipelineBannerBinding& binding) override;

    const PipelineBannerLayout& currentLayout() const { return m_layout; }
    /// Shown only while a finished run produced files.
    PlainButton* undoButton() const { return m_undo; }

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The text column's width in a banner `width` wide.
    double textWidth(double width) const;
    void placeUndo();

    PipelineBannerBinding m_binding;
    PipelineBannerLayout m_layout;
    PlainButton* m_undo = nullptr;
};
