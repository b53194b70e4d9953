#include "OverlayBus.h"

#include "BusLogging.h"
#include "OverlayBusService.h"
#include "SessionBus.h"
#include "channel/ChannelNames.h"

#include <QThread>

#include <utility>

OverlayBus::OverlayBus(Handlers handlers, QObject *parent)
    : QObject(parent)
    , handlers(std::move(handlers))
    , thread(new QThread(this))
    , service(new OverlayBusService)
{
    thread->setObjectName(QStringLiteral("session bus"));
    service->moveToThread(thread);
    // Gone with the thread's end, on the thread itself, which handles nothing after that.
    connect(thread, &QThread::finished, service, &QObject::deleteLater);
    // Queued to this thread, whatever the service's thread does meanwhile.
    connect(service, &OverlayBusService::reportArrived, this,
        [this](quint32 parameter) { this->handlers.report(parameter); });
    connect(service, &OverlayBusService::showRequested, this, [this] { this->handlers.show(); });
    connect(service, &OverlayBusService::updateRequested, this, [this] { this->handlers.update(); });
    connect(service, &OverlayBusService::quitRequested, this, [this] { this->handlers.quit(); });
    connect(service, &OverlayBusService::busLost, this, &OverlayBus::busLost);
}

OverlayBus::~OverlayBus()
{
    if (!thread->isRunning()) {
        delete service;
        return;
    }
    thread->quit();
    thread->wait();
}

OverlayBus::Name OverlayBus::publish()
{
    // No session bus: the other channels carry the reports, as they always have.
    if (!SessionBus::provided())
        return Name::Unavailable;
    thread->start();
    Name name = Name::Unavailable;
    QMetaObject::invokeMethod(service, &OverlayBusService::publish, Qt::BlockingQueuedConnection, &name);
    return name;
}

void OverlayBus::waitForName()
{
    qCWarning(lcBus).noquote() << QStringLiteral(
        "%1 is taken on the session bus; reports arrive over X11 until it is free")
                                      .arg(QLatin1String(ChannelNames::BusService));
}

void OverlayBus::setCurrentMode(int mode)
{
    service->setCurrentMode(uchar(mode));
}

void OverlayBus::rejoinWhenBack()
{
    QMetaObject::invokeMethod(service, &OverlayBusService::rejoinWhenBack, Qt::QueuedConnection);
}
