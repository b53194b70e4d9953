#ifndef DISPLAYLOGGING_H
#define DISPLAYLOGGING_H

#include <QLoggingCategory>

// Which display the program found, and why it took the path it took.
Q_DECLARE_LOGGING_CATEGORY(lcDisplay)

#endif // DISPLAYLOGGING_H
