#ifndef BUSLOGGING_H
#define BUSLOGGING_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBus)

#endif // BUSLOGGING_H
