#include "Stage.h"

#include <utility>

Stage::Stage(const std::string &label, const std::string &executable, std::vector<std::string> environment,
    const std::string &work)
    : server(work + "/xvfb.log")
    , tray(server)
    , subject(label, executable, std::move(environment), server, tray, work)
{
}
