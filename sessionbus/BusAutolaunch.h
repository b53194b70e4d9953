#ifndef BUSAUTOLAUNCH_H
#define BUSAUTOLAUNCH_H

// A session without a bus stays without one.
namespace BusAutolaunch {

// Where the session names no bus (no address in the environment and no user bus in the runtime
// folder), libdbus would start one of its own for the X display at the first connection to the
// session bus, which the toolkit's tray makes at start; that bus serves nobody and outlives the
// program. Called first in main, before any library reads the environment: the session bus is
// then named as one that cannot be reached, for the program itself; what it starts gets the
// environment the user started it with (StartEnvironment).
void prevent();

} // namespace BusAutolaunch

#endif // BUSAUTOLAUNCH_H
