#include "ApplicationIdentity.h"

// The notification area shows only the icon and its tooltip; nothing else names the program.

void ApplicationIdentity::apply() { }
