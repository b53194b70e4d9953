#ifndef INSTANCELOGGING_H
#define INSTANCELOGGING_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcInstance)

#endif // INSTANCELOGGING_H
