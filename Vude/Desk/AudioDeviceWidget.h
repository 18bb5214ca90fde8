#pragma once
// The Desk's sound outputs: one row per output device in the order given,
// each showing its connection's symbol and its name, the default one in the
// accent colour with a check mark. A click on a row makes that device the
// default output (also on the row that already is: the closure decides);
// the new list arrives through the next bind. With no outputs, an empty
// state says so. Rows are kept by device id. How a row reads is
// AudioDeviceLayout's.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "Vude/Toolkit/PlainButton.h"

class QStackedWidget;
class WidgetEmptyState;
class WidgetFrame;

class AudioDeviceRow final : public PlainButton {
    Q_OBJECT
public:
    AudioDeviceRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void setDevice(const AudioOutputDevice& device);
    const AudioOutputDevice& device() const { return m_device; }

    /// Where the symbol, the name and the check mark go now.
    struct Parts {
        QRectF symbol;
        QRectF name;
        std::optional<QRectF> checkmark;
    };
    Parts parts() const;

private:
    AudioOutputDevice m_device;
};

class AudioDeviceWidget final : public DeskWidget {
    Q_OBJECT
public:
    /// `environment` must outlive the widget.
    explicit AudioDeviceWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);

    void bind(const WidgetBinding& binding) override;

    WidgetFrame* frame() const { return m_frame; }
    WidgetEmptyState* emptyState() const { return m_empty; }
    KeyedRowList<std::uint32_t, AudioDeviceRow>* list() const { return m_list; }
    AudioDeviceRow* row(std::uint32_t id) const { return m_list->row(id); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const DeskEnvironment& m_environment;
    AudioDeviceBinding m_binding;
    WidgetFrame* m_frame = nullptr;
    QStackedWidget* m_content = nullptr;
    WidgetEmptyState* m_empty = nullptr;
    KeyedRowList<std::uint32_t, AudioDeviceRow>* m_list = nullptr;
};
