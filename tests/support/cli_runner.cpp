#include "support/cli_runner.h"

#include "cli/cli.h"

#include <sstream>

CliOutcome runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}
