// The start-up bench's peer: the least a Qt program does to put a frameless
// window at the top of the screen. It links Qt Widgets and nothing else, so
// its start is what any Qt window pays.
#include <QApplication>
#include <QPainter>
#include <QWidget>

namespace {

class Panel final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Panel panel;
    panel.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint);
    panel.setAttribute(Qt::WA_TranslucentBackground);
    panel.resize(200, 32);
    panel.move(620, 0);
    panel.show();
    return app.exec();
}
