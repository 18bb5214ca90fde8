#include "Vude/Settings/SettingsPaneView.h"

#include "Vude/Settings/BatteryPane.h"
#include "Vude/Settings/CalendarPane.h"
#include "Vude/Settings/ClipboardPane.h"
#include "Vude/Settings/ConnectivityPane.h"
#include "Vude/Settings/DisplayPane.h"
#include "Vude/Settings/FileTrayPane.h"
#include "Vude/Settings/FocusPane.h"
#include "Vude/Settings/GeneralPane.h"
#include "Vude/Settings/IdleLockPane.h"
#include "Vude/Settings/NowPlayingPane.h"
#include "Vude/Settings/QuickAppsPane.h"
#include "Vude/Settings/RavoPane.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ShortcutsPane.h"
#include "Vude/Settings/SoundPane.h"

#include <QVBoxLayout>

SettingsPaneView::SettingsPaneView(SettingsPane pane, QWidget* parent) : QWidget(parent), m_pane(pane)
{
    setObjectName(QString::fromUtf8(rawValue(pane).data(), qsizetype(rawValue(pane).size())));
}

SettingsPaneView* makeSettingsPaneView(SettingsPane pane, const SettingsEnvironment& environment, QWidget* parent)
{
    switch (pane) {
    case SettingsPane::general:
        return new GeneralPane(environment, parent);
    case SettingsPane::battery:
        return new BatteryPane(environment, parent);
    case SettingsPane::display:
        return new DisplayPane(environment, parent);
    case SettingsPane::sound:
        return new SoundPane(environment, parent);
    case SettingsPane::connectivity:
        return new ConnectivityPane(environment, parent);
    case SettingsPane::focus:
        return new FocusPane(environment, parent);
    case SettingsPane::nowPlaying:
        return new NowPlayingPane(environment, parent);
    case SettingsPane::fileTray:
        return new FileTrayPane(environment, parent);
    case SettingsPane::about:
        return new UnbuiltPane(pane, parent);
    case SettingsPane::idleLock:
        return new IdleLockPane(environment, parent);
    case SettingsPane::clipboard:
        return new ClipboardPane(environment, parent);
    case SettingsPane::ravo:
        return new RavoPane(environment, parent);
    case SettingsPane::calendar:
        return new CalendarPane(environment, parent);
    case SettingsPane::shortcuts:
        return new ShortcutsPane(environment, parent);
    case SettingsPane::quickApps:
        return new QuickAppsPane(environment, parent);
    }
    return new UnbuiltPane(pane, parent);
}

QString UnbuiltPane::heading()
{
    return QStringLiteral("Not built yet");
}

QString UnbuiltPane::sentence(SettingsPane pane)
{
    const std::string_view name = title(pane);
    return QString::fromUtf8(name.data(), qsizetype(name.size())) +
           QStringLiteral(" lands in a later wave. The pane structure is in place so it can be filled in without "
                          "touching the shell.");
}

UnbuiltPane::UnbuiltPane(SettingsPane pane, QWidget* parent) : SettingsPaneView(pane, parent), m_inputs(AboutPaneInputs{pane})
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsCard;
    auto* stack = new QWidget;
    auto* texts = new QVBoxLayout(stack);
    texts->setContentsMargins(14, 14, 14, 14);
    texts->setSpacing(6);
    texts->addWidget(new SettingsText(heading(), Vude::Type_::settingsRow, Vude::Stone::x100));
    texts->addWidget(new SettingsText(sentence(pane), Vude::Type_::settingsFootnote, Vude::Stone::x400));
    card->addRow(stack);
    layout->addWidget(card);
}

void UnbuiltPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = inputs;
    ++m_bindCount;
}
