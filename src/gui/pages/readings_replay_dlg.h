// A readings log replayed: its lanes over the whole log with a cursor, and beside them the map
// grid shaded by where the engine was over the log or over the zoomed span, with the operating
// point at the cursor. Plays at real speed or eight times faster. A window of its own, so the
// live pages stay usable beside it.
#pragma once

#include "base/language.h"
#include "files/readings_log_reader.h"
#include "records/map_dwell.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <filesystem>
#include <memory>

class CGDIpGradientButton;
class CLogChart;
class CLogMapGrid;
class QLabel;
struct CSettingsRecord;

class CReadingsReplayDlg : public QDialog {
    Q_OBJECT
  public:
    // The grid shows record's map and finds the cells on its axes; record must outlive the window.
    CReadingsReplayDlg(CReadingsSeries series, CSettingsRecord& record, const QString& title,
                       size_t skippedLines, QWidget* parent = nullptr);
    ~CReadingsReplayDlg() override;

    // File > "Otwórz zapis odczytów...": asks for a log, reads it and opens the window (left to
    // close itself). A file that gives no readings is refused with the reason; null then.
    static CReadingsReplayDlg* open(const std::filesystem::path& path, CSettingsRecord& record, QWidget* parent);
    static CReadingsReplayDlg* pickAndOpen(CSettingsRecord& record, QWidget* parent);

    // Plays from the cursor at speed times real time (stops at the log's end); 0 stops.
    void play(double speed);
    double playSpeed() const { return m_speed; }

    CLogChart* chart() const { return m_chart; }
    const CMapDwell& spanDwell() const { return m_dwell; }
    const CReadingsSeries& series() const { return m_series; }

  private:
    void onSpan(double from, double to);
    void onCursor(double t);
    void onPlayTick();
    void nameControls();

    CReadingsSeries m_series;
    CSettingsRecord& m_record;
    CMapDwell m_dwell;
    size_t m_skipped;
    CLogChart* m_chart;
    CLogMapGrid* m_grid;
    QLabel* m_note;
    CGDIpGradientButton* m_play1;
    CGDIpGradientButton* m_play8;
    CGDIpGradientButton* m_stop;
    CGDIpGradientButton* m_whole;
    QTimer m_playTimer;
    QElapsedTimer m_sincePlayTick;
    double m_speed = 0;
    // The window follows a change of the program's language while it is open.
    CLanguageChangeHook m_languageHook;
};
