// The comparison of a settings file with the controller, before anything is written: what the
// load would change in the TPS threshold and the input source, and the map as a grid whose
// changed cells and axis points are marked with the controller's value and the file's. A button
// goes on to the load of that file.
#pragma once

#include "gui/shell/skin_dlg.h"
#include "operations/doravine_doc.h"

class CGDIpGradientButton;
class CGDIpStatic;
class CTransparentStatic;
class QTableWidget;

class CCompareDlg : public CSkinDlg {
    Q_OBJECT
  public:
    // exec() answers this when the user chose to load the file.
    static constexpr int GoOnToLoad = 2;

    CCompareDlg(const CDoravineDoc::Comparison& comparison, QWidget* parent = nullptr);

    QTableWidget* grid() const { return m_grid; }
    CTransparentStatic* summary() const { return m_summary; }
    CTransparentStatic* settingsLines() const { return m_settings; }
    CGDIpGradientButton* loadButton() const { return m_load; }
    // Whether the grid marks a map cell, an RPM point (column header) or a MAP point (row header).
    bool cellMarked(int row, int column) const;
    bool rpmPointMarked(int column) const;
    bool mapPointMarked(int row) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fillGrid(const CDoravineDoc::Comparison& comparison);
    bool marked(int gridRow, int gridColumn) const;
    std::wstring settingsText(const CDoravineDoc::Comparison& comparison) const;

    CGDIpStatic* m_heading;
    CTransparentStatic* m_file;
    CTransparentStatic* m_summary;
    CTransparentStatic* m_settings;
    QTableWidget* m_grid;
    CTransparentStatic* m_legend;
    CGDIpGradientButton* m_load;
    CGDIpGradientButton* m_close;
};
