#include "Vude/Desk/TrayDragHandle.h"

#include "Platform/Desktop/TypeIcon.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

#include <cmath>

namespace {

QPixmap dragPicture(const NotchTrayItem& item, qreal devicePixelRatio)
{
    const int pixels = int(std::ceil(TrayDragHandle::iconSize * devicePixelRatio));
    QImage image;
    if (const auto icon = TypeIcon::image(item.type, pixels))
        image = *icon;
    if (image.isNull())
        image = SymbolCatalog::image(item.isDirectory ? "folder.fill" : "doc.fill", TrayDragHandle::iconSize,
                                     toQColor(Vude::Stone::x200), devicePixelRatio);
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(double(pixmap.width()) / TrayDragHandle::iconSize);
    return pixmap;
}

} // namespace

TrayDragHandle::TrayDragHandle(const DeskEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::OpenHandCursor);
}

void TrayDragHandle::set(std::vector<NotchTrayItem> items, std::function<void()> onMoved, bool copyByDefault)
{
    m_items = std::move(items);
    m_onMoved = std::move(onMoved);
    m_copyByDefault = copyByDefault;
}

void TrayDragHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressedAt = event->position().toPoint();
    event->accept();
}

void TrayDragHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressedAt || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    if ((event->position().toPoint() - *m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressedAt.reset();
    // The modifiers of this event decide; pressing or releasing Alt later
    // in the drag changes nothing.
    startDrag(event->modifiers());
}

void TrayDragHandle::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressedAt.reset();
    event->ignore(); // a click goes on to the chip
}

Qt::DropAction TrayDragHandle::startDrag(Qt::KeyboardModifiers modifiers)
{
    if (m_items.empty())
        return Qt::IgnoreAction;
    const bool move = isMove(m_copyByDefault, modifiers.testFlag(Qt::AltModifier));
    const Qt::DropAction chosen = move ? Qt::MoveAction : Qt::CopyAction;

    // Copied: the handle may be deleted while the drag runs.
    const std::vector<NotchTrayItem> items = m_items;
    const std::function<void()> onMoved = m_onMoved;
    NotificationCenter& notifications = m_environment.notifications;
    const DeskEnvironment::DragExecutor executor = m_environment.dragExecutor;

    QList<QUrl> urls;
    for (const NotchTrayItem& item : items)
        urls.push_back(QUrl::fromLocalFile(QFile::decodeName(item.storedPath.c_str())));
    // Not the handle's: it may go during the drag, and on X11 the receiver
    // reads the files from the drag after exec() returned. Qt deletes a drag
    // it ran once the receiver is done; one the executor ran goes later.
    auto* drag = new QDrag(QCoreApplication::instance());
    auto* data = new QMimeData;
    data->setUrls(urls);
    drag->setMimeData(data);
    const QPixmap picture = dragPicture(items.front(), devicePixelRatioF());
    if (!picture.isNull()) {
        drag->setPixmap(picture);
        drag->setHotSpot(QPoint(iconSize / 2, iconSize / 2));
    }

    notifications.post(trayDragChanged, {{sourcingKey, true}});
    Qt::DropAction performed = Qt::IgnoreAction;
    if (executor) {
        performed = executor(*drag, chosen, chosen);
        drag->deleteLater();
    } else {
        performed = drag->exec(chosen, chosen);
    }
    notifications.post(trayDragChanged, {{sourcingKey, false}});
    if (reportsMove(move, performed, items.size()) && onMoved)
        onMoved();
    return performed;
}
