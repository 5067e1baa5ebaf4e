// doravine-cli: argument parsing, the command table and the exit statuses. Each command is a thin
// front over a core operation that the window also has.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

enum ExitStatus { kOk = 0, kFailed = 1, kUsage = 2, kNoController = 3 };

struct Options {
    std::vector<std::string> ports;  // --port, in order; empty: the program's own table
    int language = -1;               // --lang; -1: the start-up rule
    bool yes = false;                // --yes
    bool force = false;              // --force
    bool csv = false;                // --csv (watch)
    long count = -1;                 // --count N (watch)
    long records = 2000;             // --records N (capture)
    bool help = false;               // --help: the usage on standard output, nothing else runs
    bool version = false;            // --version: "doravine-cli <version>", nothing else runs
    std::string file;                // --file FILE: a settings file instead of the controller
    std::string command;
    std::vector<std::string> args;   // the command's own arguments
};

// Everything a command needs: its arguments and where to print.
struct Context {
    Options options;
    std::ostream& out;
    std::ostream& err;
};

// Parses argv (without the program name). On error returns false and sets error to the reason.
bool parseArguments(const std::vector<std::string>& argv, Options& options, std::string& error);

// Runs the whole tool in-process; answers the exit status.
int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

// The usage text: the invocation, the global options and one line per command of the table.
std::string usageText();

// Prints "doravine-cli: " and the translated text on standard error.
void printMessage(std::ostream& err, const std::wstring& polishKey);
void printRaw(std::ostream& err, const std::string& text);

}  // namespace cli
