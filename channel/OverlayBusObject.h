#ifndef OVERLAYBUSOBJECT_H
#define OVERLAYBUSOBJECT_H

#include "OverlayBusService.h"

#include <QDBusConnection>
#include <QObject>

// The object the overlay exports on the session bus (Linux). The adaptor generated from
// org.lumivane.Overlay1.xml forwards the interface's calls and its property here. Defined in
// OverlayBusService_linux.cpp, beside the service that owns it.
class OverlayBusObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uchar CurrentMode READ currentMode NOTIFY currentModeChanged)

public:
    explicit OverlayBusObject(OverlayBusService::Handlers handlers);

    uchar currentMode() const;

    void publish();
    void announceMode();

    // The interface's methods.
    bool Report(uint code);
    void Show();

Q_SIGNALS:
    void currentModeChanged(uchar mode);

private:
    void join();
    void takeName();
    void yieldToOverlay(QDBusConnection bus, const QString &service);
    void relayModeChange(uchar mode);

    OverlayBusService::Handlers handlers;
    bool published = false;
    uchar announced = 0;
};

#endif // OVERLAYBUSOBJECT_H
