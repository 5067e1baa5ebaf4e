// The command table of doravine-cli. Each command lives in a file named after its subject
// (command_ports.cpp, ...) and is listed once in commands.cpp.
#pragma once

#include "cli.h"

#include <cstddef>
#include <vector>

namespace cli {

struct Command {
    const char* name;
    const char* usage;
    size_t minArgs;
    size_t maxArgs;
    int (*run)(Context&);
    bool takesFile = false; // --file FILE instead of the controller
};

const std::vector<Command>& commandTable();
const Command* findCommand(const std::string& name);

int commandPorts(Context& context);
int commandAnalyse(Context& context);
int commandCapture(Context& context);
int commandInfo(Context& context);
int commandSettings(Context& context);
int commandSet(Context& context);
int commandMap(Context& context);
int commandMapWrite(Context& context);
int commandErrors(Context& context);
int commandClearErrors(Context& context);
int commandWatch(Context& context);
int commandDiff(Context& context);
int commandSaveSettings(Context& context);
int commandLoadSettings(Context& context);
int commandFactoryReset(Context& context);
int commandFlash(Context& context);
int commandAutodetect(Context& context);

}  // namespace cli
