#ifndef STAGE_H
#define STAGE_H

#include "Figures.h"
#include "Subject.h"
#include "TrayHost.h"
#include "XServer.h"

#include <string>
#include <vector>

// One program under measurement on an X server of its own with a tray, and what was measured of it.
struct Stage
{
    Stage(const std::string &label, const std::string &executable, std::vector<std::string> environment,
        const std::string &work);

    XServer server;
    TrayHost tray;
    Subject subject;
    Figures figures;
};

#endif // STAGE_H
