#include "WarningLog.h"

// Standard error reaches the terminal or the session's journal; nothing more is needed.
WarningLog::WarningLog() = default;

WarningLog::~WarningLog() = default;
