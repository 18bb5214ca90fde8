#include "Vude/Desk/DeskWidget.h"

#include "Vude/Desk/AudioDeviceWidget.h"
#include "Vude/Desk/CalendarWidget.h"
#include "Vude/Desk/ClipboardWidget.h"
#include "Vude/Desk/MediaWidget.h"
#include "Vude/Desk/MirrorWidget.h"
#include "Vude/Desk/NotesWidget.h"
#include "Vude/Desk/PipelineBanner.h"
#include "Vude/Desk/QuickAppsWidget.h"
#include "Vude/Desk/ShortcutsWidget.h"
#include "Vude/Desk/TimerWidget.h"
#include "Vude/Desk/TodoWidget.h"
#include "Vude/Desk/TrayWidget.h"
#include "Vude/Desk/WeatherWidget.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"

namespace {

static_assert(std::variant_size_v<WidgetBinding> == EnumTraits<WidgetID>::cases.size(),
              "one binding per widget, in WidgetID's order");

QString name(WidgetID id)
{
    const std::string_view text = displayName(id);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

DeskWidget::DeskWidget(WidgetID id, QWidget* parent) : BoundView<WidgetBinding>(parent), m_id(id)
{
}

DeskWidget* makeDeskWidget(WidgetID id, const DeskEnvironment& environment, QWidget* parent)
{
    switch (id) {
    case WidgetID::todos:
        return new TodoWidget(environment, parent);
    case WidgetID::timer:
        return new TimerWidget(environment, parent);
    case WidgetID::notes:
        return new NotesWidget(environment, parent);
    case WidgetID::media:
        return new MediaWidget(environment, parent);
    case WidgetID::calendar:
        return new CalendarWidget(environment, parent);
    case WidgetID::mirror:
        return new MirrorWidget(parent);
    case WidgetID::shortcuts:
        return new ShortcutsWidget(environment, parent);
    case WidgetID::quickApps:
        return new QuickAppsWidget(environment, parent);
    case WidgetID::audioDevice:
        return new AudioDeviceWidget(environment, parent);
    case WidgetID::weather:
        return new WeatherWidget(environment, QLocale(), parent);
    case WidgetID::clipboard:
        return new ClipboardWidget(environment, parent);
    }
    return new PlaceholderWidget(id, environment, parent);
}

PipelineBannerView* makePipelineBanner(const DeskEnvironment& environment, QWidget* parent)
{
    return new PipelineBanner(environment, parent);
}

TrayView* makeTrayView(const DeskEnvironment& environment, QWidget* parent)
{
    return new TrayWidget(environment, parent);
}

PlaceholderWidget::PlaceholderWidget(WidgetID id, const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(id, parent), m_binding(MirrorBinding{})
{
    auto* empty = new WidgetEmptyState(environment.view, std::string(symbol(id)), name(id));
    m_frame = new WidgetFrame(name(id), empty, Qt::AlignCenter, nullptr, this);
}

void PlaceholderWidget::bind(const WidgetBinding& binding)
{
    m_binding = binding;
    const auto* weather = std::get_if<WeatherBinding>(&binding);
    m_frame->setVisible(!weather || weather->provider);
}

void PlaceholderWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
