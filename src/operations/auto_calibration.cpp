#include "operations/auto_calibration.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "operations/doravine_doc.h"
#include "operations/settings_backup.h"
#include "platform/ierror.h"
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
constexpr const wchar_t* kCalibrated = TR_KEY(L"Autokalibracja zakończona sukcesem!");
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
    std::wstring text = translateText(key);
    if (!m_backupPath.empty())
        text += L"\n" + translateText(kBackupSavedIn) + L"\n" + m_backupPath;
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
    try {
        if (!confirmAndSave() || !resetController() || !clearMap())
            return false;
        device().ResetDevice(); // the controller restarts into detection whatever it answers
        showChart();            // a flat line: the state is no longer normal operation
        std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    } catch (IError* error) {
        adoptError(error);
        report(kReplug, MessageIcon::Error);
        device().m_connected = false;
        m_outcome = Outcome::LinkError;
        return false;
    }
    m_warmUpTicks = m_steadyTicks = 0;
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
    m_outcome = Outcome::ResetFailed;
    if (!device().SetSettings()) {
        report(kWriteFailed, MessageIcon::Error);
        return false;
    }
    if (!device().GetSettings()) {
        report(kReadFailed, MessageIcon::Error);
        return false;
    }
    if (!device().m_connected) {
        report(kNoConnection, MessageIcon::Error);
        return false;
    }
    m_outcome = Outcome::None;
    return true;
}

bool CAutoCalibration::clearMap()
{
    try {
        if (!device().ClearMap() || !device().SaveMap()) {
            m_outcome = Outcome::ResetFailed;
            report(kWriteFailed, MessageIcon::Error);
            return false;
        }
        for (auto& row : device().m_settings.advanceMap)
            for (double& cell : row)
                cell = 0.0;
    } catch (IError* error) {
        showCaughtError(error); // the restart below still goes out
    }
    return true;
}

// ---- The collection ---------------------------------------------------------------------------

CAutoCalibration::TickResult CAutoCalibration::tick()
{
    if (m_pass.valid()) {
        if (!isReady(m_pass))
            return TickResult::Collecting;
        const bool passed = m_pass.get();
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
            m_outcome = Outcome::Cancelled;
            report(kCancelled, MessageIcon::Information);
        } else if (!m_analysis.analyse(device().m_pulses.copy())) {
            m_outcome = Outcome::Unsupported;
            report(kUnsupported, MessageIcon::Information);
        } else if (storeWheel() && fitMapToWheel()) {
            m_outcome = Outcome::Calibrated;
            report(kCalibrated, MessageIcon::Information);
        }
    } catch (IError* error) {
        showCaughtError(error);
        m_outcome = Outcome::LinkError;
    }
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
        m_outcome = Outcome::StoreFailed;
        report(kWriteFailed, MessageIcon::Information);
        return false;
    }
    m_doc.LoadDefaultSettings(); // it says itself when the controller refuses the file
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
        report(kWriteFailed, MessageIcon::Error);
    } catch (IError* error) {
        showCaughtError(error);
    }
    // A map the controller did not take is no success, whatever the wheel settings say.
    m_outcome = Outcome::StoreFailed;
    return false;
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
