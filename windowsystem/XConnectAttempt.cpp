#include "XConnectAttempt.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

struct XConnectAttempt::State
{
    ~State()
    {
        if (ended >= 0)
            ::close(ended);
    }

    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    // Nobody takes the connection any more: the thread closes it.
    bool abandoned = false;
    xcb_connection_t *connection = nullptr;
    int screen = 0;
    int ended = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

XConnectAttempt::XConnectAttempt(const QByteArray &displayName)
    : state(std::make_shared<State>())
{
    // Detached: a thread held by a stopped server must not hold the program's end.
    std::thread([state = state, displayName] {
        int screen = 0;
        xcb_connection_t *connection = xcb_connect(displayName.constData(), &screen);
        const std::lock_guard<std::mutex> lock(state->mutex);
        if (state->abandoned) {
            xcb_disconnect(connection);
            return;
        }
        state->connection = connection;
        state->screen = screen;
        state->finished = true;
        const eventfd_t one = 1;
        ::eventfd_write(state->ended, one);
        state->done.notify_all();
    }).detach();
}

XConnectAttempt::~XConnectAttempt()
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->abandoned = true;
    if (state->connection)
        xcb_disconnect(state->connection);
    state->connection = nullptr;
}

xcb_connection_t *XConnectAttempt::take(int timeoutMs, int *screen)
{
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return state->finished; }))
        return nullptr;
    if (screen)
        *screen = state->screen;
    xcb_connection_t *connection = state->connection;
    state->connection = nullptr;
    return connection;
}

int XConnectAttempt::endedDescriptor() const
{
    return state->ended;
}
