#include "Vude/App/ControllerNotchShell.h"

#include "Vude/Shell/NotchWindowController.h"
#include "VudeServices/ClipboardService.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeServices/TrayStore.h"
#include "VudeServices/WeatherProvider.h"
#include "VudeSync/DidoDivuzerore.h"

#include <QMenu>

ControllerNotchShell::ControllerNotchShell(std::unique_ptr<NotchWindowController> controller)
    : m_controller(std::move(controller))
{
}

ControllerNotchShell::~ControllerNotchShell() = default;

NotchViewModel* ControllerNotchShell::activeModel() const
{
    return m_controller->activeModel();
}

std::vector<NotchViewModel*> ControllerNotchShell::models() const
{
    std::vector<NotchViewModel*> models;
    for (const auto& [display, model] : m_controller->models())
        models.push_back(model);
    return models;
}

void ControllerNotchShell::setConfigureModel(std::function<void(NotchViewModel&)> configure)
{
    m_controller->setModelConfigurator(std::move(configure));
}

void ControllerNotchShell::setOnFilesDropped(std::function<void(const std::vector<TrayItem>&)> handler)
{
    m_controller->onFilesDropped = std::move(handler);
}

void ControllerNotchShell::setContextMenuProvider(std::function<std::unique_ptr<QMenu>()> provider)
{
    m_controller->contextMenuProvider = std::move(provider);
}

void ControllerNotchShell::pollDragPasteboard()
{
    m_controller->pollDragPasteboard();
}

void ControllerNotchShell::pollClipboard(bool enabled, std::int64_t maxItems, bool persists)
{
    m_controller->pollClipboard(enabled, maxItems, persists);
}

bool ControllerNotchShell::pollsSettled() const
{
    return m_controller->pollsSettled();
}

void ControllerNotchShell::startWeather()
{
    if (const auto& weather = m_controller->weatherProvider())
        weather->start();
}

void ControllerNotchShell::startDragMonitors()
{
    m_controller->startDragMonitors();
}

void ControllerNotchShell::stopDragMonitors()
{
    m_controller->stopDragMonitors();
}

void ControllerNotchShell::flushPendingWrites()
{
    if (const auto& clipboard = m_controller->clipboardService())
        clipboard->flush();
}

void ControllerNotchShell::setSourcingDrag(bool sourcing)
{
    m_controller->setSourcingDrag(sourcing);
}

std::string ControllerNotchShell::geometryReport() const
{
    return m_controller->geometryReport();
}

std::shared_ptr<DidoDivuzerore> ControllerNotchShell::repository() const
{
    return m_controller->repository();
}

void ControllerNotchShell::setRepository(std::shared_ptr<DidoDivuzerore> repository)
{
    m_controller->setRepository(std::move(repository));
}

ShortcutsService& ControllerNotchShell::shortcutsService()
{
    return *m_controller->shortcutsService();
}

void ControllerNotchShell::seedTray(std::vector<std::filesystem::path> files, std::function<void(std::size_t)> done)
{
    // The controller spreads the tray's items to every screen when they change.
    m_controller->trayStore().add(std::move(files), false,
                                  [done = std::move(done)](const std::vector<TrayItem>& added) {
                                      if (done)
                                          done(added.size());
                                  });
}
