#include "FloorWindow.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QIcon trayIcon()
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 40, 40));
    painter.setPen(QPen(QColor(220, 220, 220), 2));
    painter.drawEllipse(QRectF(2, 2, 18, 18));
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FloorWindow::useCaptionFont();
    FloorWindow window;
    QSystemTrayIcon tray(trayIcon());
    tray.show();
    return app.exec();
}
