#include "BusAutolaunch.h"

// Nothing on Windows connects to a session bus.
void BusAutolaunch::prevent() { }
