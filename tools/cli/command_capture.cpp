#include "analysis_output.h"
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "base/language.h"
#include "device/lpg_device.h"
#include "operations/signal_capture.h"
#include "platform/ierror.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace cli {

namespace {

// A capture that holds 1000 records or more never stops itself; the tool gives up after this
// many ticks without a new record rather than wait forever.
constexpr int kGiveUpTicks = 100;

bool fileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// Waits until at least wanted records are there; false (its message printed) when the signal stopped.
bool captureRecords(Context& context, CSignalCapture& capture, size_t wanted)
{
    while (capture.recordCount() < wanted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const CSignalCapture::TickResult result = capture.tick();
        if (result == CSignalCapture::TickResult::StalledUnsaved)
            printMessage(context.err, L"Nie udało się zapisać.");
        if (result != CSignalCapture::TickResult::Capturing || capture.stallTicks() > kGiveUpTicks) {
            capture.stop();
            printMessage(context.err, L"Nie wykryto obrotów. Zatrzymano pomiar.");
            return false;
        }
    }
    return true;
}

}  // namespace

int commandCapture(Context& context)
{
    const std::string& path = context.options.args[0];
    CCliUser user(context.err, context.options.force);
    if (fileExists(path) && !user.askYesNo(translateText(L"Taki plik już istnieje! Czy chcesz go zamienić?")))
        return kFailed;

    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    const uint32_t previousState = device.m_settings.workState;

    CThreadManager threads;
    CSignalCapture capture(device, threads);
    switch (capture.setReadingMode(true)) {
    case CSignalCapture::StateWrite::NotRead:
        printMessage(context.err, L"Nie powiodło się wczytanie ustawień urządzenia!");
        return kFailed;
    case CSignalCapture::StateWrite::Refused:
        printMessage(context.err, L"Nie udało się zapisać!");
        return kFailed;
    case CSignalCapture::StateWrite::Written:
        break;
    }
    capture.primePass();
    capture.flushPasses();
    capture.start();
    const bool captured = captureRecords(context, capture, static_cast<size_t>(context.options.records));
    capture.stop();
    threads.joinAll();
    if (captured && !capture.setReadSetting(0))
        printMessage(context.err, L"Nie udało się zapisać!");

    CPulseList saved;
    const bool written = captured && capture.save(utf82unicode(path), saved);
    if (captured && !written)
        printMessage(context.err, L"Nie można otworzyć wybranego pliku");
    capture.writeWorkState(previousState);
    if (!written)
        return kFailed;
    return printAnalysis(context, saved);
}

}  // namespace cli
