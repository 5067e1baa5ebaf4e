// The base of the program's pop-up dialogs: a grey gradient dialog whose controls sit at their
// template places (dialog units) and scale with it, with tool tips that stay 6 s.
#pragma once

#include "gui/skin/template_layout.h"

#include <QDialog>

#include <string>

class CSkinDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kToolTipMillis = 6000;

    // templateSize: the dialog's template in dialog units.
    explicit CSkinDlg(QSize templateSize, QWidget* parent = nullptr);

    // Puts a control at its template place; it follows the dialog's size.
    void placeControl(QWidget* control, int x, int y, int width, int height);
    // A tool tip for a control, in the dialog's tool-tip style.
    void setToolTipFor(QWidget* control, const std::wstring& text);
    CTemplateLayout& templateLayout() { return m_layout; }
    // How much larger than its native size a dialog opens over parent's window (1 up to 768
    // pixels high, growing with the window, at most 2).
    static double openingScale(const QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    CTemplateLayout m_layout;
};
