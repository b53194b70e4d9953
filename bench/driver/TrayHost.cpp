#include "TrayHost.h"

#include "XServer.h"

#include <xcb/damage.h>

#include <string>

namespace {

constexpr uint32_t SystemTrayRequestDock = 0;
constexpr uint32_t XEmbedEmbeddedNotify = 0;
constexpr uint16_t TrayHeight = 24;

void sendClientMessage(xcb_connection_t *connection, xcb_window_t destination, xcb_window_t window,
    xcb_atom_t type, uint32_t eventMask, const uint32_t (&data)[5])
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    for (int i = 0; i < 5; ++i)
        message.data.data32[i] = data[i];
    xcb_send_event(connection, false, destination, eventMask, reinterpret_cast<const char *>(&message));
}

} // namespace

TrayHost::TrayHost(XServer &server)
    : server(server)
{
    xcb_connection_t *connection = server.connection();
    xcb_screen_t *screen = server.screen();
    trayWindow = xcb_generate_id(connection);
    const uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, trayWindow, screen->root, 0, 0, 240, TrayHeight, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const uint32_t horizontal = 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, trayWindow,
        server.atom("_NET_SYSTEM_TRAY_ORIENTATION"), XCB_ATOM_CARDINAL, 32, 1, &horizontal);
    xcb_map_window(connection, trayWindow);

    opcodeAtom = server.atom("_NET_SYSTEM_TRAY_OPCODE");
    xembedAtom = server.atom("_XEMBED");
    const std::string selectionName = "_NET_SYSTEM_TRAY_S" + std::to_string(server.screenNumber());
    const xcb_atom_t selection = server.atom(selectionName.c_str());
    xcb_set_selection_owner(connection, trayWindow, selection, XCB_CURRENT_TIME);
    // Announce the tray to clients already running, as the system tray protocol asks.
    sendClientMessage(connection, screen->root, screen->root, server.atom("MANAGER"),
        XCB_EVENT_MASK_STRUCTURE_NOTIFY, {XCB_CURRENT_TIME, selection, trayWindow, 0, 0});
    xcb_flush(connection);
}

bool TrayHost::handleEvent(const xcb_generic_event_t *event, TimePoint at)
{
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CLIENT_MESSAGE) {
        const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (message->window != trayWindow || message->type != opcodeAtom)
            return false;
        if (message->data.data32[1] == SystemTrayRequestDock)
            embed(message->data.data32[2], at);
        return true;
    }
    if (type == server.damageEventBase() + XCB_DAMAGE_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_damage_notify_event_t *>(event);
        if (icon == XCB_NONE || notify->drawable != icon)
            return false;
        drawn = at;
        xcb_damage_subtract(server.connection(), notify->damage, XCB_NONE, XCB_NONE);
        xcb_flush(server.connection());
        return true;
    }
    return false;
}

void TrayHost::reset()
{
    icon = XCB_NONE;
    docked.reset();
    drawn.reset();
}

void TrayHost::embed(xcb_window_t window, TimePoint at)
{
    xcb_connection_t *connection = server.connection();
    icon = window;
    docked = at;
    xcb_damage_create(connection, xcb_generate_id(connection), icon, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_reparent_window(connection, icon, trayWindow, 0, 0);
    sendClientMessage(connection, icon, icon, xembedAtom, XCB_EVENT_MASK_NO_EVENT,
        {XCB_CURRENT_TIME, XEmbedEmbeddedNotify, 0, trayWindow, 0});
    xcb_map_window(connection, icon);
    xcb_flush(connection);
}
