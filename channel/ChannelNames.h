#ifndef CHANNELNAMES_H
#define CHANNELNAMES_H

// The names that the overlay and everything talking to it share.
namespace ChannelNames {

// The message that carries a report: a registered window message on Windows, a client message
// type and the selection that the receiving window owns on X11.
inline constexpr char Report[] = "WM_LUMIVANE_MESSAGE";

// The key of the shared-memory segment that marks the running instance.
inline constexpr char InstanceMarker[] = "flag";

// The running overlay on the Linux session bus: its name, its object and the object's interface.
// The interface itself is org.lumivane.Overlay1.xml, beside this file; tst_overlaybus checks
// that the overlay exports it under this name.
inline constexpr char BusService[] = "org.lumivane.Overlay";
inline constexpr char BusPath[] = "/org/lumivane/Overlay";
inline constexpr char BusInterface[] = "org.lumivane.Overlay1";

} // namespace ChannelNames

#endif // CHANNELNAMES_H
