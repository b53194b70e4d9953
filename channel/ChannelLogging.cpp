#include "ChannelLogging.h"

Q_LOGGING_CATEGORY(lcChannel, "lumivane.channel", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBus, "lumivane.bus", QtInfoMsg)
