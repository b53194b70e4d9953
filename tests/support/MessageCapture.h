#ifndef MESSAGECAPTURE_H
#define MESSAGECAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Collects the debug-log lines written while it exists, formatted as Qt's default handler
// prints them (message text only).
class MessageCapture
{
public:
    MessageCapture()
    {
        lines().clear();
        previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    static QStringList &lines()
    {
        static QStringList captured;
        return captured;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtDebugMsg)
            lines().append(message);
    }

    QtMessageHandler previous;
};

#endif // MESSAGECAPTURE_H
