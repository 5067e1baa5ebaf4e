#include "support/cli_runner.h"

#include "cli/cli.h"

#include <sstream>

CliOutcome runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

CliOutcome runCliAt(const std::string& port, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--lang", "pl", "--port", port});
    return runCli(args);
}
