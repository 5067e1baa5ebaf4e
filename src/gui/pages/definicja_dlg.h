// The axis definition dialog "Definicja": the lowest and highest RPM and MAP breakpoints, moved
// only by their spin buttons; OK checks their order and generates both axes from them.
#pragma once

#include "gui/shell/link_gateway.h"
#include "gui/shell/skin_dlg.h"
#include "operations/map_operations.h"

class IEditedRecord;
class CGDIpGradientButton;
class CGDIpGradientEdit;
class CGDIpGradientSpinButtonCtrl;
class CTransparentStatic;

class CDefinicjaDlg : public CSkinDlg {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 315;

    explicit CDefinicjaDlg(IEditedRecord& target, QWidget* parent = nullptr);

    const CAxisDefinition& definition() const { return m_definition; }
    CGDIpGradientEdit* rpmMinEdit() const { return m_rpmMinEdit; }
    CGDIpGradientEdit* rpmMaxEdit() const { return m_rpmMaxEdit; }
    CGDIpGradientEdit* mapMinEdit() const { return m_mapMinEdit; }
    CGDIpGradientEdit* mapMaxEdit() const { return m_mapMaxEdit; }
    CGDIpGradientSpinButtonCtrl* rpmMinSpin() const { return m_rpmMinSpin; }
    CGDIpGradientSpinButtonCtrl* rpmMaxSpin() const { return m_rpmMaxSpin; }
    CGDIpGradientSpinButtonCtrl* mapMinSpin() const { return m_mapMinSpin; }
    CGDIpGradientSpinButtonCtrl* mapMaxSpin() const { return m_mapMaxSpin; }
    CGDIpGradientButton* okButton() const { return m_ok; }
    CGDIpGradientButton* cancelButton() const { return m_cancel; }

    // The OK button: the order checks (the dialog stays open on a violation), then the axes,
    // written through the link gateway, or into the open file.
    void onOk();
    // How the write of OK ended (Busy while none ran).
    CLinkGateway::Outcome outcome() const { return m_outcome; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The edit's text from the value, then the value read back from the text, as the edits hold it.
    void showRpm(CGDIpGradientEdit* edit, int& value);
    void showMap(CGDIpGradientEdit* edit, double& value);
    void spinRpm(int& value, CGDIpGradientEdit* edit, int delta);
    void spinMap(double& value, CGDIpGradientEdit* edit, int delta);
    CTransparentStatic* label(const wchar_t* key);
    // One line of the template: its name, then Min and Max, each an edit with its spin arrows.
    void placeLine(CTransparentStatic* name, int nameWidth, int y, CGDIpGradientEdit* minEdit,
                   CGDIpGradientSpinButtonCtrl* minSpin, CGDIpGradientEdit* maxEdit,
                   CGDIpGradientSpinButtonCtrl* maxSpin);

    IEditedRecord& m_target;
    CAxisDefinition m_definition;
    CGDIpGradientEdit* m_rpmMinEdit;
    CGDIpGradientEdit* m_rpmMaxEdit;
    CGDIpGradientEdit* m_mapMinEdit;
    CGDIpGradientEdit* m_mapMaxEdit;
    CGDIpGradientSpinButtonCtrl* m_rpmMinSpin;
    CGDIpGradientSpinButtonCtrl* m_rpmMaxSpin;
    CGDIpGradientSpinButtonCtrl* m_mapMinSpin;
    CGDIpGradientSpinButtonCtrl* m_mapMaxSpin;
    CGDIpGradientButton* m_ok;
    CGDIpGradientButton* m_cancel;
    CLinkGateway::Outcome m_outcome = CLinkGateway::Outcome::Busy;
};
