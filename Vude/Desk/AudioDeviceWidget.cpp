#include "Vude/Desk/AudioDeviceWidget.h"

#include "Vude/Desk/AudioDeviceLayout.h"
#include "Vude/Desk/DeskRowLayout.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStackedWidget>

#include <algorithm>
#include <cmath>

namespace {

using Layout = AudioDeviceLayout;

constexpr DeskRowLayout::Metrics kRow{
    .paddingX = 7, .paddingY = 5, .symbolWidth = 15, .spacing = 8, .minimumSpacer = 4};

QFont nameFont(Vude::FontWeight weight) { return systemFont(Layout::nameSize, weight); }
double symbolBox(double size) { return size * SymbolCatalog::kOpticalScale; }

double rowHeight()
{
    const double text = QFontMetricsF(nameFont(Vude::FontWeight::medium)).height();
    return std::ceil(DeskRowLayout::height(kRow, std::max(text, symbolBox(Layout::symbolSize))));
}

} // namespace

AudioDeviceRow::AudioDeviceRow(const ViewEnvironment& environment, QWidget* parent) : PlainButton(environment, parent)
{
    setPreferredSize(QSize(0, int(rowHeight())));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPainter([](QPainter& painter, const PlainButton& button) {
        const auto& row = static_cast<const AudioDeviceRow&>(button);
        const Layout::Look look = Layout::look(row.m_device.isDefault, row.isHovering());
        if (look.background)
            painter.fillPath(continuousRoundedRect(row.rect(), Layout::cornerRadius), toQColor(*look.background));
        const Parts parts = row.parts();
        SymbolCatalog::draw(painter, parts.symbol, Layout::symbol(row.m_device.transport), toQColor(look.symbol),
                            Layout::symbolSize);
        const QFont font = nameFont(look.weight);
        painter.setFont(font);
        painter.setPen(toQColor(look.name));
        const QString shown = QFontMetricsF(font).elidedText(row.text(), Qt::ElideRight, parts.name.width());
        painter.drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        if (parts.checkmark)
            SymbolCatalog::draw(painter, *parts.checkmark, "checkmark", toQColor(Vude::Accent::x500),
                                Layout::checkmarkSize);
    });
}

void AudioDeviceRow::setDevice(const AudioOutputDevice& device)
{
    m_device = device;
    setText(QString::fromStdString(device.name));
    setHelpText(QString::fromStdString(Layout::helpText(device)));
    update();
}

AudioDeviceRow::Parts AudioDeviceRow::parts() const
{
    const Layout::Look look = Layout::look(m_device.isDefault, false);
    const double nameWidth = QFontMetricsF(nameFont(look.weight)).horizontalAdvance(text());
    std::optional<Size> checkmark;
    if (look.checkmark) {
        const double box = std::ceil(symbolBox(Layout::checkmarkSize));
        checkmark = Size{box, box};
    }
    const DeskRowLayout layout =
        DeskRowLayout::layout({double(width()), double(height())}, kRow, std::ceil(nameWidth), checkmark);
    Parts parts{toQRectF(layout.symbol), toQRectF(layout.text), std::nullopt};
    if (layout.accessory)
        parts.checkmark = toQRectF(*layout.accessory);
    return parts;
}

AudioDeviceWidget::AudioDeviceWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::audioDevice, parent), m_environment(environment)
{
    m_content = new QStackedWidget;
    m_content->setFrameShape(QFrame::NoFrame);
    m_empty = new WidgetEmptyState(environment.view, "speaker.slash", QStringLiteral("No outputs found"),
                                   QStringLiteral("Nothing to switch to."));
    m_list = new KeyedRowList<std::uint32_t, AudioDeviceRow>;
    m_list->setSpacing(Layout::rowSpacing);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_list);
    m_frame = new WidgetFrame(QStringLiteral("Sound Output"), m_content, Qt::AlignTop | Qt::AlignHCenter, nullptr,
                              this);
}

void AudioDeviceWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<AudioDeviceBinding>(binding);
    m_list->setItems(
        m_binding.devices, [](const AudioOutputDevice& device) { return device.id; },
        [this](const AudioOutputDevice&, QWidget* parent) {
            auto* row = new AudioDeviceRow(m_environment.view, parent);
            connect(row, &QAbstractButton::clicked, this, [this, row] {
                // The list it reads back rebinds this widget meanwhile.
                const auto select = m_binding.onSelect;
                const AudioOutputDevice device = row->device();
                if (select)
                    select(device);
            });
            return row;
        },
        [](AudioDeviceRow& row, const AudioOutputDevice& device) { row.setDevice(device); });
    m_content->setCurrentWidget(m_binding.devices.empty() ? static_cast<QWidget*>(m_empty) : m_list);
}

void AudioDeviceWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
