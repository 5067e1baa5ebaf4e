#include "cli.h"

#include "commands.h"
#include "doravine_version.h"

#include "base/language.h"
#include "device/lpg_device.h"
#include "platform/ierror.h"
#include "platform/port_table.h"

#include <cstdlib>
#include <ostream>

namespace cli {

namespace {

// The commands' lines come from the command table, so a new command appears here by itself.
const char* const kUsageText =
    "usage: doravine-cli [--port DEVICE]... [--lang pl|en|ru] COMMAND [ARGS]\n"
    "options:\n"
    "  --port DEVICE   a serial device of the port table, in order (repeatable; default: the\n"
    "                  program's own table, DORAVINE_PORTS or the serial devices found)\n"
    "  --lang pl|en|ru language of the messages (default: Polish for a Polish locale, else English)\n"
    "  --file FILE     settings, map, set, map-write: work on a settings file, no controller\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "exit status: 0 success, 1 refused or failed, 2 usage or bad input, 3 no controller\n"
    "commands:\n";

bool parseCount(const std::string& text, long minimum, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || parsed < minimum)
        return false;
    value = parsed;
    return true;
}

int languageIndex(const std::string& code)
{
    if (code == "pl")
        return 0;
    if (code == "en")
        return 1;
    if (code == "ru")
        return 2;
    return -1;
}

void printUsage(std::ostream& err) { err << usageText(); }

}  // namespace

std::string usageText()
{
    std::string text = kUsageText;
    for (const Command& c : commandTable())
        text += std::string("  ") + c.usage + "\n";
    return text;
}

bool parseArguments(const std::vector<std::string>& argv, Options& options, std::string& error)
{
    size_t i = 0;
    auto value = [&](const std::string& flag, std::string& out) {
        if (i + 1 >= argv.size()) {
            error = flag + " needs a value";
            return false;
        }
        out = argv[++i];
        return true;
    };
    for (; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        std::string v;
        if (a == "--port") {
            if (!value(a, v))
                return false;
            options.ports.push_back(v);
        } else if (a == "--lang") {
            if (!value(a, v))
                return false;
            options.language = languageIndex(v);
            if (options.language < 0) {
                error = "unknown language '" + v + "' (pl, en or ru)";
                return false;
            }
        } else if (a == "--file") {
            if (!value(a, options.file))
                return false;
            // An empty name (an unset variable in a script) must not fall back to the controller.
            if (options.file.empty()) {
                error = "--file needs a file name";
                return false;
            }
        } else if (a == "--help") {
            options.help = true;
        } else if (a == "--version") {
            options.version = true;
        } else if (a == "--yes") {
            options.yes = true;
        } else if (a == "--force") {
            options.force = true;
        } else if (a == "--csv") {
            options.csv = true;
        } else if (a == "--count") {
            if (!value(a, v))
                return false;
            if (!parseCount(v, 1, options.count)) {
                error = "--count needs a whole number of at least 1";
                return false;
            }
        } else if (a == "--records") {
            if (!value(a, v))
                return false;
            if (!parseCount(v, 500, options.records)) {
                error = "--records needs a whole number of at least 500";
                return false;
            }
        } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return false;
        } else if (options.command.empty()) {
            options.command = a;
        } else {
            options.args.push_back(a);
        }
    }
    if (options.command.empty() && !options.help && !options.version) {
        error = "no command";
        return false;
    }
    return true;
}

void printRaw(std::ostream& err, const std::string& text) { err << "doravine-cli: " << text << "\n"; }

void printMessage(std::ostream& err, const std::wstring& polishKey)
{
    printRaw(err, unicode2utf8(translateText(polishKey)));
}

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err)
{
    Context context{Options{}, out, err};
    std::string error;
    if (!parseArguments(argv, context.options, error)) {
        printRaw(err, error);
        printUsage(err);
        return kUsage;
    }
    if (context.options.help) {
        out << usageText();
        return kOk;
    }
    if (context.options.version) {
        out << "doravine-cli " << kDoravineVersion << "\n";
        return kOk;
    }
    if (!context.options.ports.empty())
        porttable::setPortOverride(context.options.ports);
    if (context.options.language >= 0) {
        setCurrentLanguage(context.options.language);
        openLanguageFiles();
    } else {
        initLanguage();
    }
    const Command* command = findCommand(context.options.command);
    if (!command) {
        printRaw(err, "unknown command '" + context.options.command + "'");
        printUsage(err);
        return kUsage;
    }
    if (!context.options.file.empty() && !command->takesFile) {
        printRaw(err, "--file works with settings, map, set and map-write only");
        return kUsage;
    }
    if (context.options.args.size() < command->minArgs || context.options.args.size() > command->maxArgs) {
        printRaw(err, std::string("usage: doravine-cli ") + command->usage);
        return kUsage;
    }
    try {
        return command->run(context);
    } catch (IError* error) {
        // The cable pulled, the adapter gone: never a crash, the replug message and status 1.
        adoptError(error);
        printMessage(err, CLPGDevice::kReplugMessage);
        return kFailed;
    }
}

}  // namespace cli
