#include "operations/auto_calibration.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "operations/doravine_doc.h"
#include "operations/settings_backup.h"
#include "platform/ierror.h"
#include "records/map_history.h"
#include "records/map_model.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {

constexpr const wchar_t* kHandlerName = L"CSettingsDlg::runAutoCalibration()";
constexpr const wchar_t* kQuestion =
    TR_KEY(L"Automatyczne wykrywanie spowoduje skasowanie dotychczasowych ustawień! Czy chcesz kontynuować?");
constexpr const wchar_t* kBackupFailedQuestion =
    TR_KEY(L"Nie udało się zapisać kopii ustawień sterownika. Czy mimo to kontynuować?");
constexpr const wchar_t* kBackupSavedIn = TR_KEY(L"Dotychczasowe ustawienia sterownika zapisano w pliku:");
constexpr const wchar_t* kWriteFailed = TR_KEY(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
constexpr const wchar_t* kReadFailed = TR_KEY(L"Nie powiodło się wczytanie ustawień urządzenia!");
constexpr const wchar_t* kNoConnection = TR_KEY(L"BRAK POŁĄCZENIA");
constexpr const wchar_t* kUnsupported = TR_KEY(L"Nieobsługiwany sygnał");
constexpr const wchar_t* kCancelled = TR_KEY(L"Autodetekcja koła zamachowego przerwana.");
constexpr const wchar_t* kNoAnswer = TR_KEY(L"Sterownik nie odpowiada.");
constexpr const wchar_t* kCalibrated = TR_KEY(L"Autokalibracja zakończona sukcesem!");
constexpr const wchar_t* kPutBackDone = TR_KEY(L"Przywrócono poprzednie ustawienia sterownika.");
constexpr const wchar_t* kPutBackFailed = TR_KEY(L"Nie udało się przywrócić poprzednich ustawień sterownika.");
constexpr const wchar_t* kLoadByHand =
    TR_KEY(L"Wczytaj je z pliku (Plik > Wczytaj ustawienia z pliku...):");
constexpr const wchar_t* kPreviousMapQuestion = TR_KEY(
    L"Nie znaleziono pliku ustawień domyślnych: mapa w sterowniku jest pusta. Czy przywrócić poprzednią mapę, "
    L"osie i próg TPS z kopii?");
constexpr const wchar_t* kReplug =
    TR_KEY(L"Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w komputerze");

bool isReady(const std::future<bool>& pass)
{
    return pass.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

CAutoCalibration::CAutoCalibration(CDoravineDoc& doc, std::function<void(int)> showWheelChart)
    : m_doc(doc), m_showWheelChart(std::move(showWheelChart))
{
}

CAutoCalibration::~CAutoCalibration()
{
    if (m_pass.valid())
        m_pass.wait();
}

CLPGDevice& CAutoCalibration::device()
{
    return m_doc.Device();
}

int CAutoCalibration::wheelTypeFor(int teethCount, int missingTeeth, int algorithm)
{
    // Each wheel the detection can tell apart gets its own entry, so that the map's angle step and
    // the reference chart follow it. The three 36-4 entries differ only in a marker tooth: a
    // two-record gap is TYP4's; TYP1 and TYP5 read alike and get the first of them.
    if (teethCount == 36 && missingTeeth == 2 && (algorithm == 0 || algorithm == 5))
        return 1;
    if (teethCount == 36 && missingTeeth == 4)
        return algorithm == 5 ? 5 : 2;
    if (teethCount == 30 && missingTeeth == 2)
        return 3;
    if (teethCount == 36 && missingTeeth == 6)
        return 4;
    if (teethCount == 12 && missingTeeth == 1)
        return kWheelType12Plus1;
    return 0;
}

const wchar_t* CAutoCalibration::instructionFor(int progress)
{
    if (progress < 20)
        return TR_KEY(L"Uruchom silnik");
    if (progress < 80)
        return TR_KEY(L"Ustal jednostajne obroty silnika");
    if (progress < 100)
        return TR_KEY(L"Pobieranie danych...");
    return TR_KEY(L"Doravine został już skalibrowany");
}

// ---- Messages -------------------------------------------------------------------------------

void CAutoCalibration::report(const wchar_t* key, MessageIcon icon)
{
    std::wstring text = key ? translateText(key) : std::wstring();
    auto line = [&text](const std::wstring& next) { text += (text.empty() ? L"" : L"\n") + next; };
    if (m_putBack == PutBack::Done)
        line(translateText(kPutBackDone));
    if (m_putBack == PutBack::Failed) {
        line(translateText(kPutBackFailed));
        icon = MessageIcon::Error;
    }
    if (!m_backupPath.empty()) {
        line(translateText(m_putBack == PutBack::Failed ? kLoadByHand : kBackupSavedIn));
        line(m_backupPath);
    }
    userInteraction().showMessage(text, icon);
}

void CAutoCalibration::showCaughtError(IError* raw)
{
    showLinkError(kHandlerName, raw);
}

void CAutoCalibration::showChart()
{
    if (m_showWheelChart)
        m_showWheelChart(static_cast<int>(truncateValue(device().m_settings.wheelType)));
}

// ---- Before the collection --------------------------------------------------------------------

bool CAutoCalibration::prepare()
{
    m_outcome = Outcome::None;
    m_backupPath.clear();
    m_endKey = nullptr;
    m_touched = false;
    m_putBack = PutBack::NotTried;
    m_defaultLoaded = false;
    try {
        if (!confirmAndSave())
            return false;
        m_before = device().m_settings;
        m_touched = true;
        if (!resetController() || !clearMap()) {
            endEarly();
            return false;
        }
        device().ResetDevice(); // the controller restarts into detection whatever it answers
        showChart();            // a flat line: the state is no longer normal operation
        std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    } catch (IError* error) {
        adoptError(error);
        device().m_connected = false;
        failWith(Outcome::LinkError, kReplug, MessageIcon::Error);
        endEarly();
        return false;
    }
    m_warmUpTicks = m_steadyTicks = m_unansweredPasses = 0;
    m_smoothed = m_previousSmoothed = 0.0;
    m_progress = 0;
    return true;
}

bool CAutoCalibration::confirmAndSave()
{
    if (!userInteraction().askYesNo(translateText(kQuestion))) {
        m_outcome = Outcome::Declined;
        return false;
    }
    if (!device().m_connected) {
        m_outcome = Outcome::NotConnected;
        report(kNoConnection, MessageIcon::Error);
        return false;
    }
    m_backupPath = saveSettingsBackup(device());
    if (m_backupPath.empty() && !userInteraction().askYesNo(translateText(kBackupFailedQuestion))) {
        m_outcome = Outcome::Declined;
        return false;
    }
    return true;
}

bool CAutoCalibration::resetController()
{
    CSettingsRecord& record = device().m_settings;
    record.tpsThreshold = 0.0;
    record.inputSource = 0.0;
    record.wheelType = 0.0;
    record.teethCount = 60.0;
    record.wheelAlgorithm = 5.0;
    record.missingTeeth = 2.0;
    record.wheelFactor = 10.0;
    record.workState = 0;
    const wchar_t* failed = !device().SetSettings()   ? kWriteFailed
                            : !device().GetSettings() ? kReadFailed
                            : !device().m_connected   ? kNoConnection
                                                      : nullptr;
    if (failed)
        failWith(Outcome::ResetFailed, failed, MessageIcon::Error);
    return !failed;
}

bool CAutoCalibration::clearMap()
{
    // A broken link goes on to prepare()'s one message: a run whose controller is gone cannot
    // restart it into detection, only say so and name the copy.
    if (!device().ClearMap() || !device().SaveMap()) {
        failWith(Outcome::ResetFailed, kWriteFailed, MessageIcon::Error);
        return false;
    }
    for (auto& row : device().m_settings.advanceMap)
        for (double& cell : row)
            cell = 0.0;
    return true;
}

// ---- The collection ---------------------------------------------------------------------------

CAutoCalibration::TickResult CAutoCalibration::tick()
{
    if (m_pass.valid()) {
        if (!isReady(m_pass))
            return TickResult::Collecting;
        const bool passed = m_pass.get();
        m_unansweredPasses = passed ? 0 : m_unansweredPasses + 1;
        if (m_unansweredPasses >= kUnansweredPassesLimit)
            return TickResult::Complete; // finish() says why
        if (m_passFlushes) {
            // The first pass only empties the controller's recorder; a failed one is tried again.
            if (!passed)
                --m_steadyTicks;
            device().m_pulses.clear();
            ++m_steadyTicks;
        }
        return TickResult::Collecting;
    }
    if (device().m_settings.workState == kWorkStateNormal) {
        m_progress = 100;
        return TickResult::Collecting;
    }
    CDiag sample{};
    device().m_diagData.getLast(sample);
    const double rpm = sample.rpm();
    if (rpm <= kRunningRpm) {
        m_warmUpTicks = m_steadyTicks = 0;
        m_progress = 0;
        return TickResult::Collecting;
    }
    m_progress = static_cast<int>(20.0 + m_warmUpTicks / 100.0 * 20.0);
    if (m_warmUpTicks < kWarmUpTicks) {
        ++m_warmUpTicks;
        return TickResult::Collecting;
    }
    tickRunning(rpm);
    if (m_progress == 100)
        return TickResult::Complete;
    return TickResult::Collecting;
}

void CAutoCalibration::tickRunning(double rpm)
{
    m_progress = static_cast<int>(40.0 + m_steadyTicks / 50.0 * 40.0);
    m_smoothed = m_smoothed - (m_smoothed - rpm) / 10.0;
    const double tolerance = m_smoothed * 0.1;
    const bool steady = m_smoothed + tolerance >= m_previousSmoothed && m_smoothed - tolerance <= m_previousSmoothed;
    m_previousSmoothed = m_smoothed;
    if (!steady) {
        m_steadyTicks = 0;
        return;
    }
    if (m_steadyTicks <= kSteadyTicks) {
        if (m_steadyTicks == kSteadyTicks)
            startPass(true);
        else
            ++m_steadyTicks;
        return;
    }
    const size_t records = device().m_pulses.size();
    m_progress = static_cast<int>(80.0 + static_cast<double>(records) / kRecordsWanted * 20.0);
    if (records >= kRecordsWanted) {
        m_progress = 100;
        m_warmUpTicks = m_steadyTicks = 0;
        m_smoothed = m_previousSmoothed = 0.0;
        return;
    }
    startPass(false);
}

void CAutoCalibration::startPass(bool flush)
{
    m_passFlushes = flush;
    CLPGDevice* dev = &device();
    m_pass = std::async(std::launch::async, [dev] {
        try {
            return dev->ReadSignalPass();
        } catch (IError* error) {
            // A broken link loses the pass like a missing block; the live samples report the link.
            adoptError(error);
            return false;
        }
    });
}

// ---- After the collection ---------------------------------------------------------------------

CAutoCalibration::Outcome CAutoCalibration::finish(bool cancelled)
{
    if (m_pass.valid())
        m_pass.get();
    try {
        if (cancelled) {
            failWith(Outcome::Cancelled, kCancelled, MessageIcon::Information);
        } else if (m_unansweredPasses >= kUnansweredPassesLimit) {
            failWith(Outcome::Unanswered, kNoAnswer, MessageIcon::Error);
        } else if (!m_analysis.analyse(device().m_pulses.copy())) {
            failWith(Outcome::Unsupported, kUnsupported, MessageIcon::Information);
        } else if (storeWheel() && fitMapToWheel()) {
            m_outcome = Outcome::Calibrated;
            report(kCalibrated, MessageIcon::Information);
        }
    } catch (IError* error) {
        showCaughtError(error);
        failWith(Outcome::LinkError, nullptr, MessageIcon::Error);
    }
    if (m_outcome != Outcome::Calibrated)
        endEarly();
    // Whatever happened above, the record and the page show what the controller now holds.
    readBack();
    return m_outcome;
}

bool CAutoCalibration::storeWheel()
{
    CSettingsRecord& record = device().m_settings;
    record.teethCount = m_analysis.pulseCount;
    record.wheelAlgorithm = m_analysis.algorithm;
    record.missingTeeth = m_analysis.pulseDeficit;
    record.workState = kWorkStateNormal;
    const int wheelType = wheelTypeFor(m_analysis.pulseCount, m_analysis.pulseDeficit, m_analysis.algorithm);
    record.wheelType = wheelType;
    record.wheelFactor = wheelFactorFor(wheelType);
    showChart();
    if (!device().SetSettings()) {
        failWith(Outcome::StoreFailed, kWriteFailed, MessageIcon::Information);
        return false;
    }
    m_doc.LoadDefaultSettings(&m_defaultLoaded); // it says itself when the controller refuses the file
    return true;
}

bool CAutoCalibration::fitMapToWheel()
{
    if (!device().m_connected)
        return true;
    try {
        // The angle limits now follow the detected wheel.
        CMapModel(device().m_settings).roundMapToStep();
        if (device().SetMap() && device().SaveMap())
            return true;
        failWith(Outcome::StoreFailed, kWriteFailed, MessageIcon::Error);
    } catch (IError* error) {
        showCaughtError(error);
        failWith(Outcome::StoreFailed, nullptr, MessageIcon::Error);
    }
    // A map the controller did not take is no success, whatever the wheel settings say.
    return false;
}

void CAutoCalibration::failWith(Outcome outcome, const wchar_t* key, MessageIcon icon)
{
    m_outcome = outcome;
    m_endKey = key;
    m_endIcon = icon;
}

void CAutoCalibration::endEarly()
{
    if (m_touched)
        m_putBack = putBack() ? PutBack::Done : PutBack::Failed;
    report(m_endKey, m_endIcon);
}

bool CAutoCalibration::putBack()
{
    // All of it, the wheel and the operating state too: the engine must run as it did before.
    device().m_settings = m_before;
    try {
        if (!m_doc.SendSettings(true))
            return false;
    } catch (IError* error) {
        adoptError(error);
        device().m_connected = false;
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs)); // the restart
    return true;
}

bool CAutoCalibration::offerPreviousMap()
{
    if (m_outcome != Outcome::Calibrated || m_defaultLoaded || !device().m_connected ||
        !userInteraction().askYesNoDefaultYes(translateText(kPreviousMapQuestion)))
        return false;
    CSettingsRecord& record = device().m_settings;
    record.tpsThreshold = m_before.tpsThreshold;
    CMapState::of(m_before).applyTo(record);
    CMapModel(record).roundMapToStep(); // the detected wheel's step
    bool sent = false;
    try {
        sent = m_doc.SendSettings(false);
    } catch (IError* error) {
        showCaughtError(error);
    }
    m_putBack = sent ? PutBack::Done : PutBack::Failed;
    report(sent ? nullptr : kWriteFailed, MessageIcon::Information);
    return sent;
}

void CAutoCalibration::readBack()
{
    try {
        if (!device().GetSettings())
            report(kReadFailed, MessageIcon::Error);
    } catch (IError* error) {
        adoptError(error);
        report(kReplug, MessageIcon::Error);
        device().m_connected = false;
        m_outcome = Outcome::LinkError;
    }
}
