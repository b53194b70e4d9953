#ifndef WARNINGLOG_H
#define WARNINGLOG_H

// Keeps the program's warnings where a user can find them, for as long as it exists. They always
// go to standard error; on Windows, where a program without a console shows that to nobody, they
// also go to %LOCALAPPDATA%\Lumivane\lumivane.log, a small file whose older half is dropped
// when it grows too large.
class WarningLog
{
public:
    WarningLog();
    ~WarningLog();
    WarningLog(const WarningLog &) = delete;
    WarningLog &operator=(const WarningLog &) = delete;
};

#endif // WARNINGLOG_H
