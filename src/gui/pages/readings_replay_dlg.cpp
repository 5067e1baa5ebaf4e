#include "gui/pages/readings_replay_dlg.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "gui/pages/map_overlay.h"
#include "gui/skin/cell_array.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/log_chart.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "records/map_model.h"
#include "records/readings_format.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPlayTickMillis = 40;

} // namespace

// The map as it is now, read only: its values, the shading of the span and the cell at the cursor.
class CLogMapGrid : public CCellArray {
  public:
    CLogMapGrid(CSettingsRecord& record, const CMapDwell& dwell, QWidget* parent)
        : CCellArray(parent), m_record(record), m_dwell(dwell)
    {
        init(kMapColumns, kMapRows, L"Map\\RPM",
             {QColor(0, 0, 0), QColor(200, 200, 200), QColor(0, 0, 0), QColor(255, 255, 255), QColor(160, 255, 160),
              QColor(210, 210, 210)});
        setCurrentColor(QColor(120, 0, 0));
        setCellOverlay([this](QPainter& painter, CCellPos cell, const QRect& rect) {
            paintDwellShade(painter, rect, m_dwell.shade(cell.column, cell.row));
        });
        setFocusPolicy(Qt::NoFocus);
    }
    void setCursorCell(CMapCell cell)
    {
        if (cell == m_cursor)
            return;
        updateCell({m_cursor.column, m_cursor.row});
        m_cursor = cell;
        updateCell({cell.column, cell.row});
    }

  protected:
    QString cellText(CCellPos cell) const override
    {
        if (cell.isCorner())
            return {};
        if (cell.column < 0)
            return QString::fromStdString(formatFixed(m_record.mapAxis[cell.row], 2));
        if (cell.row < 0)
            return QString::fromStdString(formatFixed(m_record.rpmAxis[cell.column], 0));
        return QString::fromStdString(formatFixed(m_record.advanceMap[cell.row][cell.column], 1));
    }
    bool cellCurrent(CCellPos cell) const override { return cell.column == m_cursor.column && cell.row == m_cursor.row; }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            CCellPos cell;
            if (cellAt(help->pos(), cell) && cell.isData())
                QToolTip::showText(help->globalPos(),
                                   dwellTipText(m_dwell.seconds(cell.column, cell.row), m_dwell.total()), this);
            else
                QToolTip::hideText();
            return true;
        }
        return CCellArray::event(event);
    }

  private:
    CSettingsRecord& m_record;
    const CMapDwell& m_dwell;
    CMapCell m_cursor{-1, -1};
};

CReadingsReplayDlg::CReadingsReplayDlg(CReadingsSeries series, CSettingsRecord& record, const QString& title,
                                       size_t skippedLines, QWidget* parent)
    : QDialog(parent), m_series(std::move(series)), m_record(record), m_skipped(skippedLines),
      m_chart(new CLogChart(this)), m_grid(new CLogMapGrid(record, m_dwell, this)), m_note(new QLabel(this)),
      m_play1(new CGDIpGradientButton(this)), m_play8(new CGDIpGradientButton(this)),
      m_stop(new CGDIpGradientButton(this)), m_whole(new CGDIpGradientButton(this)),
      m_languageHook([this] { nameControls(); })
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("CReadingsReplayDlg"));
    auto* body = new QHBoxLayout;
    body->addWidget(m_chart, 3);
    body->addWidget(m_grid, 2);
    // Four-digit breakpoints stay readable in a narrow window: the chart gives way first.
    m_grid->setMinimumWidth(16 * 28);
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_play1), static_cast<QWidget*>(m_play8), static_cast<QWidget*>(m_stop),
                       static_cast<QWidget*>(m_whole)}) {
        w->setMinimumHeight(24);
        buttons->addWidget(w);
    }
    buttons->addWidget(m_note, 1);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(body, 1);
    whole->addLayout(buttons);
    m_note->setWordWrap(true);
    m_note->setStyleSheet(QStringLiteral("color: #1e2430;"));

    const double rpmTop = std::max(7000.0, std::ceil(std::max_element(m_series.samples().begin(), m_series.samples().end(),
                                                                      [](const CLogSample& a, const CLogSample& b) { return a.rpm < b.rpm; })
                                                         ->rpm /
                                                     1000.0) *
                                               1000.0);
    m_chart->setSeries(&m_series, {{LogLane::Rpm, {}, QColor(255, 170, 60), 0, rpmTop, 0, L"RPM"},
                                   {LogLane::Advance, {}, QColor(120, 230, 120), 0, 30, 1, L"°"},
                                   {LogLane::Map, {}, QColor(90, 190, 255), 0, 5, 2, L"V"},
                                   {LogLane::Tps, {}, QColor(230, 120, 230), 0, 5, 2, L"V"},
                                   {LogLane::Supply, {}, QColor(240, 230, 110), 8, 16, 2, L"V"}});
    connect(m_chart, &CLogChart::spanChanged, this, &CReadingsReplayDlg::onSpan);
    connect(m_chart, &CLogChart::cursorMoved, this, &CReadingsReplayDlg::onCursor);
    connect(m_play1, &QPushButton::clicked, this, [this] { play(1); });
    connect(m_play8, &QPushButton::clicked, this, [this] { play(8); });
    connect(m_stop, &QPushButton::clicked, this, [this] { play(0); });
    connect(m_whole, &QPushButton::clicked, m_chart, &CLogChart::showWhole);
    m_playTimer.setInterval(kPlayTickMillis);
    connect(&m_playTimer, &QTimer::timeout, this, &CReadingsReplayDlg::onPlayTick);
    nameControls();
    onSpan(m_chart->spanFrom(), m_chart->spanTo());
    onCursor(m_chart->cursorTime());
    resize(1100, 560);
}

CReadingsReplayDlg::~CReadingsReplayDlg() = default;

void CReadingsReplayDlg::nameControls()
{
    const int ids[] = {0, 1, 2, 3, 4};
    const wchar_t* labels[] = {L"Obroty", L"Wyprzedzenie", L"MAP", L"TPS", L"Zasilanie"};
    for (int i : ids)
        m_chart->setLaneLabel(i, translateText(labels[i]));
    m_play1->setCaption(translateText(L"Odtwórz 1x"));
    m_play8->setCaption(translateText(L"Odtwórz 8x"));
    m_stop->setCaption(translateText(L"Zatrzymaj"));
    m_whole->setCaption(translateText(L"Cały zapis"));
    QString note = toQString(translateText(L"Kółko myszy: powiększenie, ruch myszy: kursor"));
    if (m_skipped > 0)
        note += QStringLiteral("<br><b>%1 %2</b>").arg(toQString(translateText(L"Pominięte uszkodzone wiersze:"))).arg(m_skipped);
    m_note->setText(note);
}

void CReadingsReplayDlg::onSpan(double from, double to)
{
    CMapModel model(m_record);
    m_dwell = m_series.dwell(from, to, [&model](double rpm, double map) { return model.findCell(rpm, map); });
    m_grid->update();
}

void CReadingsReplayDlg::onCursor(double t)
{
    if (m_series.empty())
        return;
    const CLogSample& s = m_series.samples()[m_series.indexAt(t)];
    m_grid->setCursorCell(CMapModel(m_record).findCell(s.rpm, s.map));
}

void CReadingsReplayDlg::play(double speed)
{
    m_speed = speed;
    if (speed <= 0) {
        m_playTimer.stop();
        return;
    }
    if (m_chart->cursorTime() >= m_series.endTime())
        m_chart->setCursorTime(m_series.startTime());
    m_sincePlayTick.start();
    m_playTimer.start();
}

void CReadingsReplayDlg::onPlayTick()
{
    // By the clock, not by the ticks: a busy window plays late, never slow.
    const double step = m_sincePlayTick.restart() / 1000.0 * m_speed;
    const double t = m_chart->cursorTime() + step;
    // The zoomed span follows the cursor a page at a time.
    if (t > m_chart->spanTo())
        m_chart->setSpan(t, t + (m_chart->spanTo() - m_chart->spanFrom()));
    m_chart->setCursorTime(t);
    if (t >= m_series.endTime())
        play(0);
}

CReadingsReplayDlg* CReadingsReplayDlg::open(const std::filesystem::path& path, CSettingsRecord& record, QWidget* parent)
{
    CReadingsLogReader reader;
    const CReadingsLogReader::Result result = reader.read(path);
    if (result != CReadingsLogReader::Result::Read) {
        userInteraction().showMessage(CReadingsLogReader::problemText(result) + L"\n" + path.wstring(),
                                      MessageIcon::Warning);
        return nullptr;
    }
    const QString title = toQString(translateText(L"Zapis odczytów")) + QStringLiteral(" - ") +
                          toQString(path.filename().wstring());
    auto* dlg = new CReadingsReplayDlg(reader.takeSeries(), record, title, reader.skippedLines(), parent);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
    return dlg;
}

CReadingsReplayDlg* CReadingsReplayDlg::pickAndOpen(CSettingsRecord& record, QWidget* parent)
{
    const std::wstring file =
        userInteraction().pickFile({getDiagFolder(), translateText(L"Zapisy odczytów (*.csv)|*.csv"), L"csv", false});
    if (file.empty())
        return nullptr;
    return open(nativePath(file), record, parent);
}
