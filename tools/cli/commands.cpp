#include "commands.h"

namespace cli {

const std::vector<Command>& commandTable()
{
    static const std::vector<Command> table = {
        {"ports", "ports", 0, 0, commandPorts},
        {"analyse", "analyse FILE", 1, 1, commandAnalyse},
        {"capture", "capture FILE [--records N] [--force]", 1, 1, commandCapture},
        {"info", "info", 0, 0, commandInfo},
        {"settings", "settings [--file FILE]", 0, 0, commandSettings, true},
        {"set", "set [--file FILE] KEY=VALUE [KEY=VALUE]...", 1, 10, commandSet, true},
        {"map", "map [--file FILE]", 0, 0, commandMap, true},
        {"map-write", "map-write [--file FILE] MAPFILE", 1, 1, commandMapWrite, true},
        {"errors", "errors", 0, 0, commandErrors},
        {"clear-errors", "clear-errors", 0, 0, commandClearErrors},
        {"watch", "watch [--csv] [--count N]", 0, 0, commandWatch},
        {"diff", "diff FILE", 1, 1, commandDiff},
        {"save-settings", "save-settings FILE [--force]", 1, 1, commandSaveSettings},
        {"load-settings", "load-settings FILE", 1, 1, commandLoadSettings},
        {"factory-reset", "factory-reset", 0, 0, commandFactoryReset},
        {"flash", "flash FILE [--yes]", 1, 1, commandFlash},
        {"autodetect", "autodetect [--yes]", 0, 0, commandAutodetect},
    };
    return table;
}

const Command* findCommand(const std::string& name)
{
    for (const Command& c : commandTable())
        if (name == c.name)
            return &c;
    return nullptr;
}

}  // namespace cli
