#include "XEvent.h"

const xcb_generic_event_t *XEvent::ofType(const QByteArray &eventType, void *message, std::uint8_t type)
{
    if (eventType != "xcb_generic_event_t")
        return nullptr;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    return (event->response_type & 0x7f) == type ? event : nullptr;
}

const xcb_client_message_event_t *XEvent::clientMessage(const QByteArray &eventType, void *message)
{
    const auto *event = as<xcb_client_message_event_t>(eventType, message, XCB_CLIENT_MESSAGE);
    return event && event->format == 32 ? event : nullptr;
}
