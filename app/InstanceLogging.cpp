#include "InstanceLogging.h"

Q_LOGGING_CATEGORY(lcInstance, "lumivane.instance", QtInfoMsg)
