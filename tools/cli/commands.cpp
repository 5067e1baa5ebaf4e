#include "commands.h"

namespace cli {

const std::vector<Command>& commandTable()
{
    static const std::vector<Command> table = {
        {"ports", "ports", 0, 0, commandPorts},
        {"analyse", "analyse FILE", 1, 1, commandAnalyse},
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
