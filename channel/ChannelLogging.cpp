#include "ChannelLogging.h"

Q_LOGGING_CATEGORY(lcChannel, "lumivane.channel", QtInfoMsg)
