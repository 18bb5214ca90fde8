// Real windows for the notch panel's system test, run as a child process on
// the test's private X server (Qt's xcb platform, which the offscreen test
// program cannot use). One line per event on standard output:
//   notch-x-helper panel   a notch panel at 440,0 (400 x 120) whose notch
//                          (100,0 200 x 40) reports clicks and drops;
//                          reads "arm" and "quit" on standard input
//   notch-x-helper drag FILE
//                          a window at 100,400 (100 x 100) that drags FILE
//                          when pressed, and says how the drop went
//   notch-x-helper model   a notch view model with its panel, its 200 x 32
//                          handler centred at the top of a 1280-wide screen;
//                          says "state KIND" on every change, "click X Y" for
//                          clicks and "wheel X Y DY" for every wheel notch
//                          seen elsewhere; reads "hide" and "quit"
//   notch-x-helper desk    the same model opened, its Desk a header band over
//                          a long list scrolled to its end; says "ready LX LY
//                          HX HY" with a point on the list and one on the
//                          header, "scroll DX DY" for every wheel step that
//                          reaches the hosting view, "state KIND" on changes
//   notch-x-helper controller
//                          the window controller over every screen, its drag
//                          monitors and a 0.25 s tick polling drags; says
//                          "panels N" whenever the count changes, "armed
//                          true|false", "tray NAME" for every file a drop
//                          adds and "state KIND" of the model it went to,
//                          and "hovered LANE" (a lane's id, or "none") as a
//                          drag moves over the lanes
//   notch-x-helper typing STORE
//                          the window controller with the to-do and notes
//                          widgets over a repository in the folder STORE,
//                          the Desk opened; says "ready CX CY NX NY" with a
//                          point on the to-do composer and one on the notes
//                          editor once it has settled, "todos T1|T2..." and
//                          "note TEXT" (line breaks as "\\n") whenever the
//                          repository publishes them, "state KIND" on changes
//   notch-x-helper tray FILE copy|move
//                          a tray holding a copy of FILE, copying (or moving)
//                          on a plain drag out, at 100,100; says "ready X Y"
//                          (the chip's tile), "sourcing true|false", "moved"
//                          and "entries N" after a move; reads "copy" (the
//                          chip's Copy, then "copied"), "sweep" (then
//                          "swept N") and "quit"
//   notch-x-helper receive DIR
//                          a window at 800,100 (200 x 200) that takes dropped
//                          files into DIR as a file manager would, by the
//                          offered action; says "ready X Y" and "received
//                          copy|move NAME"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Desktop/QtPasteboard.h"
#include "Platform/Input/XcbConnection.h"
#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"
#include "Platform/Network/FakeWeatherService.h"
#include "Platform/Shell/InputShaper.h"
#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Desk/NotesWidget.h"
#include "Vude/Desk/RavoView.h"
#include "Vude/Desk/RavoViewFactory.h"
#include "Vude/Desk/TodoWidget.h"
#include "Vude/Desk/TrayChip.h"
#include "Vude/Desk/TrayDragHandle.h"
#include "Vude/Desk/TrayWidget.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "Vude/Shell/NotchHostingView.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchRootView.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/NotchWindowController.h"
#include "Vude/Shell/ShellPlatform.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "VudeServices/LocationProvider.h"
#include "VudeServices/ScreenGeometryResolver.h"
#include "VudeServices/TrayStore.h"
#include "VudeServices/WeatherProvider.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeUI/qt/QtTextMeasurer.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QMimeData>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

#include <iostream>
#include <string>

namespace {

void say(const QString& line) { std::cout << line.toStdString() << std::endl; }

class ClickReporter final : public QWidget {
protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        say(QStringLiteral("click %1 %2").arg(event->position().x()).arg(event->position().y()));
    }
};

class DragSource final : public QWidget {
public:
    explicit DragSource(QString file) : m_file(std::move(file)) {}

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction);
        say(action == Qt::CopyAction ? "dropped copy" : action == Qt::IgnoreAction ? "dropped none" : "dropped other");
    }

private:
    QString m_file;
};

/// Says `line` once `window` is on screen and the server has seen it all.
void announceWhenShown(QWidget& window, const QString& line)
{
    auto* timer = new QTimer(&window);
    QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, line] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            return;
        timer->stop();
        syncWithQtConnection();
        say(line);
    });
    timer->start(20);
}

int runPanel(QApplication& app)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return 2;
    SystemShellPlatform system(connection.get());
    system.watchBuses();
    QtScheduler scheduler;
    SystemClock clock;
    NotchPanel panel(system.platform(), {400, 120});
    auto* host = new NotchHostingView(system.platform(), scheduler, clock);
    host->setRootView(new ClickReporter);
    host->setInteractiveRect({100, 0, 200, 40});
    host->setDropRect({0, 0, 400, 120});
    host->registerDropTypes();
    host->onDragEntered = [](const QList<QUrl>& urls) { say("entered " + QString::number(urls.size())); };
    host->onDragMoved = [](Point point) { say(QStringLiteral("moved %1 %2").arg(point.x).arg(point.y)); };
    host->onDrop = [](const QList<QUrl>& urls, Point point) {
        for (const QUrl& url : urls)
            say(QStringLiteral("drop %1 at %2 %3").arg(url.toString()).arg(point.x).arg(point.y));
        return !urls.isEmpty();
    };
    panel.setContentView(host);
    panel.setDrawnCanvas({224, 38});
    panel.setFrame({440, 0, 400, 120});
    panel.orderFront();
    panel.syncBackdrop();
    // Make sure the shape and stacking requests of our own connection are
    // done before the test looks.
    connection->roundTrip();
    announceWhenShown(panel, QStringLiteral("ready %1 %2").arg(panel.winId()).arg(panel.backdrop().winId()));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit") {
            app.quit();
            return;
        }
        if (command == "arm") {
            panel.setLevel(NotchPanel::dragLevel);
            host->setArmed(true);
            panel.syncBackdrop();
            connection->roundTrip();
            syncWithQtConnection();
            say("armed");
        }
    });
    return app.exec();
}

int runModel(QApplication& app)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return 2;
    SystemShellPlatform system(connection.get());
    system.watchBuses();
    const ShellPlatform platform = system.platform();
    QtScheduler scheduler;
    SystemClock clock;
    QtTextMeasurer measurer;
    SettingsStore settings(std::make_shared<InMemoryUserDefaults>());
    const std::vector<ScreenDescription> screens = platform.screens.screens();
    if (screens.empty())
        return 2;
    const NotchGeometry geometry = ScreenGeometryResolver::geometry(
        screens.front(), ScreenCoordinates::forScreens(screens), 0, 0, {200, 32}, [] { return std::string(); });

    NotchPanel panel(platform, {200, 60});
    auto* host = new NotchHostingView(platform, scheduler, clock);
    host->setRootView(new ClickReporter);
    panel.setContentView(host);
    NotchViewModel model(geometry, settings, platform, scheduler, clock, measurer);
    model.setPanel(&panel);
    // As the window controller wires it.
    model.onGeometryChange = [&] { host->setInteractiveRect(model.currentInteractiveRect()); };
    static const char* const kinds[] = {"peek", "activity", "activityExpanded", "open", "hidden", "closed",
                                        "dropTarget"};
    // Queued: the model tells its geometry after the state, and the shape
    // must be on the server before the test hears of the state.
    QObject::connect(
        &model, &NotchViewModel::stateChanged, &app,
        [&] {
            connection->roundTrip();
            syncWithQtConnection();
            say(QStringLiteral("state ") + kinds[int(model.state().kind())]);
        },
        Qt::QueuedConnection);
    platform.mouseMonitor.addGlobalMonitor(mouseEventMask(MouseEventType::scrollWheel), [](const MouseEvent& event) {
        say(QStringLiteral("wheel %1 %2 %3").arg(event.location.x).arg(event.location.y).arg(event.deltaY));
    });
    model.placePanel(model.currentCanvasSize());
    panel.orderFront();
    host->setInteractiveRect(model.currentInteractiveRect());
    connection->roundTrip();
    announceWhenShown(panel, QStringLiteral("ready %1").arg(panel.winId()));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit") {
            app.quit();
            return;
        }
        if (command == "hide")
            model.send(NotchEvent::toggleHidden());
    });
    return app.exec();
}

/// Stands in for an open Desk: a 60-point header band, and under it a list
/// far longer than its room.
class ListDesk final : public QWidget {
public:
    explicit ListDesk(QWidget* parent) : QWidget(parent), m_list(new KeyedRowList<int, QWidget>(this))
    {
        std::vector<int> rows(40);
        for (int i = 0; i < 40; ++i)
            rows[std::size_t(i)] = i;
        m_list->setItems(
            rows, [](int row) { return row; },
            [](int, QWidget* parent) {
                auto* row = new QWidget(parent);
                row->setFixedHeight(20);
                return row;
            },
            [](QWidget&, int) {});
    }
    QScrollBar* bar() const { return m_list->verticalScrollBar(); }
    QWidget* list() const { return m_list; }

protected:
    void resizeEvent(QResizeEvent*) override { m_list->setGeometry(0, 60, width(), std::max(0, height() - 70)); }

private:
    KeyedRowList<int, QWidget>* m_list;
};

int runDesk(QApplication& app)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return 2;
    SystemShellPlatform system(connection.get());
    system.watchBuses();
    const ShellPlatform platform = system.platform();
    QtScheduler scheduler;
    SystemClock clock;
    SteadyClock steady;
    QtTextMeasurer measurer;
    SettingsStore settings(std::make_shared<InMemoryUserDefaults>());
    const std::vector<ScreenDescription> screens = platform.screens.screens();
    if (screens.empty())
        return 2;
    const NotchGeometry geometry = ScreenGeometryResolver::geometry(
        screens.front(), ScreenCoordinates::forScreens(screens), 0, 0, {200, 32}, [] { return std::string(); });

    // The model outlives the panel and the views in it, which read it.
    NotchViewModel model(geometry, settings, platform, scheduler, clock, measurer);
    NotchPanel panel(platform, {200, 60});
    auto* host = new NotchHostingView(platform, scheduler, steady);
    auto* root = new NotchRootView(model, scheduler, steady);
    QPointer<ListDesk> desk;
    root->setDeskViewFactory([&desk](RiziDar, NotchViewModel&, QWidget* parent) {
        desk = new ListDesk(parent);
        return desk.data();
    });
    host->setRootView(root);
    panel.setContentView(host);
    model.setPanel(&panel);
    // As the window controller wires them.
    model.onGeometryChange = [&] { host->setInteractiveRect(model.currentInteractiveRect()); };
    host->onScroll = [&](double dx, double dy, SwipePhase phase) {
        say(QStringLiteral("scroll %1 %2").arg(dx).arg(dy));
        model.handleScroll(dx, dy, phase);
    };
    static const char* const kinds[] = {"peek", "activity", "activityExpanded", "open", "hidden", "closed",
                                        "dropTarget"};
    QObject::connect(
        &model, &NotchViewModel::stateChanged, &app,
        [&] { say(QStringLiteral("state ") + kinds[int(model.state().kind())]); }, Qt::QueuedConnection);
    model.placePanel(model.currentCanvasSize());
    panel.orderFront();
    host->setInteractiveRect(model.currentInteractiveRect());
    model.send(NotchEvent::click());

    // Once the Desk has settled: the list at its end, and where to point.
    auto* settled = new QTimer(&panel);
    QObject::connect(settled, &QTimer::timeout, &app, [&, settled] {
        if (!desk || !panel.windowHandle() || !panel.windowHandle()->isExposed() || root->isAnimating())
            return;
        settled->stop();
        desk->bar()->setValue(desk->bar()->maximum());
        connection->roundTrip();
        syncWithQtConnection();
        const QPoint list = desk->list()->mapToGlobal(desk->list()->rect().center());
        const QPoint header = desk->mapToGlobal(QPoint(desk->width() / 2, 20));
        say(QStringLiteral("ready %1 %2 %3 %4 %5")
                .arg(list.x())
                .arg(list.y())
                .arg(header.x())
                .arg(header.y())
                .arg(desk->bar()->value() == desk->bar()->maximum() && desk->bar()->maximum() > 0 ? "end" : "not-end"));
    });
    settled->start(50);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit") {
            app.quit();
            return;
        }
        if (command == "where" && desk)
            say(QStringLiteral("list %1 of %2").arg(desk->bar()->value()).arg(desk->bar()->maximum()));
    });
    return app.exec();
}

int runDrag(QApplication& app, const QString& file)
{
    DragSource source(file);
    source.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    source.setGeometry(100, 400, 100, 100);
    source.show();
    announceWhenShown(source, "ready");
    return app.exec();
}

int runController(QApplication& app)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return 2;
    SystemShellPlatform system(connection.get());
    system.watchBuses();
    QtScheduler scheduler;
    SystemClock clock;
    SteadyClock steady;
    QtTextMeasurer measurer;
    FakePasteboard pasteboard;
    FakeApplicationCatalog catalog;
    SettingsStore settings(std::make_shared<InMemoryUserDefaults>());
    NotchWindowControllerEnvironment environment{settings, system.platform(), scheduler, clock,
                                                 steady,   measurer,          pasteboard};
    environment.applicationCatalog = &catalog;
    environment.makeClipboardService = false;
    environment.trace = [](const std::string& line) {
        if (line.starts_with("drag armed="))
            say(QStringLiteral("armed ") + QString::fromStdString(line.substr(11)));
    };
    environment.makeLocationProvider = [&] {
        return std::make_unique<LocationProvider>(std::make_unique<FakeLocationBackend>(),
                                                  std::make_unique<FakeReverseGeocoder>(), clock, scheduler);
    };
    environment.makeWeatherProvider = [&](LocationProvider& locations) {
        return std::make_unique<WeatherProvider>(locations, std::make_unique<FakeWeatherService>(), clock,
                                                 scheduler);
    };
    NotchWindowController controller(std::move(environment));
    static const char* const kinds[] = {"peek", "activity", "activityExpanded", "open", "hidden", "closed",
                                        "dropTarget"};
    controller.onFilesDropped = [&](const std::vector<TrayItem>& added) {
        for (const TrayItem& item : added)
            say(QStringLiteral("tray ") + QString::fromStdString(item.displayName));
        if (NotchViewModel* model = controller.activeModel())
            say(QStringLiteral("state ") + kinds[int(model->state().kind())]);
    };
    for (const auto& [display, model] : controller.models()) {
        QObject::connect(model, &NotchViewModel::hoveredLaneChanged, &app, [model = model] {
            const std::optional<int> index = model->hoveredLane();
            const auto& lanes = model->dragLanes();
            const bool known = index && *index >= 0 && std::size_t(*index) < lanes.size();
            const std::string_view id = known ? lanes[std::size_t(*index)].id() : std::string_view("none");
            say(QStringLiteral("hovered ") + QString::fromUtf8(id.data(), qsizetype(id.size())));
        });
    }
    controller.startDragMonitors();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] { controller.pollDragPasteboard(); });
    tick.start(250);
    std::size_t panels = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        if (controller.panels().size() == panels)
            return;
        panels = controller.panels().size();
        connection->roundTrip();
        syncWithQtConnection();
        say(QStringLiteral("panels %1").arg(panels));
    });
    watch.start(50);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit")
            app.quit();
    });
    return app.exec();
}

int runTyping(QApplication& app, const QString& folder)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return 2;
    SystemShellPlatform system(connection.get());
    system.watchBuses();
    QtScheduler scheduler;
    SystemClock clock;
    SteadyClock steady;
    QtTextMeasurer measurer;
    FakePasteboard pasteboard;
    FakeApplicationCatalog catalog;
    SettingsStore settings(std::make_shared<InMemoryUserDefaults>());
    for (WidgetID id : allCases<WidgetID>())
        settings.setWidget(id, id == WidgetID::todos || id == WidgetID::notes);

    ModelConfiguration configuration;
    configuration.url = std::filesystem::path(folder.toStdString()) / "Vude.store";
    auto container = ModelContainer::open(configuration);
    if (!container)
        return 2;
    auto repository = std::make_shared<DidoDivuzerore>((*container)->makeContext(), "Test computer", clock);
    QObject::connect(repository.get(), &DidoDivuzerore::todosChanged, &app, [&] {
        QStringList titles;
        for (const TodoSnapshot& todo : repository->todos())
            titles << QString::fromStdString(todo.title);
        say(QStringLiteral("todos ") + titles.join('|'));
    });
    QObject::connect(repository.get(), &DidoDivuzerore::noteTextChanged, &app, [&] {
        say(QStringLiteral("note ") + QString::fromStdString(repository->noteText()).replace('\n', "\\n"));
    });

    NotchWindowControllerEnvironment environment{settings, system.platform(), scheduler, clock,
                                                 steady,   measurer,          pasteboard};
    environment.applicationCatalog = &catalog;
    environment.makeClipboardService = false;
    environment.makeLocationProvider = [&] {
        return std::make_unique<LocationProvider>(std::make_unique<FakeLocationBackend>(),
                                                  std::make_unique<FakeReverseGeocoder>(), clock, scheduler);
    };
    environment.makeWeatherProvider = [&](LocationProvider& locations) {
        return std::make_unique<WeatherProvider>(locations, std::make_unique<FakeWeatherService>(), clock,
                                                 scheduler);
    };
    NotchWindowController controller(std::move(environment));
    controller.setRepository(repository);
    NotificationCenter notifications;
    const ShellPlatform platform = system.platform();
    DeskEnvironment desk{{scheduler, steady, nullptr}, clock, notifications, &platform.haptics};
    QPointer<RavoView> shown;
    controller.setDeskViewFactory([&, factory = ravoViewFactory(desk)](RiziDar tab, NotchViewModel& model,
                                                                      QWidget* parent) {
        QWidget* made = factory(tab, model, parent);
        shown = qobject_cast<RavoView*>(made);
        return made;
    });
    NotchViewModel* model = controller.activeModel();
    if (!model)
        return 2;
    static const char* const kinds[] = {"peek", "activity", "activityExpanded", "open", "hidden", "closed",
                                        "dropTarget"};
    QObject::connect(
        model, &NotchViewModel::stateChanged, &app,
        [&] { say(QStringLiteral("state ") + kinds[int(model->state().kind())]); }, Qt::QueuedConnection);
    model->send(NotchEvent::click());

    auto* settled = new QTimer(&app);
    QObject::connect(settled, &QTimer::timeout, &app, [&, settled] {
        if (!shown || !shown->window()->windowHandle() || !shown->window()->windowHandle()->isExposed())
            return;
        auto* todos = dynamic_cast<TodoWidget*>(shown->widget(WidgetID::todos));
        auto* notes = dynamic_cast<NotesWidget*>(shown->widget(WidgetID::notes));
        if (!todos || !notes || !todos->isVisible() || !notes->isVisible())
            return;
        settled->stop();
        connection->roundTrip();
        syncWithQtConnection();
        const QPoint field = todos->composer()->mapToGlobal(todos->composer()->rect().center());
        const QPoint editor = notes->editor()->mapToGlobal(QPoint(20, 12));
        say(QStringLiteral("ready %1 %2 %3 %4").arg(field.x()).arg(field.y()).arg(editor.x()).arg(editor.y()));
    });
    // Once the opening animation has had its time.
    QTimer::singleShot(800, settled, [settled] { settled->start(50); });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit")
            app.quit();
    });
    return app.exec();
}

int runTray(QApplication& app, const QString& file, bool copyByDefault)
{
    QTemporaryDir folder;
    TrayStore::Options options;
    options.applicationSupport = folder.path().toStdString();
    TrayStore store("Vude", options);
    auto adapter = std::make_shared<TrayStoreAdapter>(store);
    store.add({file.toStdString()}, false);
    store.waitUntilIdle();
    if (store.items().size() != 1)
        return 3;

    QtScheduler scheduler;
    SteadyClock steady;
    SystemClock clock;
    NotificationCenter notifications;
    std::unique_ptr<QtPasteboard> pasteboard = QtPasteboard::forApplication();
    DeskEnvironment environment{{scheduler, steady, nullptr}, clock, notifications};
    environment.pasteboard = pasteboard.get();
    notifications.addObserver(TrayDragHandle::trayDragChanged, &app, [](const Notification& posted) {
        say(posted.userInfo.value("sourcing").toBool() ? "sourcing true" : "sourcing false");
    });

    QWidget window;
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(100, 100, 600, 160);
    window.setStyleSheet("background: black");
    auto* tray = new TrayWidget(environment, &window);
    tray->setGeometry(0, 0, 600, 160);
    // Bound as the Desk binds the tray, over the real store.
    std::function<void()> bind;
    bind = [&] {
        TrayBinding binding;
        binding.items = adapter->items();
        binding.store = adapter;
        binding.copyByDefault = copyByDefault;
        binding.onMoved = [&](const NotchTrayItem& item) {
            say("moved");
            adapter->removeEntry(item);
            say(QStringLiteral("entries %1").arg(adapter->items().size()));
        };
        binding.onCopy = [&](const NotchTrayItem& item) { pasteboard->writeFileURLs({item.storedPath}); };
        tray->bind(binding);
    };
    bind();
    QObject::connect(&store, &TrayStore::itemsChanged, &app, [&] { bind(); });
    window.show();
    auto* timer = new QTimer(&window);
    QObject::connect(timer, &QTimer::timeout, &window, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed() || tray->chips().empty())
            return;
        timer->stop();
        syncWithQtConnection();
        const QPoint tile = tray->chips()[0]->mapToGlobal(QPoint(tray->chips()[0]->width() / 2, 30));
        say(QStringLiteral("ready %1 %2").arg(tile.x()).arg(tile.y()));
    });
    timer->start(20);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit") {
            app.quit();
            return;
        }
        if (command == "copy" && !tray->chips().empty()) {
            const std::unique_ptr<QMenu> menu = tray->chips()[0]->contextMenu();
            for (QAction* action : menu->actions())
                if (action->text() == "Copy")
                    action->trigger();
            say("copied");
        } else if (command == "sweep") {
            store.sweep();
            store.waitUntilIdle();
            say(QStringLiteral("swept %1").arg(store.items().size()));
        }
    });
    return app.exec();
}

/// Takes dropped files in as a file manager does: copies them, or moves
/// them when a move is offered.
class DropReceiver final : public QWidget {
public:
    explicit DropReceiver(QString folder) : m_folder(std::move(folder)) { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        if (event->mimeData()->urls().isEmpty())
            say("failed no files");
        const bool move = event->proposedAction() == Qt::MoveAction;
        for (const QUrl& url : event->mimeData()->urls()) {
            const QString source = url.toLocalFile();
            const QString name = QFileInfo(source).fileName();
            const QString target = QDir(m_folder).filePath(name);
            const bool done = move ? (QFile::rename(source, target) || (QFile::copy(source, target) && QFile::remove(source)))
                                   : QFile::copy(source, target);
            say(done ? QStringLiteral("received %1 %2").arg(move ? "move" : "copy", name)
                     : QStringLiteral("failed %1 %2").arg(move ? "move" : "copy", source));
        }
        event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    }

private:
    QString m_folder;
};

int runReceive(QApplication& app, const QString& folder)
{
    DropReceiver receiver(folder);
    receiver.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    receiver.setGeometry(800, 100, 200, 200);
    receiver.show();
    announceWhenShown(receiver, QStringLiteral("ready %1 %2").arg(900).arg(200));
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit")
            app.quit();
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == "panel")
        return runPanel(app);
    if (arguments.value(1) == "drag" && arguments.size() == 3)
        return runDrag(app, arguments.value(2));
    if (arguments.value(1) == "model")
        return runModel(app);
    if (arguments.value(1) == "controller")
        return runController(app);
    if (arguments.value(1) == "desk")
        return runDesk(app);
    if (arguments.value(1) == "typing" && arguments.size() == 3)
        return runTyping(app, arguments.value(2));
    if (arguments.value(1) == "tray" && arguments.size() == 4)
        return runTray(app, arguments.value(2), arguments.value(3) == "copy");
    if (arguments.value(1) == "receive" && arguments.size() == 3)
        return runReceive(app, arguments.value(2));
    std::cerr << "usage: notch-x-helper panel | drag FILE | model | desk | controller | typing STORE"
                 " | tray FILE copy|move | receive DIR\n";
    return 2;
}
