#pragma once
// The Desk's tray tab: the files the user parked, as a sideways-scrolling
// row of chips under a header that counts them, says what a drag out does
// and offers "Clear". From two files on an "all" chip leads the row; a
// "Drop more here" zone ends it. With no files it shows how to fill it.
//
// Chips are kept by their item's id across refreshes, so a hovered chip and
// its thumbnail survive one. It changes nothing itself: removing, clearing,
// revealing and copying go through the binding's closures; the chips ask
// the store only for thumbnails and Quick Look. Each time it is shown it
// asks the store to settle the files that drags handed out (sweep).

#include "Vude/Desk/DeskWidget.h"

#include <memory>
#include <vector>

class MoreDropZone;
class PlainButton;
class TrayAllChip;
class TrayChip;
class TrayChipRow;
template <typename Key, typename Widget>
class KeyedWidgets;

class TrayWidget final : public TrayView {
    Q_OBJECT
public:
    static inline const QString emptyTitle = QStringLiteral("Drop files or folders here");
    static inline const QString emptyDetail =
        QStringLiteral("Park them, open where they need to go, then drag them back out.");

    /// `environment` must outlive the widget.
    explicit TrayWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~TrayWidget() override;

    void bind(const TrayBinding& binding) override;

    bool isEmptyStateShown() const;
    PlainButton* clearButton() const { return m_clear; }
    /// Shown from two items on; none otherwise.
    TrayAllChip* allChip() const;
    std::vector<TrayChip*> chips() const;
    MoreDropZone* moreDropZone() const { return m_more; }
    TrayChipRow* chipRow() const { return m_row; }
    /// The header's texts as drawn: the count and the hint.
    QString countText() const;
    QString hintText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void placeChildren();
    double headerHeight() const;

    const DeskEnvironment& m_environment;
    TrayBinding m_binding;
    PlainButton* m_clear = nullptr;
    TrayChipRow* m_row = nullptr;
    QWidget* m_content = nullptr;
    TrayAllChip* m_all = nullptr;
    MoreDropZone* m_more = nullptr;
    std::unique_ptr<KeyedWidgets<Uuid, TrayChip>> m_chips;
};
