#include "SessionBusCheck.h"

// Windows has no session bus.
SessionBusCheck::SessionBusCheck() = default;

void SessionBusCheck::settle() { }
