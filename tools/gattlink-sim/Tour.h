#ifndef TOUR_H
#define TOUR_H

#include <QtGlobal>

// What the simulated companion reports: an opening tour through the four modes with a colour
// in each, two seconds apart, then the same steps again, slowly, for as long as it runs.
class Tour
{
public:
    struct Step
    {
        // How long after the previous report (or the start) this one is due.
        int delayMs;
        // An encoded ModeReport.
        quint32 parameter;
    };

    Step next();

private:
    int position = 0;
    bool opening = true;
};

#endif // TOUR_H
