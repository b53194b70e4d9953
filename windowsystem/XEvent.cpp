#include "XEvent.h"

const xcb_generic_event_t *XEvent::ofType(const QByteArray &eventType, void *message, std::uint8_t type)
{
    if (eventType != "xcb_generic_event_t")
        return nullptr;
    return ofType(static_cast<const xcb_generic_event_t *>(message), type);
}

const xcb_generic_event_t *XEvent::ofType(const xcb_generic_event_t *event, std::uint8_t type)
{
    return (event->response_type & 0x7f) == type ? event : nullptr;
}

const xcb_client_message_event_t *XEvent::clientMessage(const QByteArray &eventType, void *message)
{
    if (eventType != "xcb_generic_event_t")
        return nullptr;
    return clientMessage(static_cast<const xcb_generic_event_t *>(message));
}

const xcb_client_message_event_t *XEvent::clientMessage(const xcb_generic_event_t *event)
{
    const auto *message =
        reinterpret_cast<const xcb_client_message_event_t *>(ofType(event, XCB_CLIENT_MESSAGE));
    return message && message->format == 32 ? message : nullptr;
}
