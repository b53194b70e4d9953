#ifndef SELECTIONWATCH_H
#define SELECTIONWATCH_H

#include "app/QtApi.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

struct xcb_connection_t;

// Follows the owner of one X selection on the application's X connection. The X server tells of
// every change (XFixes selection events: a new owner, the owner's window destroyed, the owner's
// client gone), so nothing polls and nothing wakes while the owner stays.
class SelectionWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // Silent when the application has no X connection or the server lacks XFixes.
    explicit SelectionWatch(const QByteArray &selection, QObject *parent = nullptr);
    // The same on a connection other than the application's, which must outlive the watch and
    // whose events its reader hands to nativeEventFilter.
    SelectionWatch(
        xcb_connection_t *connection, quint32 root, const QByteArray &selection, QObject *parent = nullptr);
    ~SelectionWatch() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, NativeEventResult *result) override;

Q_SIGNALS:
    // The selection's new owner, a window id; 0 when nobody owns it any more.
    void ownerChanged(quint32 owner);

private:
    xcb_connection_t *connection = nullptr;
    quint32 selectionAtom = 0;
    // The events come to a window of the watch's own, so that two watches never share a request.
    quint32 window = 0;
    int notifyEvent = -1;
};

#endif // SELECTIONWATCH_H
