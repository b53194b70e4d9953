#ifndef MODEREPORTLOG_H
#define MODEREPORTLOG_H

#include "ModeReport.h"

#include <QDebug>

// The line that the display writes for every report it receives, "mode: 2 ,R: 255 ,G: 0 ,B: 0",
// in the default category: the benchmark driver and the tests read it. The overlay and the floor
// program both write it here.
inline void logModeReport(const ModeReport &report)
{
    qDebug() << "mode:" << int(report.mode) << ",R:" << int(report.red) << ",G:" << int(report.green)
             << ",B:" << int(report.blue);
}

#endif // MODEREPORTLOG_H
