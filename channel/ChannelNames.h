#ifndef CHANNELNAMES_H
#define CHANNELNAMES_H

// The names that the overlay and everything talking to it share.
namespace ChannelNames {

// The message that carries a report: a registered window message on Windows, a client message
// type and the selection that the receiving window owns on X11.
inline constexpr char Report[] = "WM_LUMIVANE_MESSAGE";

// The property that marks an overlay's window on X11, so that an overlay holding the channel is
// told from any other client holding it.
inline constexpr char OverlayWindow[] = "_LUMIVANE_OVERLAY";

// The key of the shared-memory segment that marks the running instance.
inline constexpr char InstanceMarker[] = "flag";

// The kernel object that the running overlay holds on Windows, in the session's own namespace.
inline constexpr wchar_t InstanceObject[] = L"Local\\org.lumivane.Overlay.instance";

// The running overlay on the Linux session bus: its name, its object and the object's interface.
// The interface itself is org.lumivane.Overlay1.xml, beside this file; tst_overlaybus checks
// that the overlay exports it under this name.
inline constexpr char BusService[] = "org.lumivane.Overlay";
inline constexpr char BusPath[] = "/org/lumivane/Overlay";
inline constexpr char BusInterface[] = "org.lumivane.Overlay1";

// The actions that launchers offer beside the program's menu entry, in this order: the tray menu's
// 显示, 更新 and 退出. The menu entry's Actions key (resources/org.lumivane.Overlay.desktop.in) is
// their twin; tst_overlaybus compares the two.
inline constexpr const char *DesktopActions[] = {"show", "update", "quit"};

} // namespace ChannelNames

#endif // CHANNELNAMES_H
