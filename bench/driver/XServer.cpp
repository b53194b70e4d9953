#include "XServer.h"

#include "windowsystem/XAtom.h"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readDisplayNumber(int fd)
{
    std::string text;
    char buffer[32];
    for (;;) {
        pollfd entry {fd, POLLIN, 0};
        if (poll(&entry, 1, 30000) <= 0)
            throw std::runtime_error("Xvfb did not report its display in time");
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            throw std::runtime_error("Xvfb ended before it reported its display");
        text.append(buffer, size_t(count));
        if (text.find('\n') != std::string::npos)
            return text.substr(0, text.find('\n'));
    }
}

} // namespace

XServer::XServer(const std::string &logPath)
{
    int channel[2];
    if (pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    pid = fork();
    if (pid == 0) {
        close(channel[0]);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        const std::string fd = std::to_string(channel[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
            "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    try {
        name = ":" + readDisplayNumber(channel[0]);
    } catch (...) {
        close(channel[0]);
        throw;
    }
    close(channel[0]);

    conn = xcb_connect(name.c_str(), &screenIndex);
    if (xcb_connection_has_error(conn))
        throw std::runtime_error("cannot connect to " + name);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenIndex; ++i)
        xcb_screen_next(&screens);
    defaultScreen = screens.data;

    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(conn, &xcb_damage_id);
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(conn, &xcb_xfixes_id);
    if (!damage || !damage->present || !xfixes || !xfixes->present)
        throw std::runtime_error(name + " lacks the DAMAGE or XFIXES extension");
    damageBase = damage->first_event;
    xfixesBase = xfixes->first_event;
    // Both extensions answer nothing before the client has told them its version.
    std::free(xcb_xfixes_query_version_reply(conn, xcb_xfixes_query_version(conn, 5, 0), nullptr));
    std::free(xcb_damage_query_version_reply(conn, xcb_damage_query_version(conn, 1, 1), nullptr));
}

XServer::~XServer()
{
    if (conn)
        xcb_disconnect(conn);
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

xcb_atom_t XServer::atom(const char *atomName)
{
    return XAtom::intern(conn, atomName);
}

bool XServer::pixel(xcb_window_t window, int x, int y, uint32_t *value)
{
    xcb_generic_error_t *error = nullptr;
    xcb_get_image_reply_t *reply = xcb_get_image_reply(conn,
        xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, int16_t(x), int16_t(y), 1, 1, ~0u), &error);
    std::free(error);
    if (!reply)
        return false;
    bool ok = false;
    if (xcb_get_image_data_length(reply) >= 4) {
        std::memcpy(value, xcb_get_image_data(reply), 4);
        // A window without an alpha channel reads as fully opaque.
        if (reply->depth != 32)
            *value |= 0xff000000u;
        ok = true;
    }
    std::free(reply);
    return ok;
}
