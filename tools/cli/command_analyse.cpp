#include "analysis_output.h"
#include "commands.h"

#include "files/signal_file.h"
#include "platform/ierror.h"

namespace cli {

int printAnalysis(Context& context, const CPulseList& pulses)
{
    context.out << "records: " << pulses.size() << "\n";
    context.out.flush();
    CWheelAnalysis analysis;
    if (!analysis.analyse(pulses)) {
        printMessage(context.err, L"Nieobsługiwany sygnał");
        return kFailed;
    }
    context.out << "pulseCount: " << analysis.pulseCount << "\n"
                << "pulseDeficit: " << analysis.pulseDeficit << "\n"
                << "algorithm: " << analysis.algorithm << "\n";
    return kOk;
}

int commandAnalyse(Context& context)
{
    CPulseList pulses;
    if (!readSignalFile(utf82unicode(context.options.args[0]), pulses)) {
        printMessage(context.err, L"Nie można otworzyć wybranego pliku");
        return kUsage;
    }
    return printAnalysis(context, pulses);
}

}  // namespace cli
