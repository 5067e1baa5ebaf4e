#include "gui/pages/map_angle_dlg.h"

#include "operations/doravine_doc.h"
#include "base/user_interaction.h"
#include "gui/pages/definicja_dlg.h"
#include "gui/shell/link_gateway.h"
#include "operations/map_operations.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_curves.h"
#include "gui/pages/map_overlay.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"
#include "gui/skin/theme.h"

#include <QFontMetrics>
#include <QCheckBox>
#include <QKeyEvent>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

CMapAngleDlg::CMapAngleDlg(CDoravineDoc& doc, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(627, 291), parent), m_doc(doc), m_grid(new CMapAngle(doc.Device(), doc.EditedRecord(), this)),
      m_definition(new CGDIpGradientButton(this)), m_clear(new CGDIpGradientButton(this)),
      m_saveDefault(new CGDIpGradientButton(this)), m_limits(new CTransparentStatic(this))
{
    placeControl(m_grid, 7, 7, 496, 277);
    placeControl(m_definition, 510, 7, 110, 21);
    placeControl(m_limits, 510, 36, 110, 115);
    placeControl(m_clear, 510, 132, 110, 21);
    placeControl(m_saveDefault, 510, 264, 110, 20);
    m_limits->setWordWrap(true);
    m_limits->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(m_definition),
                       static_cast<QWidget*>(m_clear), static_cast<QWidget*>(m_saveDefault)})
        w->installEventFilter(this);
    connect(m_definition, &QPushButton::clicked, this, &CMapAngleDlg::onDefinition);
    connect(m_clear, &QPushButton::clicked, this, &CMapAngleDlg::onClear);
    connect(m_saveDefault, &QPushButton::clicked, this, &CMapAngleDlg::onSaveDefault);
    createViews();
}

void CMapAngleDlg::v_init()
{
    CGDIpMultiPageDialog::v_init();
    m_grid->init(kMapColumns, kMapRows, L"Map\\RPM",
                 {theme::fromColorRef(0x000000), theme::fromColorRef(0xC8C8C8), theme::fromColorRef(0x000000),
                  theme::fromColorRef(0xFFFFFF), theme::fromColorRef(0xA0FFA0), theme::fromColorRef(0xD2D2D2)});
    m_grid->fillFromRecord();
    m_clear->setCaption(translateText(L"Kasuj"));
    m_definition->setCaption(translateText(L"Definicja"));
    m_saveDefault->setCaption(translateText(L"Zapisz jako domyślną"));
    showLimits();
    nameViews();
}

void CMapAngleDlg::v_activate()
{
    if (!m_grid->rereadIfDue())
        m_grid->fillFromRecord();
    showLimits();
    showUsable();
    m_grid->setFocus();
}

void CMapAngleDlg::showUsable()
{
    const CLPGDevice& device = m_doc.Device();
    // A file has no operating state of its own: it is always open for editing.
    setEnabled(m_doc.EditedRecord().file() ||
               (!device.m_demo && !m_grid->mapEditor().blank() && device.m_settings.workState == kWorkStateNormal));
}

void CMapAngleDlg::onTimer()
{
    // The record may be changing on the link's side meanwhile.
    if (CLinkGateway* gateway = CLinkGateway::instance(); gateway && gateway->busy())
        return;
    // A controller back after a failed write: its map as it is.
    if (m_doc.Device().isConnected() && m_grid->rereadIfDue())
        showLimits();
    CDiagData& samples = m_doc.Device().m_diagData;
    CDiag sample;
    // A lost controller's last point is not where the engine is now.
    if (!m_doc.Device().isConnected()) {
        m_grid->hideOperatingPoint();
        m_curves->setOperatingPoint(std::nullopt);
        return;
    }
    if (samples.count() == 0 || !samples.getLast(sample))
        return;
    m_grid->showOperatingPoint(sample.rpm(), sample.mapVolts());
    m_curves->setOperatingPoint(std::make_pair(sample.rpm(), sample.mapVolts()));
}

void CMapAngleDlg::onLanguageChange()
{
    m_clear->setCaption(translateText(L"Kasuj"));
    m_definition->setCaption(translateText(L"Definicja"));
    m_saveDefault->setCaption(translateText(L"Zapisz jako domyślną"));
    showLimits();
    nameViews();
}

void CMapAngleDlg::showLimits()
{
    // What a mechanic needs beside the grid: the step the keys move by, the highest angle, what
    // the dark red cell means and where the other commands are.
    const CAngleLimits& l = m_grid->mapEditor().limits();
    const bool blank = m_grid->mapEditor().blank();
    auto text = [](const wchar_t* key) { return toQString(translateText(key)).toHtmlEscaped(); };
    auto degrees = [blank](double x) {
        return blank ? toQString(CMapAngle::kNoValue) : toQString(formatDecimal(x, 1)) + QStringLiteral("°");
    };
    m_limits->setTextFormat(Qt::RichText);
    m_limits->setText(QStringLiteral("%1: <b>%2</b><br>%3: <b>%4</b><br><br>"
                                     "<span style='color:%5'>&#9632;</span> %6<br><br>%7<br>%8")
                          .arg(text(L"Krok kąta"), degrees(l.step), text(L"Maksymalny kąt"), degrees(l.highest),
                               theme::fromColorRef(CMapAngle::kOperatingPointColor).name(),
                               text(L"Punkt pracy silnika"), text(L"Ctrl+↑ / Ctrl+↓: zmiana o krok"),
                               text(L"Prawy przycisk myszy: więcej poleceń")));
    // Another text may take another number of lines: what stands under it moves.
    placeColumn();
}

void CMapAngleDlg::onDefinition()
{
    const CMapState before = CMapState::of(m_doc.EditedRecord().record());
    CDefinicjaDlg dialog(m_doc.EditedRecord(), window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    afterWrite(before, dialog.outcome() == CLinkGateway::Outcome::Done);
}

void CMapAngleDlg::afterWrite(const CMapState& before, bool written)
{
    CMapEditor& editor = m_grid->mapEditor();
    if (written)
        editor.recordChange(before);
    else
        editor.showUnconfirmedRecord();
    m_grid->update();
    m_grid->rereadIfDue();
    showLimits();
}

void CMapAngleDlg::onClear()
{
    IEditedRecord& edited = m_doc.EditedRecord();
    const CMapState before = CMapState::of(edited.record());
    // An open file is cleared on the window's thread; the controller through the gateway.
    if (edited.file()) {
        afterWrite(before, clearMapStep(edited));
        return;
    }
    CLinkGateway* gateway = CLinkGateway::instance();
    CMapEditor& editor = m_grid->mapEditor();
    if (!gateway || !editor.connectedOrSay())
        return;
    const std::wstring backup = editor.prepareClear(m_doc.Device());
    if (backup.empty())
        return;
    const auto outcome = gateway->run(L"CMapAngleDlg::OnBnClickedBtnClrMapTime()", &eraseControllerMap);
    if (outcome == CLinkGateway::Outcome::Busy)
        return;
    afterWrite(before, outcome == CLinkGateway::Outcome::Done);
    // Over the emptied grid.
    if (outcome == CLinkGateway::Outcome::Done)
        editor.reportCleared(backup);
}

void CMapAngleDlg::onSaveDefault()
{
    // The file takes the record: after a failed write, the controller's map first. Demo values
    // are nobody's: they never become the map a detection loads.
    m_grid->rereadIfDue();
    if (!m_doc.EditedRecord().holdsValues()) {
        userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Warning);
        return;
    }
    if (!m_doc.SaveDefaultSettings())
        userInteraction().showMessage(translateText(L"Nie można zapisać wybranego pliku"), MessageIcon::Error);
}

bool CMapAngleDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid) {
        if (event->type() == QEvent::Paint)
            m_curves->refresh();
        return CGDIpMultiPageDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && isEnabled() && !m_grid->isEditing()) {
        if (m_grid->handleKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return CGDIpMultiPageDialog::eventFilter(watched, event);
}

namespace {

// Height a button needs: its place, or two lines when its caption (a translation) is too long for one.
int buttonHeight(const CGDIpGradientButton& button, int placed)
{
    QFont f = button.font();
    f.setBold(true);
    const QFontMetrics fm(f);
    if (fm.horizontalAdvance(button.text()) <= button.width() - 14)
        return placed;
    return std::max(placed, 2 * fm.lineSpacing() + 8);
}

// Height the rich text of a label needs at the width it has, in the font the page gave it.
int textHeight(const CTransparentStatic& label)
{
    QTextDocument doc;
    doc.setDefaultFont(label.wantedFont());
    doc.setDocumentMargin(0);
    doc.setHtml(label.text());
    doc.setTextWidth(label.width());
    return static_cast<int>(std::ceil(doc.size().height())) + QFontMetrics(label.wantedFont()).lineSpacing() / 2;
}

} // namespace

void CMapAngleDlg::resizeEvent(QResizeEvent* event)
{
    CGDIpMultiPageDialog::resizeEvent(event);
    placeColumn();
}

void CMapAngleDlg::placeColumn()
{
    // The grid takes the page's whole height. The column beside it: the definition button, the
    // limits and hints, "Kasuj" under them, the save button at the foot; what lies between
    // "Kasuj" and the save button is free (freeColumn).
    const QRect grid = m_grid->geometry();
    const int bottom = height() - grid.top();
    m_grid->setGeometry(QRect(grid.topLeft(), QPoint(grid.right(), bottom)));
    const int gap = std::max(4, m_definition->height() / 3);
    QRect definition = m_definition->geometry();
    definition.setHeight(buttonHeight(*m_definition, definition.height()));
    m_definition->setGeometry(definition);
    QRect limits = m_limits->geometry();
    limits.moveTop(definition.bottom() + 1 + gap);
    m_limits->setGeometry(limits);
    limits.setHeight(textHeight(*m_limits));
    m_limits->setGeometry(limits);
    QRect clear = m_clear->geometry();
    clear.setHeight(buttonHeight(*m_clear, clear.height()));
    clear.moveTop(limits.bottom() + 1 + gap);
    m_clear->setGeometry(clear);
    QRect save = m_saveDefault->geometry();
    save.setHeight(buttonHeight(*m_saveDefault, save.height()));
    save.moveBottom(bottom);
    m_saveDefault->setGeometry(save);
    if (m_curves)
        placeViews();
}

QRect CMapAngleDlg::freeColumn() const
{
    const int gap = std::max(4, m_definition->height() / 3);
    return QRect(QPoint(m_clear->x(), m_clear->geometry().bottom() + 1 + gap),
                 QPoint(m_clear->geometry().right(), m_saveDefault->y() - gap - 1));
}

// ---- Curves, trail and shading ---------------------------------------------------------------

void CMapAngleDlg::createViews()
{
    IEditedRecord& edited = m_doc.EditedRecord();
    m_curves = new CMapCurves(m_grid->mapEditor(), edited, this);
    m_overlay = new CMapOverlay(*m_grid, edited);
    m_againstMap = new QCheckBox(this);
    m_trailBox = new QCheckBox(this);
    m_dwellBox = new QCheckBox(this);
    m_resetDwell = new CGDIpGradientButton(this);
    m_trailBox->setChecked(m_overlay->trailShown());
    connect(m_againstMap, &QCheckBox::toggled, m_curves, &CMapCurves::setAgainstMap);
    connect(m_trailBox, &QCheckBox::toggled, m_overlay, &CMapOverlay::setTrailShown);
    connect(m_dwellBox, &QCheckBox::toggled, this, [this](bool on) {
        m_overlay->setDwellShown(on);
        m_resetDwell->setEnabled(on);
    });
    connect(m_resetDwell, &QPushButton::clicked, m_overlay, &CMapOverlay::resetDwell);
    m_resetDwell->setEnabled(false);
    // Whatever repaints the grid (an edit, undo, a refill) may have changed what the curves show.
    m_grid->installEventFilter(this);
    // A click on a switch leaves the keys with the grid.
    for (QWidget* w : {static_cast<QWidget*>(m_againstMap), static_cast<QWidget*>(m_trailBox),
                       static_cast<QWidget*>(m_dwellBox), static_cast<QWidget*>(m_resetDwell)})
        w->setFocusPolicy(Qt::NoFocus);
}

void CMapAngleDlg::nameViews()
{
    m_switchTexts = {toQString(translateText(L"Wg MAP")), toQString(translateText(L"Ślad")),
                     toQString(translateText(L"Czas w komórkach"))};
    m_resetDwell->setCaption(translateText(L"Zeruj"));
    m_dwellTip = toQString(translateText(L"Cieniuje komórki wg czasu pracy silnika w nich od włączenia; "
                                         L"czas komórki w dymku nad nią."));
    // The texts' widths decide whether the reset fits beside its switch.
    placeViews();
}

void CMapAngleDlg::placeViews()
{
    // Below "Kasuj": the grid's two switches (the reset beside its switch where the column is
    // wide enough, under it where not), then the curves down to the save button with their own
    // switch under them.
    // The switches speak in the page's text font, which follows the window's height.
    const int pixels = templateLayout().fonts(size()).text.pixelSize();
    for (QWidget* w : {static_cast<QWidget*>(m_againstMap), static_cast<QWidget*>(m_trailBox),
                       static_cast<QWidget*>(m_dwellBox), static_cast<QWidget*>(m_resetDwell)}) {
        QFont font = w->font();
        font.setPixelSize(pixels);
        w->setFont(font);
    }
    const QRect clear = m_clear->geometry();
    const QRect save = m_saveDefault->geometry();
    const int row = std::max({18, clear.height() * 4 / 5, QFontMetrics(m_trailBox->font()).height() + 6});
    const int gap = std::max(3, row / 4);
    const int resetText = m_resetDwell->sizeHint().width();
    // The switch's own width from its text and the style's box, with a character to spare: the
    // text is never cut.
    const QFontMetrics metrics(m_dwellBox->font());
    const int dwellWidth = metrics.horizontalAdvance(m_switchTexts[2]) + metrics.averageCharWidth() +
                           m_dwellBox->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_dwellBox) +
                           m_dwellBox->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, m_dwellBox);
    const bool resetBeside = std::max(dwellWidth, m_dwellBox->sizeHint().width()) + gap + resetText <= clear.width();
    const int reset = resetBeside ? resetText : clear.width();
    int y = clear.bottom() + gap * 2;
    m_trailBox->setGeometry(clear.left(), y, clear.width(), row);
    y += row + gap / 2;
    m_dwellBox->setGeometry(clear.left(), y, resetBeside ? clear.width() - reset - gap : clear.width(), row);
    if (!resetBeside)
        y += row + gap / 2;
    m_resetDwell->setGeometry(clear.right() - reset + 1, y, reset, row);
    y += row + gap * 2;
    const int curvesBottom = save.top() - gap * 2 - row;
    m_curves->setGeometry(clear.left(), y, clear.width(), std::max(0, curvesBottom - y));
    m_curves->setVisible(curvesBottom - y >= row * 3);
    m_againstMap->setGeometry(clear.left(), curvesBottom + gap / 2, clear.width(), row);
    nameSwitches();
}

void CMapAngleDlg::nameSwitches()
{
    // In a narrow column a switch's text is shortened, its whole text in the tool tip.
    const std::array<QCheckBox*, 3> boxes = {m_againstMap, m_trailBox, m_dwellBox};
    for (size_t i = 0; i < boxes.size(); ++i) {
        QCheckBox* box = boxes[i];
        const QFontMetrics metrics(box->font());
        const int room = box->width() - metrics.averageCharWidth() -
                         box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) -
                         box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        const QString whole = m_switchTexts[i];
        const QString shown = metrics.elidedText(whole, Qt::ElideRight, std::max(0, room));
        box->setText(shown);
        QString tip = shown == whole ? QString() : whole;
        if (box == m_dwellBox)
            tip = tip.isEmpty() ? m_dwellTip : tip + QStringLiteral("\n") + m_dwellTip;
        box->setToolTip(tip);
    }
}

void CMapAngleDlg::countSamples()
{
    m_overlay->countSamples(m_doc.Device().m_diagData);
}
