#include "Vude/Desk/TimerWidget.h"

#include "Vude/Desk/DurationPicker.h"
#include "Vude/Desk/TimerLayout.h"
#include "Vude/Desk/TimerRow.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

const QString kTitle = QStringLiteral("Timer");
const QString kStart = QStringLiteral("Start");
const QString kAddTimer = QStringLiteral("Add Timer");

constexpr double kChipTextSize = 10;
constexpr double kChipPaddingX = 9;
constexpr double kChipPaddingY = 3;
constexpr double kChipSpacing = 6;
constexpr double kStartTextSize = 11;
constexpr double kStartPaddingX = 13;
constexpr double kStartPaddingY = 4;
constexpr double kDisabledOpacity = 0.4;
constexpr double kAddTextSize = 11;
constexpr double kAddSymbolSpacing = 5;
constexpr double kRowSpacing = 4;

QFont chipFont() { return systemFont(kChipTextSize, Vude::FontWeight::medium); }
QFont startFont() { return systemFont(kStartTextSize, Vude::FontWeight::semibold); }
QFont addFont() { return systemFont(kAddTextSize, Vude::FontWeight::medium); }

double symbolBox(double size) { return std::ceil(size * SymbolCatalog::kOpticalScale); }

QSize labelSize(const QString& text, const QFont& font, double paddingX, double paddingY)
{
    const QFontMetricsF metrics(font);
    return {int(std::ceil(metrics.horizontalAdvance(text) + 2 * paddingX)),
            int(std::ceil(metrics.height() + 2 * paddingY))};
}

/// Hidden now, deleted once the event loop is back: it may be the very
/// button whose click brought the change.
void retire(QWidget* widget)
{
    if (!widget)
        return;
    widget->hide();
    widget->deleteLater();
}

} // namespace

/// The two variants under the frame: the picker with its presets and Start,
/// or the list with Add Timer.
class TimerWidget::Content final : public QWidget {
public:
    Content(TimerWidget& owner, const DeskEnvironment& environment) : QWidget(nullptr), m_owner(owner), m_environment(environment) {}

    void present(const std::vector<NotchTimer>& timers)
    {
        if (timers.empty()) {
            showPicker();
        } else {
            showList();
            m_list->setItems(
                timers, [](const NotchTimer& timer) { return timer.id; },
                [this](const NotchTimer&, QWidget* parent) { return new TimerRow(m_environment.view, parent); },
                [this](TimerRow& row, const NotchTimer& timer) {
                    row.setTimer(timer, m_owner.m_now);
                    row.onToggle = [this, timer] {
                        if (m_owner.m_binding.onToggle)
                            m_owner.m_binding.onToggle(timer);
                    };
                    row.onRemove = [this, timer] {
                        if (m_owner.m_binding.onRemove)
                            m_owner.m_binding.onRemove(timer);
                    };
                });
        }
        place();
    }

    void setNow(Date now)
    {
        if (m_list)
            for (TimerRow* row : m_list->rows())
                row->setNow(now);
    }

    /// The chips and Start follow the length.
    void durationChanged()
    {
        for (PlainButton* chip : m_presets)
            if (chip)
                chip->update();
        if (m_start) {
            m_start->setEnabled(TimerLayout::canStart(m_owner.m_duration));
            m_start->update();
        }
    }

    DurationPicker* picker() const { return m_picker; }
    std::array<PlainButton*, 3> presets() const { return {m_presets[0], m_presets[1], m_presets[2]}; }
    PlainButton* start() const { return m_start; }
    PlainButton* add() const { return m_add; }
    std::vector<TimerRow*> rows() const { return m_list ? m_list->rows() : std::vector<TimerRow*>(); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

private:
    void showPicker()
    {
        if (m_picker)
            return;
        retire(m_list);
        retire(m_add);
        m_list = nullptr;
        m_add = nullptr;

        // A new picker each time: its wheels start afresh.
        m_picker = new DurationPicker(m_environment.view, m_environment.haptics, rowHeight, visibleRows, this);
        m_picker->setDuration(m_owner.m_duration);
        m_picker->onChange = [this](double seconds) { m_owner.setDuration(seconds); };
        for (std::size_t i = 0; i < TimerLayout::presets.size(); ++i)
            m_presets[i] = makeChip(TimerLayout::presets[i]);
        m_start = new PlainButton(m_environment.view, this);
        m_start->setText(kStart);
        m_start->setPreferredSize(labelSize(kStart, startFont(), kStartPaddingX, kStartPaddingY));
        m_start->setPainter([](QPainter& painter, const PlainButton& self) {
            painter.setOpacity(self.isEnabled() ? 1.0 : kDisabledOpacity);
            const QRectF bounds = self.rect();
            painter.fillPath(continuousRoundedRect(bounds, bounds.height() / 2), toQColor(Vude::Accent::x500));
            painter.setFont(startFont());
            painter.setPen(toQColor(Vude::Accent::on));
            painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, self.text());
        });
        connect(m_start, &QAbstractButton::clicked, this, [this] {
            if (m_owner.m_binding.onAdd)
                m_owner.m_binding.onAdd(m_owner.m_duration);
        });
        durationChanged();
        for (QWidget* widget : {static_cast<QWidget*>(m_picker), static_cast<QWidget*>(m_start)})
            widget->show();
        for (PlainButton* chip : m_presets)
            chip->show();
    }

    PlainButton* makeChip(double preset)
    {
        auto* chip = new PlainButton(m_environment.view, this);
        const QString text = QString::fromStdString(TimerLayout::presetText(preset));
        chip->setText(text);
        chip->setPreferredSize(labelSize(text, chipFont(), kChipPaddingX, kChipPaddingY));
        chip->setPainter([this, preset](QPainter& painter, const PlainButton& self) {
            const bool chosen = m_owner.m_duration == preset;
            const QRectF bounds = self.rect();
            painter.fillPath(continuousRoundedRect(bounds, bounds.height() / 2),
                             toQColor(chosen ? Vude::Accent::x500 : Vude::Ink::x800));
            painter.setFont(chipFont());
            painter.setPen(toQColor(chosen ? Vude::Accent::on : Vude::Stone::x300));
            painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, self.text());
        });
        connect(chip, &QAbstractButton::clicked, this, [this, preset] {
            m_owner.setDuration(preset);
            if (m_picker)
                m_picker->setDuration(preset);
        });
        return chip;
    }

    void showList()
    {
        if (m_list)
            return;
        retire(m_picker);
        retire(m_start);
        for (PlainButton*& chip : m_presets) {
            retire(chip);
            chip = nullptr;
        }
        m_picker = nullptr;
        m_start = nullptr;

        m_list = new KeyedRowList<Uuid, TimerRow>(this);
        m_list->setSpacing(kRowSpacing);
        m_add = new PlainButton(m_environment.view, this);
        m_add->setText(kAddTimer);
        const QSize label = labelSize(kAddTimer, addFont(), 0, 0);
        const double symbol = symbolBox(kAddTextSize);
        m_add->setPreferredSize(QSize(int(std::ceil(symbol + kAddSymbolSpacing)) + label.width(),
                                      std::max(label.height(), int(symbol))));
        m_add->setPainter([](QPainter& painter, const PlainButton& self) {
            const QRectF bounds = self.rect();
            const double box = symbolBox(kAddTextSize);
            const QColor ink = toQColor(Vude::Stone::x200);
            SymbolCatalog::draw(painter, QRectF(0, (bounds.height() - box) / 2, box, box), "plus", ink, kAddTextSize);
            painter.setFont(addFont());
            painter.setPen(ink);
            painter.drawText(bounds.adjusted(box + kAddSymbolSpacing, 0, 0, 0),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, self.text());
        });
        connect(m_add, &QAbstractButton::clicked, this, [this] {
            if (m_owner.m_binding.onAdd)
                m_owner.m_binding.onAdd(m_owner.m_duration);
        });
        m_list->show();
        m_add->show();
    }

    void place()
    {
        const int w = width();
        const int h = height();
        if (m_picker && m_start) {
            // The picker over the presets and Start, centred down the cell.
            const int pickerHeight = m_picker->sizeHint().height();
            int barHeight = m_start->sizeHint().height();
            for (PlainButton* chip : m_presets)
                barHeight = std::max(barHeight, chip->sizeHint().height());
            const int stack = pickerHeight + int(spacing) + barHeight;
            const int top = (h - stack) / 2;
            m_picker->setGeometry(0, top, w, pickerHeight);
            const int barTop = top + pickerHeight + int(spacing);
            int x = 0;
            for (PlainButton* chip : m_presets) {
                const QSize size = chip->sizeHint();
                chip->setGeometry(x, barTop + (barHeight - size.height()) / 2, size.width(), size.height());
                x += size.width() + int(kChipSpacing);
            }
            const QSize start = m_start->sizeHint();
            m_start->setGeometry(w - start.width(), barTop + (barHeight - start.height()) / 2, start.width(),
                                 start.height());
        }
        if (m_list && m_add) {
            const QSize add = m_add->sizeHint();
            const int listHeight = std::max(0, h - add.height() - int(spacing));
            m_list->setGeometry(0, 0, w, listHeight);
            m_add->setGeometry(0, listHeight + int(spacing), std::min(w, add.width()), add.height());
        }
    }

    TimerWidget& m_owner;
    const DeskEnvironment& m_environment;
    DurationPicker* m_picker = nullptr;
    std::array<PlainButton*, 3> m_presets{};
    PlainButton* m_start = nullptr;
    KeyedRowList<Uuid, TimerRow>* m_list = nullptr;
    PlainButton* m_add = nullptr;
};

TimerWidget::TimerWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::timer, parent), m_environment(environment), m_now(environment.wallClock.now())
{
    m_content = new Content(*this, environment);
    m_frame = new WidgetFrame(kTitle, m_content, Qt::AlignCenter, nullptr, this);
    m_content->present(m_binding.timers);
}

TimerWidget::~TimerWidget()
{
    m_ticks.cancel();
}

void TimerWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<TimerBinding>(binding);
    m_content->present(m_binding.timers);
}

void TimerWidget::setDuration(double seconds)
{
    m_duration = seconds;
    m_content->durationChanged();
}

void TimerWidget::readClock()
{
    m_now = m_environment.wallClock.now();
    m_content->setNow(m_now);
}

void TimerWidget::showEvent(QShowEvent* event)
{
    DeskWidget::showEvent(event);
    readClock();
    m_ticks.cancel();
    m_ticks = m_environment.view.scheduler.every(tick, [this] { readClock(); });
}

void TimerWidget::hideEvent(QHideEvent* event)
{
    DeskWidget::hideEvent(event);
    m_ticks.cancel();
}

void TimerWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}

DurationPicker* TimerWidget::picker() const
{
    return m_content->picker();
}

std::array<PlainButton*, 3> TimerWidget::presetButtons() const
{
    return m_content->presets();
}

PlainButton* TimerWidget::startButton() const
{
    return m_content->start();
}

std::vector<TimerRow*> TimerWidget::rows() const
{
    return m_content->rows();
}

PlainButton* TimerWidget::addButton() const
{
    return m_content->add();
}
