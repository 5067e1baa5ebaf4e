// doravine-cli run in-process, with what it printed on each stream kept apart.
#pragma once

#include <string>
#include <vector>

struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool with argv (without the program name). The port table it was given stays set.
CliOutcome runCli(const std::vector<std::string>& args);

// Runs the tool in Polish with the port table exactly this one port, then args.
CliOutcome runCliAt(const std::string& port, std::vector<std::string> args);
