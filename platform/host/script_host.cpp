#include "platform/host/script_host.h"

ScriptHost::ScriptHost(std::istream& script, std::string name, TSize clientSize,
                       std::ostream& out, std::ostream& err)
    : script_(script), name_(std::move(name)), size_(clientSize), out_(out), err_(err) {}
int ScriptHost::run(SDIDecFrame&) { return 0; }
