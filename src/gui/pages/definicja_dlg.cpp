#include "gui/pages/definicja_dlg.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "operations/edited_record.h"
#include "records/map_grid_rules.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"

#include <QKeyEvent>

#include <cmath>

CDefinicjaDlg::CDefinicjaDlg(IEditedRecord& target, QWidget* parent)
    : CSkinDlg(QSize(330, 107), parent), m_target(target),
      m_definition(CAxisDefinition::fromRecord(target.record())), m_rpmMinEdit(new CGDIpGradientEdit(this)),
      m_rpmMaxEdit(new CGDIpGradientEdit(this)), m_mapMinEdit(new CGDIpGradientEdit(this)),
      m_mapMaxEdit(new CGDIpGradientEdit(this)), m_rpmMinSpin(new CGDIpGradientSpinButtonCtrl(this)),
      m_rpmMaxSpin(new CGDIpGradientSpinButtonCtrl(this)), m_mapMinSpin(new CGDIpGradientSpinButtonCtrl(this)),
      m_mapMaxSpin(new CGDIpGradientSpinButtonCtrl(this)), m_ok(new CGDIpGradientButton(this)),
      m_cancel(new CGDIpGradientButton(this))
{
    setWindowTitle(toQString(translateText(L"Definicja")));
    placeLine(label(TR_KEY(L"RPM")), 62, 10, m_rpmMinEdit, m_rpmMinSpin, m_rpmMaxEdit, m_rpmMaxSpin);
    placeLine(label(TR_KEY(L"MAP")), 70, 50, m_mapMinEdit, m_mapMinSpin, m_mapMaxEdit, m_mapMaxSpin);
    placeControl(m_ok, 40, 86, 50, 14);
    placeControl(m_cancel, 240, 86, 50, 14);
    m_ok->setCaption(translateText(L"Ok"));
    m_cancel->setCaption(translateText(L"Anuluj"));

    // Enter is not OK here: only a click on the button applies the definition.
    for (CGDIpGradientButton* b : {m_ok, m_cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    for (CGDIpGradientEdit* e : {m_rpmMinEdit, m_rpmMaxEdit, m_mapMinEdit, m_mapMaxEdit}) {
        e->setEnabled(false);
        e->setAlignment(Qt::AlignCenter);
    }
    showMap(m_mapMaxEdit, m_definition.mapMax);
    showMap(m_mapMinEdit, m_definition.mapMin);
    showRpm(m_rpmMinEdit, m_definition.rpmMin);
    showRpm(m_rpmMaxEdit, m_definition.rpmMax);
    // The start reads the ends from the record unrounded; only the spin buttons go through the texts.
    m_definition = CAxisDefinition::fromRecord(target.record());

    connect(m_rpmMinSpin, &CGDIpGradientSpinButtonCtrl::deltaPos, this,
            [this](int d) { spinRpm(m_definition.rpmMin, m_rpmMinEdit, d); });
    connect(m_rpmMaxSpin, &CGDIpGradientSpinButtonCtrl::deltaPos, this,
            [this](int d) { spinRpm(m_definition.rpmMax, m_rpmMaxEdit, d); });
    connect(m_mapMinSpin, &CGDIpGradientSpinButtonCtrl::deltaPos, this,
            [this](int d) { spinMap(m_definition.mapMin, m_mapMinEdit, d); });
    connect(m_mapMaxSpin, &CGDIpGradientSpinButtonCtrl::deltaPos, this,
            [this](int d) { spinMap(m_definition.mapMax, m_mapMaxEdit, d); });
    connect(m_ok, &QPushButton::clicked, this, &CDefinicjaDlg::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CTransparentStatic* CDefinicjaDlg::label(const wchar_t* key)
{
    return new CTransparentStatic(translateText(key), this);
}

void CDefinicjaDlg::placeLine(CTransparentStatic* name, int nameWidth, int y, CGDIpGradientEdit* minEdit,
                              CGDIpGradientSpinButtonCtrl* minSpin, CGDIpGradientEdit* maxEdit,
                              CGDIpGradientSpinButtonCtrl* maxSpin)
{
    placeControl(name, 20, y, nameWidth, 20);
    placeControl(label(TR_KEY(L"Min")), 90, y, 30, 20);
    placeControl(minEdit, 120, y, 50, 20);
    placeControl(minSpin, 170, y, 20, 20);
    placeControl(label(TR_KEY(L"Max")), 210, y, 30, 20);
    placeControl(maxEdit, 240, y, 50, 20);
    placeControl(maxSpin, 290, y, 20, 20);
}

void CDefinicjaDlg::showRpm(CGDIpGradientEdit* edit, int& value)
{
    edit->setCaption(formatDecimal(value, 0));
    value = static_cast<int>(parseDecimal(edit->caption()).value_or(value));
}

void CDefinicjaDlg::showMap(CGDIpGradientEdit* edit, double& value)
{
    edit->setCaption(formatDecimal(value, 2));
    value = parseDecimal(edit->caption()).value_or(value);
}

void CDefinicjaDlg::spinRpm(int& value, CGDIpGradientEdit* edit, int delta)
{
    value = static_cast<int>(std::trunc(kRpmSpin.apply(value, delta)));
    showRpm(edit, value);
}

void CDefinicjaDlg::spinMap(double& value, CGDIpGradientEdit* edit, int delta)
{
    value = kMapSpin.apply(value, delta);
    showMap(edit, value);
}

void CDefinicjaDlg::onOk()
{
    if (const wchar_t* violated = m_definition.check()) {
        userInteraction().showMessage(translateText(violated), MessageIcon::Error);
        return;
    }
    // An open file takes the axes on the window's thread; the controller through the gateway.
    if (m_target.file()) {
        m_outcome = m_definition.applyDefinition(m_target) ? CLinkGateway::Outcome::Done : CLinkGateway::Outcome::Failed;
        accept();
        return;
    }
    CLinkGateway* gateway = CLinkGateway::instance();
    if (!gateway)
        return;
    const CAxisDefinition definition = m_definition;
    m_outcome = gateway->run(L"CDefinicjaDlg::OnBnClickedOk()", [definition](CLPGDevice& device) {
        CControllerRecord controller(device);
        return definition.applyDefinition(controller);
    });
    if (m_outcome != CLinkGateway::Outcome::Busy)
        accept();
}

void CDefinicjaDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    CSkinDlg::keyPressEvent(event);
}
