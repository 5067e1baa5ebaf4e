// The signal page (fourth tab, behind the About box's access code): the technician puts the
// controller into signal-reading mode, captures the crank signal, saves it to "Odczyt.csv" in the
// Diag folder (or loads a saved one), looks at it and has the wheel pattern worked out. The
// capture itself is the core's CSignalCapture, the same that `doravine-cli capture` drives.
//
// Beyond the buttons the chart reads like a tooth logger: the wheel zooms around the pointer,
// dragging moves along the signal, a double-click goes back to the first view, the tooth under
// the pointer is read out (period, high time, gap ratio), the gaps are marked, and a signal file
// dropped onto the page is loaded.
#pragma once

#include "base/language.h"
#include "gui/skin/multi_page_dialog.h"
#include "operations/signal_capture.h"
#include "records/pulse.h"
#include "records/signal_trace.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CDoravineDoc;
class CGDIpDescribedDisplay;
class CGDIpGradientButton;
class CImageCheckBox;
class CLPGDevice;
class CSignalChart;
class CTransparentStatic;

class CReadSignalDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 319;
    static constexpr int kIdReadMode = 1065;
    static constexpr int kIdFetch = 1049;
    static constexpr int kIdSave = 1042;
    static constexpr int kIdOpenFolder = 1064;
    static constexpr int kIdLoad = 1057;
    static constexpr int kIdRight = 1053;
    static constexpr int kIdLeft = 1054;
    static constexpr int kIdPlus = 1056;
    static constexpr int kIdMinus = 1055;
    static constexpr int kIdChart = 1050;

    static constexpr int kFirstDivisor = 20;
    static constexpr int kSmallestDivisor = 2;
    static constexpr size_t kMoveStep = 2;
    static constexpr int kDestroyPauseMs = 150;
    // Longest save path the page accepts, as the described 299-character buffer did.
    static constexpr size_t kLongestSavePath = 299;

    explicit CReadSignalDlg(CDoravineDoc& doc, QWidget* parent = nullptr);
    // Ends a running capture and gives its thread a moment to notice.
    ~CReadSignalDlg() override;

    void v_init() override;
    void v_activate() override;
    void v_deactivate() override;
    void onTimer() override;
    void onLanguageChange() override;

    // The controls' handlers.
    void onReadModeClicked();
    void onFetch();
    void onSave();
    void onLoad();
    void onOpenFolder();
    void onRight();
    void onLeft();
    void onPlus();
    void onMinus();

    // The mouse on the chart (places are points of the drawing, 0 to 1999).
    void zoomAt(int point, int notches);
    // A drag keeps the tooth it grabbed under the pointer.
    void beginDrag(int point);
    void dragTo(int point);
    void resetView();
    void showReadoutAt(int point);

    // "Załaduj z pliku" with the file already chosen (also a file dropped onto the page); false
    // when it cannot be opened, which changes nothing.
    bool loadFile(const std::wstring& path);
    void drawSignal();

    // The folder browser; tests replace it so that no desktop program starts.
    void setFolderOpener(std::function<void(const std::wstring&)> opener) { m_openFolder = std::move(opener); }
    // Where "Zapisz dane" writes.
    static std::wstring savePath();

    // State, for the shell and tests.
    bool modeTicked() const { return m_modeTicked; }
    bool liveStoppedByPage() const { return m_liveStoppedByPage; }
    size_t startIndex() const { return m_start; }
    int scaleDivisor() const { return m_divisor; }
    const CPulseList& pulses() const { return m_pulses; }
    const CSignalTrace& trace() const { return m_trace; }
    int32_t pulseCount() const { return m_pulseCount; }
    int32_t pulseDeficit() const { return m_pulseDeficit; }
    int32_t algorithm() const { return m_algorithm; }
    CSignalCapture& capture() { return m_capture; }
    // The first gap drawn, as places (first, last); nothing when none is in view.
    std::optional<std::pair<int, int>> firstGapInView() const;

    CImageCheckBox* readModeBox() const { return m_readMode; }
    CGDIpGradientButton* button(int id) const;
    CGDIpDescribedDisplay* countDisplay() const { return m_count; }
    CGDIpDescribedDisplay* pulseCountDisplay() const { return m_pulseCountDisplay; }
    CGDIpDescribedDisplay* deficitDisplay() const { return m_deficitDisplay; }
    CGDIpDescribedDisplay* algorithmDisplay() const { return m_algorithmDisplay; }
    CTransparentStatic* stepCaption(int step) const;
    CTransparentStatic* hint() const { return m_hint; }
    CSignalChart* chart() const { return m_chart; }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    CLPGDevice& device();
    void placeControls();
    void styleControls();
    // Ends a capture on any path: capture state idle and the live samples running again if the
    // capture stopped them.
    void endCapture();
    // "Zapisz dane" once the capture is stopped: the overwrite question, the file, the page's copy.
    void saveRecords();
    // The live samples stopped off the window's thread (the stop waits for their thread).
    void stopLiveSamples();
    // Passes of the capture through the gateway; a silent controller is said here.
    bool runPasses(bool (CSignalCapture::*passes)());
    void setResults(int32_t pulseCount, int32_t deficit, int32_t algorithm);
    // A new list on the page (saved or loaded): the first view, drawn and analysed.
    void takeSignal(CPulseList pulses);
    void analyse();
    // Moves to another start or divisor, kept inside what can be drawn, and draws.
    void showView(size_t start, int divisor);
    void updateGapSpans();
    std::vector<QString> readoutLines(size_t record) const;
    // The record drawn at a place; -1 for none.
    int64_t recordAt(int point) const;
    // Largest divisor that still gives a scale of at least 1.
    int largestDivisor() const;

    CDoravineDoc& m_doc;
    CSignalCapture m_capture;
    std::function<void(const std::wstring&)> m_openFolder;

    bool m_setUp = false;
    bool m_active = false;
    bool m_liveStoppedByPage = false;
    bool m_liveStoppedForCapture = false;
    bool m_modeTicked = false;
    // The operating state to put back on leaving, once the page has changed it.
    std::optional<uint32_t> m_stateToRestore;
    CPulseList m_pulses;
    std::vector<bool> m_gaps;
    CSignalTrace m_trace;
    size_t m_start = 0;
    int m_divisor = kFirstDivisor;
    int32_t m_pulseCount = 0;
    int32_t m_pulseDeficit = 0;
    int32_t m_algorithm = 0;
    int64_t m_dragRecord = -1;

    CImageCheckBox* m_readMode;
    CGDIpGradientButton* m_fetch;
    CGDIpGradientButton* m_save;
    CGDIpGradientButton* m_openFolderButton;
    CGDIpGradientButton* m_load;
    CGDIpGradientButton* m_right;
    CGDIpGradientButton* m_left;
    CGDIpGradientButton* m_plus;
    CGDIpGradientButton* m_minus;
    CTransparentStatic* m_steps[3];
    CTransparentStatic* m_hint;
    CGDIpDescribedDisplay* m_count;
    CGDIpDescribedDisplay* m_pulseCountDisplay;
    CGDIpDescribedDisplay* m_deficitDisplay;
    CGDIpDescribedDisplay* m_algorithmDisplay;
    QWidget* m_chartPlace;
    CSignalChart* m_chart = nullptr;
};
