#include "AutostartLogging.h"

Q_LOGGING_CATEGORY(lcAutostart, "lumivane.autostart", QtInfoMsg)
