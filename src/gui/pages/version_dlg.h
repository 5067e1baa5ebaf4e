// The device information page (third tab): what the program knows of the connected controller,
// and the controller's stored error codes, read and cleared with the page's two buttons.
#pragma once

#include "base/language.h"
#include "gui/skin/multi_page_dialog.h"

#include <string>

class CGDIpDescribedDisplay;
class CLPGDevice;
class CGDIpGradientButton;
class CGDIpStatic;
class CGDIpTextListCtrl;

class CVersionDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 314;
    static constexpr int kIdIdentityHeading = 1044;
    static constexpr int kIdType = 1014;
    static constexpr int kIdVersion = 1016;
    static constexpr int kIdDate = 1017;
    static constexpr int kIdSerial = 1037;
    static constexpr int kIdErrorsHeading = 1039;
    static constexpr int kIdErrorList = 1040;
    static constexpr int kIdClear = 1043;
    static constexpr int kIdRead = 1042;
    static constexpr double kRatio = 0.55;
    // The controller needs a moment after clearing before it answers a settings read.
    static constexpr int kClearPauseMs = 1000;
    // A display without a controller to fill it.
    static constexpr const wchar_t* kNoValue = L"---";

    explicit CVersionDlg(CLPGDevice& device, QWidget* parent = nullptr);

    void v_init() override;
    // Fills the four displays from the device object; dashes without a controller.
    void v_activate() override;
    void onTimer() override {}
    void onLanguageChange() override;

    // Button "Wczytaj błędy".
    void onReadErrors();
    // Button "Kasuj błędy".
    void onClearErrors();

    CGDIpDescribedDisplay* typeDisplay() const { return m_type; }
    CGDIpDescribedDisplay* versionDisplay() const { return m_version; }
    CGDIpDescribedDisplay* dateDisplay() const { return m_date; }
    CGDIpDescribedDisplay* serialDisplay() const { return m_serial; }
    CGDIpStatic* identityHeading() const { return m_identityHeading; }
    CGDIpStatic* errorsHeading() const { return m_errorsHeading; }
    CGDIpTextListCtrl* errorList() const { return m_list; }
    CGDIpGradientButton* clearButton() const { return m_clear; }
    CGDIpGradientButton* readButton() const { return m_read; }

    // "Hallotronowy" for sensor type 0, "Indukcyjny" otherwise, looked up.
    static std::wstring sensorTypeText(double sensorType);

  private:
    CLPGDevice& m_device;
    void fillDisplays();

    CGDIpStatic* m_identityHeading;
    CGDIpDescribedDisplay* m_type;
    CGDIpDescribedDisplay* m_version;
    CGDIpDescribedDisplay* m_date;
    CGDIpDescribedDisplay* m_serial;
    CGDIpStatic* m_errorsHeading;
    CGDIpTextListCtrl* m_list = nullptr;
    CGDIpGradientButton* m_clear;
    CGDIpGradientButton* m_read;
};
