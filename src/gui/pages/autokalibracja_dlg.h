// The auto-detection's dialog: a thin face over the collection of CAutoCalibration. Its 100 ms
// timer ticks the collection and shows the progress and the instruction; it ends with OK once the
// records are in, and with Cancel at once when the user cancels (a pass still on the line is left
// to finish on its own thread).
#pragma once

#include "base/language.h"
#include "gui/shell/skin_dlg.h"

#include <QTimer>

class CAutoCalibration;
class CGDIpGradientButton;
class CTransparentStatic;
class QProgressBar;

class CAutokalibracjaDlg : public CSkinDlg, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 320;
    static constexpr int kTimerId = 10;

    CAutokalibracjaDlg(CAutoCalibration& calibration, QWidget* parent = nullptr);

    void onLanguageChange() override;
    // One tick of the collection (the timer calls it).
    void onTick();

    QProgressBar* progressBar() const { return m_bar; }
    CTransparentStatic* instruction() const { return m_text; }
    CGDIpGradientButton* cancelButton() const { return m_cancel; }
    QTimer& timer() { return m_timer; }

  private:
    void showProgress();

    CAutoCalibration& m_calibration;
    QProgressBar* m_bar;
    CTransparentStatic* m_text;
    CGDIpGradientButton* m_cancel;
    QTimer m_timer;
};
