// The base of every page hosted by the page control: a transparent widget over the control's
// panel that places its controls from template coordinates.
#pragma once

#include "gui/skin/multi_page_content.h"
#include "gui/skin/template_layout.h"

#include <QWidget>

class CGDIpMultiPageDialog : public QWidget, public IMultiPageContent {
    Q_OBJECT
  public:
    // templateSize: the page's template in dialog units (e.g. 267 x 420 for the readings panel).
    explicit CGDIpMultiPageDialog(QSize templateSize, QWidget* parent = nullptr);

    void v_init() override {}
    void v_activate() override {}
    void v_deactivate() override {}

    // Runs v_init the first time only; the page control calls it when the page is inserted.
    void initialiseOnce();
    bool isInitialised() const { return m_initialised; }

    // Puts a control at its template place (dialog units); it follows the page's size.
    void placeControl(QWidget* control, int x, int y, int width, int height);
    CTemplateLayout& templateLayout() { return m_layout; }
    // The window's fonts for this page's texts (the page control passes them on every resize).
    void setRoleFonts(const CRoleFonts& fonts);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CTemplateLayout m_layout;
    bool m_initialised = false;
};
