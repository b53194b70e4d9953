#ifndef CHANNELLOGGING_H
#define CHANNELLOGGING_H

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcChannel)

#endif // CHANNELLOGGING_H
