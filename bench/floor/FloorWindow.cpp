#include "FloorWindow.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int Side = 176;
constexpr int HoldMs = 4000;

} // namespace

FloorWindow::FloorWindow()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    setGeometry((screen.width() - Side) / 2, (screen.height() - Side) / 2, Side, Side);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground, true);

    hideTimer.setSingleShot(true);
    connect(&hideTimer, &QTimer::timeout, this, &QWidget::hide);

    // The same contract as the overlay: reports go to the owner of the selection of this name.
    const WId window = winId();
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return;
    const char name[] = "WM_LUMIVANE_MESSAGE";
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, std::strlen(name), name), nullptr);
    if (!reply)
        return;
    channelAtom = reply->atom;
    std::free(reply);
    xcb_set_selection_owner(connection, static_cast<xcb_window_t>(window), channelAtom, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

void FloorWindow::receiveReport(quint32 parameter)
{
    const int mode = int((parameter >> 24) & 0xFF);
    const int red = int((parameter >> 16) & 0xFF);
    const int green = int((parameter >> 8) & 0xFF);
    const int blue = int(parameter & 0xFF);
    qDebug() << "mode:" << mode << ",R:" << red << ",G:" << green << ",B:" << blue;
    color = QColor(red, green, blue);
    if (isHidden())
        show();
    else
        update();
    hideTimer.start(HoldMs);
}

void FloorWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill = color;
    fill.setAlpha(230);
    painter.setBrush(fill);
    painter.drawEllipse(QRect(16, 16, 144, 144));
}

bool FloorWindow::nativeEvent(const QByteArray &eventType, void *message, long *)
{
    if (channelAtom == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto *clientMessage = reinterpret_cast<const xcb_client_message_event_t *>(event);
    if (clientMessage->format != 32 || clientMessage->type != channelAtom)
        return false;
    receiveReport(clientMessage->data.data32[0]);
    return true;
}
