#include "DisplayLogging.h"

Q_LOGGING_CATEGORY(lcDisplay, "lumivane.display", QtInfoMsg)
