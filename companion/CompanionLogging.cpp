#include "CompanionLogging.h"

Q_LOGGING_CATEGORY(lcDevices, "lumivane.devices", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCompanion, "lumivane.companion", QtInfoMsg)
