#include "gui/pages/map_angle_dlg.h"

#include "operations/doravine_doc.h"
#include "gui/pages/definicja_dlg.h"
#include "gui/pages/map_angle.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"
#include "gui/skin/theme.h"

#include <QKeyEvent>

CMapAngleDlg::CMapAngleDlg(CDoravineDoc& doc, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(627, 291), parent), m_doc(doc), m_grid(new CMapAngle(doc.EditedRecord(), this)),
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
}

void CMapAngleDlg::v_activate()
{
    m_grid->fillFromRecord();
    showLimits();
    // A file has no operating state of its own: it is always open for editing.
    setEnabled(m_doc.EditedRecord().file() || m_doc.Device().m_settings.workState == kWorkStateNormal);
    m_grid->setFocus();
}

void CMapAngleDlg::onTimer()
{
    CDiagData& samples = m_doc.Device().m_diagData;
    CDiag sample;
    if (samples.count() == 0 || !samples.getLast(sample))
        return;
    m_grid->showOperatingPoint(sample.rpm(), sample.mapVolts());
}

void CMapAngleDlg::onLanguageChange()
{
    m_clear->setCaption(translateText(L"Kasuj"));
    m_definition->setCaption(translateText(L"Definicja"));
    m_saveDefault->setCaption(translateText(L"Zapisz jako domyślną"));
    showLimits();
}

void CMapAngleDlg::showLimits()
{
    // What a mechanic needs beside the grid: the step the keys move by, the highest angle, what
    // the dark red cell means and where the other commands are.
    const CAngleLimits& l = m_grid->mapEditor().limits();
    auto text = [](const wchar_t* key) { return toQString(translateText(key)).toHtmlEscaped(); };
    auto degrees = [](double x) { return toQString(formatDecimal(x, 1)) + QStringLiteral("°"); };
    m_limits->setTextFormat(Qt::RichText);
    m_limits->setText(QStringLiteral("%1: <b>%2</b><br>%3: <b>%4</b><br><br>"
                                     "<span style='color:%5'>&#9632;</span> %6<br><br>%7<br>%8")
                          .arg(text(L"Krok kąta"), degrees(l.step), text(L"Maksymalny kąt"), degrees(l.highest),
                               theme::fromColorRef(CMapAngle::kOperatingPointColor).name(),
                               text(L"Punkt pracy silnika"), text(L"Ctrl+↑ / Ctrl+↓: zmiana o krok"),
                               text(L"Prawy przycisk myszy: więcej poleceń")));
}

void CMapAngleDlg::onDefinition()
{
    const CMapState before = CMapState::of(m_doc.EditedRecord().record());
    {
        CDefinicjaDlg dialog(m_doc.EditedRecord(), window());
        dialog.exec();
    }
    m_grid->mapEditor().recordChange(before);
    m_grid->fillFromRecord();
}

void CMapAngleDlg::onClear()
{
    m_grid->mapEditor().clearMap();
    m_grid->fillFromRecord();
}

void CMapAngleDlg::onSaveDefault()
{
    m_doc.SaveDefaultSettings();
}

bool CMapAngleDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isEnabled() && !m_grid->isEditing()) {
        if (m_grid->handleKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return CGDIpMultiPageDialog::eventFilter(watched, event);
}

void CMapAngleDlg::resizeEvent(QResizeEvent* event)
{
    CGDIpMultiPageDialog::resizeEvent(event);
    // The grid takes the page's whole height, the save button closes the button column at its
    // foot: the template's proportions would leave a third of a tall page empty.
    const QRect grid = m_grid->geometry();
    const int bottom = height() - grid.top();
    m_grid->setGeometry(QRect(grid.topLeft(), QPoint(grid.right(), bottom)));
    QRect save = m_saveDefault->geometry();
    save.moveBottom(bottom);
    m_saveDefault->setGeometry(save);
    QRect clear = m_clear->geometry();
    clear.moveTop(grid.top() + (bottom - grid.top()) / 2 - clear.height() / 2);
    m_clear->setGeometry(clear);
}
