#ifndef XEVENT_H
#define XEVENT_H

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdint>

namespace XEvent {

// The X11 event behind a native event that Qt hands to a filter, when it is one of the given
// type; nullptr for any other. Events that another client sent carry the send-event bit, which
// does not count.
const xcb_generic_event_t *ofType(const QByteArray &eventType, void *message, std::uint8_t type);
// The same for an event read from a connection of the program's own.
const xcb_generic_event_t *ofType(const xcb_generic_event_t *event, std::uint8_t type);

template<typename Event>
const Event *as(const QByteArray &eventType, void *message, std::uint8_t type)
{
    return reinterpret_cast<const Event *>(ofType(eventType, message, type));
}

// A client message with 32-bit data, the only format the program reads; nullptr for any other event.
const xcb_client_message_event_t *clientMessage(const QByteArray &eventType, void *message);
const xcb_client_message_event_t *clientMessage(const xcb_generic_event_t *event);

} // namespace XEvent

#endif // XEVENT_H
