#pragma once
// The end of the tray's row: a dashed outline saying "Drop more here". It
// has no drop handling or action of its own; it only reminds the user that
// more files can be dropped on the notch.

#include <QWidget>

class MoreDropZone final : public QWidget {
    Q_OBJECT
public:
    static inline const QString text = QStringLiteral("Drop more here");

    explicit MoreDropZone(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
