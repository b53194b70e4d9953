#ifndef BUSREPORTSENDER_H
#define BUSREPORTSENDER_H

#include <QString>
#include <QtGlobal>

// Sends mode reports as calls of Report on the overlay's object on the session bus (Linux),
// which starts the overlay through the bus when none runs. Windows has no session bus.
class BusReportSender
{
public:
    // Whether a session bus answers.
    bool busAvailable();

    // False when no overlay could be reached or started; errorString() then says why.
    bool send(quint32 parameter);

    QString errorString() const { return error; }

private:
    QString error;
};

#endif // BUSREPORTSENDER_H
