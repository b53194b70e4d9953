#include "BusLogging.h"

Q_LOGGING_CATEGORY(lcBus, "lumivane.bus", QtInfoMsg)
