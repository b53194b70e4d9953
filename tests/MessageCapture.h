#ifndef MESSAGECAPTURE_H
#define MESSAGECAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Collects the debug-log lines (or the lines of another type) written while it exists,
// formatted as Qt's default handler prints them (message text only).
class MessageCapture
{
public:
    explicit MessageCapture(QtMsgType type = QtDebugMsg)
    {
        lines().clear();
        kept() = type;
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
    static QtMsgType &kept()
    {
        static QtMsgType type = QtDebugMsg;
        return type;
    }

    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == kept())
            lines().append(message);
    }

    QtMessageHandler previous;
};

#endif // MESSAGECAPTURE_H
