#pragma once
// The notch window controller as start-up sees it (NotchShell).

#include "Vude/App/NotchShell.h"

class NotchWindowController;

class ControllerNotchShell final : public NotchShell {
public:
    /// Owns the controller.
    explicit ControllerNotchShell(std::unique_ptr<NotchWindowController> controller);
    ~ControllerNotchShell() override;

    NotchWindowController& controller() const { return *m_controller; }

    NotchViewModel* activeModel() const override;
    std::vector<NotchViewModel*> models() const override;
    void setConfigureModel(std::function<void(NotchViewModel&)> configure) override;
    void setOnFilesDropped(std::function<void(const std::vector<TrayItem>&)> handler) override;
    void setContextMenuProvider(std::function<std::unique_ptr<QMenu>()> provider) override;
    void pollDragPasteboard() override;
    void pollClipboard(bool enabled, std::int64_t maxItems, bool persists) override;
    bool pollsSettled() const override;
    void startWeather() override;
    void startDragMonitors() override;
    void stopDragMonitors() override;
    void flushPendingWrites() override;
    void setSourcingDrag(bool sourcing) override;
    std::string geometryReport() const override;
    std::shared_ptr<DidoDivuzerore> repository() const override;
    void setRepository(std::shared_ptr<DidoDivuzerore> repository) override;
    ShortcutsService& shortcutsService() override;
    void seedTray(std::vector<std::filesystem::path> files, std::function<void(std::size_t)> done) override;

private:
    std::unique_ptr<NotchWindowController> m_controller;
};
