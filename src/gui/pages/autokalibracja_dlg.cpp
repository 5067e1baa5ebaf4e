#include "gui/pages/autokalibracja_dlg.h"

#include "gui/skin/gradient_button.h"
#include "gui/skin/statics.h"
#include "operations/auto_calibration.h"

#include <QProgressBar>

CAutokalibracjaDlg::CAutokalibracjaDlg(CAutoCalibration& calibration, QWidget* parent)
    : CSkinDlg(QSize(301, 131), parent), m_calibration(calibration), m_bar(new QProgressBar(this)),
      m_text(new CTransparentStatic(this)), m_cancel(new CGDIpGradientButton(L"Cancel", this))
{
    setModal(true);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    m_cancel->setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
    placeControl(m_text, 9, 10, 287, 49);
    placeControl(m_bar, 6, 66, 294, 16);
    placeControl(m_cancel, 224, 95, 64, 25);
    resize(static_cast<int>(602 * openingScale(parent)), static_cast<int>(262 * openingScale(parent)));
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    onLanguageChange();
    showProgress();
    m_timer.setInterval(static_cast<int>(CAutoCalibration::kTickMs));
    connect(&m_timer, &QTimer::timeout, this, &CAutokalibracjaDlg::onTick);
    m_timer.start();
}

void CAutokalibracjaDlg::onLanguageChange()
{
    setWindowTitle(QString::fromStdWString(translateText(L"Autodetekcja koła zamachowego")));
    showProgress();
}

void CAutokalibracjaDlg::showProgress()
{
    m_bar->setValue(m_calibration.progress());
    m_text->setCaption(translateText(m_calibration.instruction()));
}

void CAutokalibracjaDlg::onTick()
{
    const CAutoCalibration::TickResult result = m_calibration.tick();
    showProgress();
    if (result == CAutoCalibration::TickResult::Complete) {
        m_timer.stop();
        accept();
    }
}
