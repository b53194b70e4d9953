#include "Subject.h"

#include "TrayHost.h"
#include "XServer.h"

#include "channel/ChannelNames.h"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

Subject::Subject(std::string label, std::string executable, std::vector<std::string> environment,
    XServer &server, TrayHost &tray, std::string workDirectory)
    : name(std::move(label))
    , executable(std::move(executable))
    , environment(std::move(environment))
    , server(server)
    , tray(tray)
    , workDirectory(std::move(workDirectory))
{
    channelAtom = server.atom(ChannelNames::Report);
    xcb_xfixes_select_selection_input(server.connection(), server.screen()->root, channelAtom,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(server.connection());
    for (const char *folder : {"/tmp", "/config", "/runtime"})
        mkdir((this->workDirectory + folder).c_str(), 0700);
    log = open(
        (this->workDirectory + "/" + name + ".log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

Subject::~Subject()
{
    stop();
    if (log >= 0)
        close(log);
}

void Subject::applyEnvironment(const std::vector<std::string> &changes) const
{
    setenv("DISPLAY", server.displayName().c_str(), 1);
    setenv("TMPDIR", (workDirectory + "/tmp").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (workDirectory + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (workDirectory + "/runtime").c_str(), 1);
    for (const auto *list : {&environment, &changes}) {
        for (const std::string &entry : *list) {
            const size_t equals = entry.find('=');
            if (equals == std::string::npos)
                unsetenv(entry.c_str());
            else
                setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
        }
    }
}

void Subject::start(const std::vector<std::string> &changes)
{
    tray.reset();
    owner = XCB_NONE;
    ownerSince.reset();
    isMapped = false;
    damageCount = 0;
    lines = 0;
    pending.clear();
    hit.reset();
    probeAccept = nullptr;

    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    started = Clock::now();
    pid = fork();
    if (pid == 0) {
        applyEnvironment(changes);
        dup2(channel[1], STDERR_FILENO);
        if (log >= 0)
            dup2(log, STDOUT_FILENO);
        execl(executable.c_str(), executable.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    output = channel[0];
    fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
}

void Subject::stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        readOutput();
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    readOutput();
    close(output);
    output = -1;
    pid = -1;
}

void Subject::readOutput()
{
    if (output < 0)
        return;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(output, buffer, sizeof buffer);
        if (count <= 0)
            break;
        if (log >= 0 && write(log, buffer, size_t(count)) < 0)
            log = -1;
        pending.append(buffer, size_t(count));
    }
    size_t begin = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', begin)) {
        if (pending.compare(begin, 6, "mode: ") == 0)
            ++lines;
        begin = end + 1;
    }
    pending.erase(0, begin);
}

bool Subject::handleEvent(const xcb_generic_event_t *event, TimePoint at)
{
    xcb_connection_t *connection = server.connection();
    const uint8_t type = event->response_type & 0x7f;
    if (type == server.xfixesEventBase() + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
        if (notify->selection != channelAtom)
            return false;
        owner = notify->owner;
        isMapped = false;
        if (owner == XCB_NONE)
            return true;
        ownerSince = at;
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, owner, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(connection, xcb_generate_id(connection), owner, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(connection);
        return true;
    }
    if (owner == XCB_NONE)
        return false;
    if (type == XCB_MAP_NOTIFY && reinterpret_cast<const xcb_map_notify_event_t *>(event)->window == owner) {
        isMapped = true;
        return true;
    }
    if (type == XCB_UNMAP_NOTIFY &&
        reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window == owner) {
        isMapped = false;
        return true;
    }
    if (type == server.damageEventBase() + XCB_DAMAGE_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_damage_notify_event_t *>(event);
        if (notify->drawable != owner)
            return false;
        ++damageCount;
        xcb_damage_subtract(connection, notify->damage, XCB_NONE, XCB_NONE);
        xcb_flush(connection);
        uint32_t value = 0;
        if (probeAccept && !hit && readPixel(probePoint.first, probePoint.second, &value) &&
            probeAccept(value))
            hit = at;
        return true;
    }
    return false;
}

void Subject::sendMany(const std::vector<uint32_t> &parameters)
{
    xcb_connection_t *connection = server.connection();
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = owner;
    message.type = channelAtom;
    for (const uint32_t parameter : parameters) {
        message.data.data32[0] = parameter;
        xcb_send_event(
            connection, false, owner, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
    }
    xcb_flush(connection);
}

void Subject::armProbe(int x, int y, std::function<bool(uint32_t)> accept)
{
    probePoint = {x, y};
    probeAccept = std::move(accept);
    hit.reset();
}

bool Subject::readPixel(int x, int y, uint32_t *value)
{
    return owner != XCB_NONE && server.pixel(owner, x, y, value);
}
