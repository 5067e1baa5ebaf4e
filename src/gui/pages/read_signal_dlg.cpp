#include "gui/pages/read_signal_dlg.h"

#include "platform/text.h"
#include "records/readings_format.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "files/signal_file.h"
#include "gui/pages/odczyty_dlg.h"
#include "gui/pages/signal_chart.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/image_check_box.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"
#include "gui/skin/theme.h"
#include "gui/shell/link_gateway.h"
#include "operations/diag_threads.h"
#include "operations/doravine_doc.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "records/wheel_analysis.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

namespace {

using Outcome = CLinkGateway::Outcome;

const QColor kDisplayTop(73, 119, 179);
const QColor kDisplayBottom(28, 41, 81);
constexpr unsigned kLabelFormat = 0x8024;
const QColor kChartBack(56, 57, 57);
constexpr unsigned kChartGrid = 7237229; // 0x006E6E6D
constexpr unsigned kTraceColor = 255;    // red
constexpr double kZoomFactor = 1.25;     // one wheel notch
// Past this divisor one tooth would fill a quarter of the chart: zooming further shows nothing new.
constexpr int kDeepestZoom = 500;

// The page with the template's 572 units of width, and room below the chart.
const QSize kTemplate(572, 380);
const QRect kChartPlace(8, 68, 556, 276);

void showError(const wchar_t* polish)
{
    userInteraction().showMessage(translateText(polish), MessageIcon::Error);
}

bool fileExists(const std::wstring& path)
{
    std::ifstream in(nativePath(path), std::ios::binary);
    return in.is_open();
}

std::wstring number(long long value)
{
    return std::to_wstring(value);
}

} // namespace

CReadSignalDlg::CReadSignalDlg(CDoravineDoc& doc, QWidget* parent)
    : CGDIpMultiPageDialog(kTemplate, parent), m_doc(doc),
      m_capture(doc.Device(), doc.LiveSamples().threadManager()),
      m_openFolder([](const std::wstring& folder) {
          QDesktopServices::openUrl(QUrl::fromLocalFile(toQString(folder)));
      }),
      m_readMode(new CImageCheckBox(L"Czytaj sygnał", this)), m_fetch(new CGDIpGradientButton(L"Pobierz dane", this)),
      m_save(new CGDIpGradientButton(L"Zapisz dane", this)),
      m_openFolderButton(new CGDIpGradientButton(L"Otwórz folder", this)),
      m_load(new CGDIpGradientButton(L"Załaduj z pliku", this)), m_right(new CGDIpGradientButton(L"Right", this)),
      m_left(new CGDIpGradientButton(L"Left", this)), m_plus(new CGDIpGradientButton(L"+", this)),
      m_minus(new CGDIpGradientButton(L"-", this)),
      m_steps{new CTransparentStatic(L"Krok1->", this), new CTransparentStatic(L"Krok2->", this),
              new CTransparentStatic(L"Krok3->", this)},
      m_hint(new CTransparentStatic(this)), m_count(new CGDIpDescribedDisplay(this)),
      m_pulseCountDisplay(new CGDIpDescribedDisplay(this)), m_deficitDisplay(new CGDIpDescribedDisplay(this)),
      m_algorithmDisplay(new CGDIpDescribedDisplay(this)), m_chartPlace(new QWidget(this))
{
    m_count->setLabelText(L"Liczba");
    for (CGDIpDescribedDisplay* d : {m_pulseCountDisplay, m_deficitDisplay, m_algorithmDisplay})
        d->setLabelText(L"Static");
    placeControls();
    setAcceptDrops(true);

    connect(m_readMode, &QCheckBox::clicked, this, &CReadSignalDlg::onReadModeClicked);
    connect(m_fetch, &QPushButton::clicked, this, &CReadSignalDlg::onFetch);
    connect(m_save, &QPushButton::clicked, this, &CReadSignalDlg::onSave);
    connect(m_openFolderButton, &QPushButton::clicked, this, &CReadSignalDlg::onOpenFolder);
    connect(m_load, &QPushButton::clicked, this, &CReadSignalDlg::onLoad);
    connect(m_right, &QPushButton::clicked, this, &CReadSignalDlg::onRight);
    connect(m_left, &QPushButton::clicked, this, &CReadSignalDlg::onLeft);
    connect(m_plus, &QPushButton::clicked, this, &CReadSignalDlg::onPlus);
    connect(m_minus, &QPushButton::clicked, this, &CReadSignalDlg::onMinus);
    // Closing the program while this page is shown leaves it too: the controller must not stay in
    // signal-reading mode, without its map, because the window went away.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_active)
            v_deactivate();
    });
}

CReadSignalDlg::~CReadSignalDlg()
{
    m_capture.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(kDestroyPauseMs));
}

CLPGDevice& CReadSignalDlg::device()
{
    return m_doc.Device();
}

void CReadSignalDlg::placeControls()
{
    // Three steps along the top, the results under them, the chart filling the page and the
    // moves below it.
    placeControl(m_steps[0], 8, 6, 36, 26);
    placeControl(m_readMode, 46, 6, 92, 26);
    placeControl(m_steps[1], 146, 6, 36, 26);
    placeControl(m_fetch, 184, 6, 86, 26);
    placeControl(m_steps[2], 278, 6, 36, 26);
    placeControl(m_save, 316, 6, 86, 26);
    placeControl(m_load, 418, 6, 72, 26);
    placeControl(m_openFolderButton, 494, 6, 70, 26);
    // Rows tall enough for a translation on two lines at the smallest window.
    placeControl(m_count, 8, 36, 164, 28);
    placeControl(m_pulseCountDisplay, 178, 36, 126, 28);
    placeControl(m_deficitDisplay, 310, 36, 126, 28);
    placeControl(m_algorithmDisplay, 442, 36, 122, 28);
    placeControl(m_chartPlace, kChartPlace.x(), kChartPlace.y(), kChartPlace.width(), kChartPlace.height());
    placeControl(m_left, 8, 349, 58, 26);
    placeControl(m_right, 70, 349, 58, 26);
    placeControl(m_minus, 134, 349, 22, 26);
    placeControl(m_plus, 160, 349, 22, 26);
    placeControl(m_hint, 188, 349, 376, 26);
}

void CReadSignalDlg::styleControls()
{
    m_fetch->setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
    for (CGDIpGradientButton* b : {m_save, m_openFolderButton, m_load, m_right, m_left, m_plus, m_minus})
        b->copyStyle(*m_fetch);
    m_hint->setWordWrap(true);
}

void CReadSignalDlg::v_init()
{
    CGDIpMultiPageDialog::v_init();
    m_setUp = true;
    m_count->setValueText(L"0");
    m_count->setLabelFormat(kLabelFormat);
    m_count->setColors(kDisplayTop, kDisplayBottom);
    // The labels are long beside short numbers.
    m_count->setRatio(0.74);
    m_pulseCountDisplay->copyStyle(*m_count);
    m_deficitDisplay->copyStyle(*m_count);
    m_algorithmDisplay->copyStyle(*m_deficitDisplay);
    setResults(0, 0, 0);
    m_liveStoppedByPage = false;
    styleControls();

    if (!m_chart) {
        m_chart = new CSignalChart(this);
        m_chart->createOver(m_chartPlace);
        placeControl(m_chart, kChartPlace.x(), kChartPlace.y(), kChartPlace.width(), kChartPlace.height());
        templateLayout().remove(m_chartPlace);
        m_chart->SetHorzDiv(4, 0);
        m_chart->SetGrid(1);
        m_chart->SetMaxPoints(1000);
        m_chart->setMargins(0.01, 0.01, 0.01, 0.01);
        m_chart->setBackgroundColors(kChartBack, kChartBack);
        m_chart->setGridColor(theme::fromColorRef(kChartGrid));
        m_chart->Redraw();
        m_chart->AddLine(1, [](double) { return std::wstring(); }, kTraceColor, 0, 2, 1, 10);
        connect(m_chart, &CSignalChart::zoomRequested, this, &CReadSignalDlg::zoomAt);
        connect(m_chart, &CSignalChart::dragStarted, this, &CReadSignalDlg::beginDrag);
        connect(m_chart, &CSignalChart::dragMoved, this, &CReadSignalDlg::dragTo);
        connect(m_chart, &CSignalChart::resetRequested, this, &CReadSignalDlg::resetView);
        connect(m_chart, &CSignalChart::pointerMoved, this, &CReadSignalDlg::showReadoutAt);
    }
}

void CReadSignalDlg::v_activate()
{
    m_active = true;
    const Outcome read = CLinkGateway::runOnInstance(nullptr, [](CLPGDevice& d) { return d.GetSettings(); });
    if (read == Outcome::Done) {
        // The box shows what the controller is in, and the page believes it.
        m_modeTicked = device().m_settings.workState != kWorkStateNormal;
        m_readMode->setChecked(m_modeTicked);
    } else if (read == Outcome::Failed && device().m_connected) {
        showError(L"Nie powiodło się wczytanie ustawień urządzenia!");
    }
    showView(0, kFirstDivisor);
    if (m_setUp && device().m_signalFirmware && !m_liveStoppedByPage) {
        m_liveStoppedByPage = true;
        stopLiveSamples();
        m_capture.stop();
        m_doc.StartRefreshTimer();
    }
}

void CReadSignalDlg::v_deactivate()
{
    m_active = false;
    if (!m_setUp)
        return;
    const bool wasCapturing = m_capture.running();
    m_capture.stop();
    bool readSettingWritten = true;
    std::optional<CSignalCapture::StateWrite> restored;
    const Outcome outcome = CLinkGateway::runOnInstance(L"CReadSignalDlg::v_deactivate()", [&](CLPGDevice& d) {
        if (d.m_signalFirmware || wasCapturing)
            readSettingWritten = m_capture.setReadSetting(0);
        // The controller back in the operating state the page found it in, when the page changed it.
        if (m_stateToRestore)
            restored = m_capture.writeWorkState(*m_stateToRestore);
        return true;
    });
    if (outcome == Outcome::Done) {
        if (!readSettingWritten || (restored && *restored != CSignalCapture::StateWrite::Written))
            showError(L"Nie udało się zapisać!");
        if (restored == CSignalCapture::StateWrite::Written) {
            m_modeTicked = *m_stateToRestore != kWorkStateNormal;
            m_readMode->setChecked(m_modeTicked);
            m_stateToRestore.reset();
        }
    }
    const bool resume = m_liveStoppedByPage || m_liveStoppedForCapture;
    m_liveStoppedByPage = false;
    m_liveStoppedForCapture = false;
    if (resume)
        m_doc.ResumeLiveSamples();
}

void CReadSignalDlg::stopLiveSamples()
{
    // Stopping waits for the live thread to let go of the link: not on the window's thread.
    if (CLinkGateway::runOnInstance(nullptr, [this](CLPGDevice&) {
            m_doc.StopLiveSamples();
            return true;
        }) == Outcome::Busy)
        m_doc.StopLiveSamples();
}

void CReadSignalDlg::endCapture()
{
    m_capture.stop();
    if (m_liveStoppedForCapture) {
        m_liveStoppedForCapture = false;
        m_doc.ResumeLiveSamples();
    }
}

void CReadSignalDlg::onReadModeClicked()
{
    const bool wanted = m_readMode->isChecked();
    uint32_t previous = 0;
    auto written = CSignalCapture::StateWrite::NotRead;
    const Outcome outcome = CLinkGateway::runOnInstance(L"CReadSignalDlg::OnBnClickedCheck()", [&](CLPGDevice&) {
        written = m_capture.setReadingMode(wanted, &previous);
        return written == CSignalCapture::StateWrite::Written;
    });
    if (outcome != Outcome::Done) {
        m_readMode->setChecked(!wanted);
        if (outcome == Outcome::Failed)
            showError(written == CSignalCapture::StateWrite::NotRead ? L"Nie powiodło się wczytanie ustawień urządzenia!"
                                                                     : L"Nie udało się zapisać!");
        return;
    }
    m_modeTicked = wanted;
    if (!m_stateToRestore)
        m_stateToRestore = previous;
    if ((wanted ? 0u : kWorkStateNormal) == *m_stateToRestore)
        m_stateToRestore.reset();
}

bool CReadSignalDlg::runPasses(bool (CSignalCapture::*passes)())
{
    const Outcome outcome = CLinkGateway::runOnInstance(L"CReadSignalDlg::OnBnClickedButtonget()",
                                                        [&](CLPGDevice&) { return (m_capture.*passes)(); });
    // A broken link has said so already (and dropped the connected flag); silence has not.
    if (outcome == Outcome::Failed && device().m_connected)
        showError(L"Sterownik nie odpowiada.");
    return outcome == Outcome::Done;
}

void CReadSignalDlg::onFetch()
{
    // A capture already runs: asking again would only hold it up. Its count goes on.
    if (device().m_demo || m_capture.running())
        return;
    if (!m_modeTicked) {
        userInteraction().showMessage(translateText(L"Sterownik nie jest ustawiony w tryb do odczytu! ") +
                                          translateText(L"Wróć do kroku pierwszego."),
                                      MessageIcon::Error);
        return;
    }
    if (!runPasses(&CSignalCapture::primePass))
        return;
    if (!userInteraction().askYesNo(
            translateText(L"Uruchom silnik i ustal jednostajne obroty. Czy zostało to wykonane?")))
        return;
    if (!runPasses(&CSignalCapture::flushPasses))
        return;
    stopLiveSamples();
    m_liveStoppedForCapture = true;
    m_doc.StartRefreshTimer();
    m_capture.start();
}

void CReadSignalDlg::onTimer()
{
    const size_t count = m_capture.running() ? m_capture.recordCount() : m_pulses.size();
    m_count->setValueText(number(static_cast<long long>(count)));
    m_deficitDisplay->setValueText(number(m_pulseDeficit));
    m_pulseCountDisplay->setValueText(number(m_pulseCount));
    CSignalCapture::TickResult tick = CSignalCapture::TickResult::Capturing;
    if (m_capture.stallDue()) {
        // This tick writes the read setting back: on the link's side.
        const Outcome outcome = CLinkGateway::runOnInstance(L"CReadSignalDlg::OnTimer()", [&](CLPGDevice&) {
            tick = m_capture.tick();
            return true;
        });
        if (outcome == Outcome::LinkLost)
            endCapture();
        if (outcome != Outcome::Done)
            return;
    } else {
        tick = m_capture.tick();
    }
    if (tick != CSignalCapture::TickResult::Stalled && tick != CSignalCapture::TickResult::StalledUnsaved)
        return;
    endCapture();
    if (tick == CSignalCapture::TickResult::StalledUnsaved)
        showError(L"Nie udało się zapisać.");
    userInteraction().showMessage(translateText(L"Nie wykryto obrotów. Zatrzymano pomiar."),
                                  MessageIcon::Information);
}

std::wstring CReadSignalDlg::savePath()
{
    return getDiagFolder() + kSignalFileName;
}

void CReadSignalDlg::onSave()
{
    if (m_capture.recordCount() < CSignalCapture::kMinimumRecords) {
        showError(L"Za mało pobranych próbek");
        return;
    }
    m_capture.stop();
    bool written = false;
    const Outcome outcome = CLinkGateway::runOnInstance(L"CReadSignalDlg::OnBnClickedButtonsave()", [&](CLPGDevice&) {
        written = m_capture.setReadSetting(0);
        return true;
    });
    if (outcome == Outcome::Done) {
        if (!written)
            showError(L"Nie udało się zapisać!");
        saveRecords();
    }
    endCapture();
}

void CReadSignalDlg::saveRecords()
{
    const std::wstring path = savePath();
    if (path.size() > kLongestSavePath) {
        userInteraction().showMessage(translateText(L"Nie można zapisać wybranego pliku") + L"\n" + path,
                                      MessageIcon::Error);
        return;
    }
    if (fileExists(path) &&
        !userInteraction().askYesNo(translateText(L"Taki plik już istnieje! Czy chcesz go zamienić?")))
        return;
    CPulseList saved;
    bool stored = false;
    // A long capture is a large file: written off the window's thread.
    CLinkGateway::runOnInstance(nullptr, [&](CLPGDevice&) {
        stored = m_capture.save(path, saved);
        return stored;
    });
    if (!stored) {
        // The records stay with the device: the user can free the file or the disk and save again.
        userInteraction().showMessage(translateText(L"Nie można zapisać wybranego pliku") + L"\n" + path,
                                      MessageIcon::Error);
        return;
    }
    takeSignal(std::move(saved));
}

void CReadSignalDlg::onLoad()
{
    FileRequest request;
    request.folder = getDiagFolder();
    request.filter = translateText(L"Wheal type files (*.csv)|*.csv|");
    request.extension = L"csv";
    request.save = false;
    const std::wstring path = userInteraction().pickFile(request);
    if (!path.empty())
        loadFile(path);
}

bool CReadSignalDlg::loadFile(const std::wstring& path)
{
    CPulseList pulses;
    const Outcome read = CLinkGateway::runOnInstance(nullptr, [&](CLPGDevice&) { return readSignalFile(path, pulses); });
    if (read != Outcome::Done)
        return false;
    takeSignal(std::move(pulses));
    return true;
}

void CReadSignalDlg::onOpenFolder()
{
    if (m_openFolder)
        m_openFolder(getDiagFolder());
}

void CReadSignalDlg::takeSignal(CPulseList pulses)
{
    m_pulses = std::move(pulses);
    m_gaps = gapRecords(m_pulses);
    // A list too short to draw must not leave the previous signal's picture standing.
    m_trace = CSignalTrace();
    if (m_chart) {
        m_chart->ClearData();
        m_chart->setGapSpans({});
        m_chart->setReadout(-1, {});
    }
    drawSignal();
    analyse();
}

void CReadSignalDlg::analyse()
{
    CWheelAnalysis analysis;
    if (analysis.analyse(m_pulses))
        setResults(analysis.pulseCount, analysis.pulseDeficit, analysis.algorithm);
    else
        setResults(0, 0, 0);
}

void CReadSignalDlg::setResults(int32_t pulseCount, int32_t deficit, int32_t algorithm)
{
    m_pulseCount = pulseCount;
    m_pulseDeficit = deficit;
    m_algorithm = algorithm;
    m_deficitDisplay->setValueText(number(deficit));
    m_pulseCountDisplay->setValueText(number(pulseCount));
    m_algorithmDisplay->setValueText(number(algorithm));
}

void CReadSignalDlg::drawSignal()
{
    CSignalTrace trace = traceSignal(m_pulses, m_start, m_divisor);
    if (trace.empty() || !m_chart)
        return;
    m_trace = std::move(trace);
    m_chart->SetUpperValue(2.5);
    m_chart->SetLowerValue(0.0);
    m_chart->SetPointSpan(static_cast<unsigned>(CSignalTrace::kPoints));
    for (size_t i = 0; i < m_trace.values.size(); ++i)
        m_chart->AddData(1, static_cast<double>(i), m_trace.values[i], 0);
    m_chart->Redraw();
    updateGapSpans();
    showReadoutAt(m_chart->readoutPoint());
}

void CReadSignalDlg::updateGapSpans()
{
    std::vector<std::pair<int, int>> spans;
    for (size_t i = 0; i < m_trace.record.size(); ++i) {
        const int64_t r = m_trace.record[i];
        if (r < 0 || !m_gaps[static_cast<size_t>(r)])
            continue;
        const int point = static_cast<int>(i);
        if (!spans.empty() && spans.back().second == point - 1 && m_trace.record[i - 1] == r)
            spans.back().second = point;
        else
            spans.emplace_back(point, point);
    }
    m_chart->setGapSpans(std::move(spans));
}

std::optional<std::pair<int, int>> CReadSignalDlg::firstGapInView() const
{
    if (!m_chart || m_chart->gapSpans().empty())
        return std::nullopt;
    return m_chart->gapSpans().front();
}

void CReadSignalDlg::onRight()
{
    m_start += kMoveStep;
    drawSignal();
}

void CReadSignalDlg::onLeft()
{
    if (m_start >= kMoveStep)
        m_start -= kMoveStep;
    drawSignal();
}

void CReadSignalDlg::onPlus()
{
    ++m_divisor;
    drawSignal();
}

void CReadSignalDlg::onMinus()
{
    if (m_divisor > kSmallestDivisor)
        --m_divisor;
    drawSignal();
}

int CReadSignalDlg::largestDivisor() const
{
    const auto meanPeriod = static_cast<int>(signalScale(m_pulses, 1));
    return std::clamp(meanPeriod, kSmallestDivisor, kDeepestZoom);
}

void CReadSignalDlg::showView(size_t start, int divisor)
{
    if (m_pulses.size() > CSignalTrace::kScaleRecords)
        start = std::min(start, m_pulses.size() - CSignalTrace::kScaleRecords - 1);
    m_start = start;
    m_divisor = divisor;
    drawSignal();
}

int64_t CReadSignalDlg::recordAt(int point) const
{
    if (point < 0 || static_cast<size_t>(point) >= m_trace.record.size())
        return -1;
    return m_trace.record[static_cast<size_t>(point)];
}

void CReadSignalDlg::zoomAt(int point, int notches)
{
    const int64_t record = recordAt(point);
    if (record < 0 || notches == 0)
        return;
    int divisor = m_divisor;
    for (int n = 0; n < std::abs(notches); ++n) {
        divisor = notches > 0 ? std::max(divisor + 1, static_cast<int>(std::lround(divisor * kZoomFactor)))
                              : std::min(divisor - 1, static_cast<int>(std::lround(divisor / kZoomFactor)));
    }
    divisor = std::clamp(divisor, kSmallestDivisor, largestDivisor());
    if (divisor == m_divisor)
        return;
    const uint32_t scale = signalScale(m_pulses, divisor);
    showView(startForAnchor(m_pulses, scale, static_cast<size_t>(record), static_cast<size_t>(point)), divisor);
}

void CReadSignalDlg::beginDrag(int point)
{
    m_dragRecord = recordAt(point);
}

void CReadSignalDlg::dragTo(int point)
{
    if (m_dragRecord < 0 || point < 0)
        return;
    const uint32_t scale = signalScale(m_pulses, m_divisor);
    const size_t start = startForAnchor(m_pulses, scale, static_cast<size_t>(m_dragRecord), static_cast<size_t>(point));
    if (start != m_start)
        showView(start, m_divisor);
}

void CReadSignalDlg::resetView()
{
    showView(0, kFirstDivisor);
}

std::vector<QString> CReadSignalDlg::readoutLines(size_t record) const
{
    const CPulse& pulse = m_pulses[record];
    const std::wstring ticks = L" " + translateText(L"taktów");
    std::wstring ratio = L"–";
    if (const auto r = gapRatio(m_pulses, record)) {
        ratio = utf82unicode(formatFixed(*r, 2));
    }
    std::vector<std::wstring> lines = {
        translateText(L"Rekord") + L" " + number(static_cast<long long>(record)) +
            (m_gaps[record] ? L"  (" + translateText(L"przerwa") + L")" : L""),
        translateText(L"Okres") + L": " + number(pulse.period) + ticks,
        translateText(L"Czas stanu wysokiego") + L": " + number(pulse.highTime) + ticks,
        translateText(L"Współczynnik przerwy") + L": " + ratio,
    };
    std::vector<QString> out;
    for (const std::wstring& line : lines)
        out.push_back(toQString(line));
    return out;
}

void CReadSignalDlg::showReadoutAt(int point)
{
    if (!m_chart)
        return;
    const int64_t record = recordAt(point);
    if (record < 0) {
        m_chart->setReadout(-1, {});
        return;
    }
    m_chart->setReadout(point, readoutLines(static_cast<size_t>(record)));
}

void CReadSignalDlg::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void CReadSignalDlg::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    if (loadFile(toWString(urls.first().toLocalFile())))
        event->acceptProposedAction();
}

CGDIpGradientButton* CReadSignalDlg::button(int id) const
{
    switch (id) {
    case kIdFetch:
        return m_fetch;
    case kIdSave:
        return m_save;
    case kIdOpenFolder:
        return m_openFolderButton;
    case kIdLoad:
        return m_load;
    case kIdRight:
        return m_right;
    case kIdLeft:
        return m_left;
    case kIdPlus:
        return m_plus;
    case kIdMinus:
        return m_minus;
    default:
        return nullptr;
    }
}

CTransparentStatic* CReadSignalDlg::stepCaption(int step) const
{
    return step >= 1 && step <= 3 ? m_steps[step - 1] : nullptr;
}

void CReadSignalDlg::onLanguageChange()
{
    struct Caption {
        CGDIpGradientButton* button;
        const wchar_t* text;
    };
    const Caption captions[] = {
        {m_save, TR_KEY(L"Zapisz")},          {m_fetch, TR_KEY(L"Pobierz dane")},
        {m_load, TR_KEY(L"Załaduj z pliku")}, {m_openFolderButton, TR_KEY(L"Otwórz folder")},
        {m_plus, TR_KEY(L"+")},               {m_minus, TR_KEY(L"-")},
        {m_right, TR_KEY(L"Prawo")},          {m_left, TR_KEY(L"Lewo")},
    };
    for (const Caption& c : captions)
        c.button->setCaption(translateText(c.text));
    m_steps[0]->setCaption(translateText(L"Krok 1"));
    m_steps[1]->setCaption(translateText(L"Krok 2"));
    m_steps[2]->setCaption(translateText(L"Krok 3"));
    m_count->setLabelText(translateText(L"Liczba pobranych pomiarów"));
    m_pulseCountDisplay->setLabelText(translateText(L"Liczba impulsów"));
    m_deficitDisplay->setLabelText(translateText(L"Deficyt impulsów"));
    m_algorithmDisplay->setLabelText(translateText(L"Algorytm"));
    m_hint->setCaption(translateText(
        L"Kółko myszy: powiększenie · przeciąganie: przesuw · dwuklik: powrót · upuść tu plik .csv"));
    if (m_chart)
        showReadoutAt(m_chart->readoutPoint());
}
