#include "BusProbe.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket named by the first unix entry of an address: its path, with a leading '\0' for an
// abstract one; empty when the address names none.
QByteArray socketName(const QString &address)
{
    for (const QString &entry : address.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!entry.startsWith(QLatin1String("unix:")))
            continue;
        for (const QString &pair : entry.mid(5).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QByteArray value =
                QByteArray::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
            if (pair.startsWith(QLatin1String("path=")))
                return value;
            if (pair.startsWith(QLatin1String("abstract=")))
                return '\0' + value;
        }
    }
    return QByteArray();
}

// A connected, non-blocking socket; -1 when nothing listens there.
int connectTo(const QByteArray &name)
{
    sockaddr_un socketAddress {};
    if (size_t(name.size()) >= sizeof socketAddress.sun_path)
        return -1;
    socketAddress.sun_family = AF_UNIX;
    std::memcpy(socketAddress.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()));
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&socketAddress), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A connection to the daemon that has sent the credentials byte and the first step of the
// authentication every daemon offers; -1 when nothing listens there.
int connectAndGreet(const QByteArray &name)
{
    const int fd = connectTo(name);
    if (fd < 0)
        return -1;
    const QByteArray greeting =
        QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n";
    if (::send(fd, greeting.constData(), size_t(greeting.size()), MSG_NOSIGNAL) != greeting.size()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

BusProbe::Answer BusProbe::ask(const QString &address, int boundMs)
{
    const QByteArray name = socketName(address);
    if (name.isEmpty())
        return Answer::Answered;
    const int fd = connectAndGreet(name);
    if (fd < 0)
        return Answer::Refused;
    Answer answer = Answer::Refused;
    pollfd wait {fd, POLLIN, 0};
    char reply[64];
    const int ready = ::poll(&wait, 1, boundMs);
    if (ready == 0)
        answer = Answer::Silent;
    else if (ready > 0 && ::recv(fd, reply, sizeof reply, MSG_DONTWAIT) > 0)
        answer = Answer::Answered;
    ::close(fd);
    return answer;
}

BusProbe::BusProbe(const QString &address, QObject *parent)
    : QObject(parent)
    , address(address)
{
}

BusProbe::~BusProbe()
{
    if (socket >= 0)
        ::close(socket);
}

QString BusProbe::systemBusAddress()
{
    const QString given = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return given.isEmpty() ? QStringLiteral("unix:path=/var/run/dbus/system_bus_socket") : given;
}

void BusProbe::start()
{
    const QByteArray name = socketName(address);
    if (name.isEmpty()) {
        finish(Answer::Answered);
        return;
    }
    socket = connectAndGreet(name);
    if (socket < 0) {
        finish(Answer::Refused);
        return;
    }
    notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &BusProbe::readAnswer);
    bound = new QTimer(this);
    bound->setSingleShot(true);
    // A busy start may hold the event loop past the bound while the answer waits: looked for once more.
    connect(bound, &QTimer::timeout, this, [this] {
        readAnswer();
        finish(Answer::Silent);
    });
    bound->start(BoundMs);
}

void BusProbe::readAnswer()
{
    char answer[64];
    const ssize_t read = ::recv(socket, answer, sizeof answer, MSG_DONTWAIT);
    // Any answer, a refusal included, is a daemon at work; an end of the connection is not.
    if (read > 0)
        finish(Answer::Answered);
    else if (read == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
        finish(Answer::Refused);
}

void BusProbe::finish(Answer answer)
{
    if (done)
        return;
    done = true;
    if (notifier)
        notifier->setEnabled(false);
    if (bound)
        bound->stop();
    if (socket >= 0) {
        ::close(socket);
        socket = -1;
    }
    Q_EMIT finished(answer);
}
