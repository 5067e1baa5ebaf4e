// errors and clear-errors: the device page's two buttons.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "base/language.h"
#include "device/lpg_device.h"

#include <ostream>

namespace cli {

int commandErrors(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    uint8_t bytes[kErrorModuleCount] = {};
    if (!device.GetErrors(bytes)) {
        printMessage(context.err, L"Nie można wczytać błędów urządzenia");
        return kFailed;
    }
    bool any = false;
    for (uint8_t b : bytes)
        any = any || b != 0;
    if (!any) {
        context.out << unicode2utf8(translateText(L"Brak błędów")) << "\n";
        return kOk;
    }
    for (const std::wstring& line : device.decodeErrors(bytes))
        context.out << unicode2utf8(line) << "\n";
    return kOk;
}

int commandClearErrors(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    if (!device.ResetDevice()) {
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
        return kFailed;
    }
    context.out << unicode2utf8(translateText(L"Błędy skasowane")) << "\n";
    return kOk;
}

} // namespace cli
