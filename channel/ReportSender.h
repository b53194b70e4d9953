#ifndef REPORTSENDER_H
#define REPORTSENDER_H

#include <QString>
#include <QtGlobal>

#include <memory>

// Sends mode reports to the running overlay the way a companion program does: one 32-bit
// parameter, mode << 24 | R << 16 | G << 8 | B, in the message named "WM_LUMIVANE_MESSAGE".
// On X11 it goes as a client message to the owner of the selection of that name when that is an
// overlay's window; on Windows as a broadcast of the registered window message, when the
// overlay's named mutex is held (ModeChannel::holder() answers on both).
class ReportSender
{
public:
    ReportSender();
    ~ReportSender();
    ReportSender(const ReportSender &) = delete;
    ReportSender &operator=(const ReportSender &) = delete;

    // Whether an overlay runs that a report would reach.
    bool overlayRunning();

    // False when no overlay could be reached; errorString() then says why.
    bool send(quint32 parameter);

    QString errorString() const { return error; }

private:
    struct Native;
    std::unique_ptr<Native> native;
    QString error;
};

#endif // REPORTSENDER_H
