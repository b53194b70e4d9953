#ifndef MESSAGECAPTURE_H
#define MESSAGECAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Collects the log lines of one kind (debug unless told) written while it exists, formatted as
// Qt's default handler prints them (message text only).
class MessageCapture
{
public:
    explicit MessageCapture(QtMsgType kind = QtDebugMsg)
    {
        lines().clear();
        captured = kind;
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
    static inline QtMsgType captured = QtDebugMsg;

    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == captured)
            lines().append(message);
    }

    QtMessageHandler previous;
};

#endif // MESSAGECAPTURE_H
