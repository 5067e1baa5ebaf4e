// The main window: the menu with its three drop-downs, the minimum-size rule and the program's
// single 100 ms timer, which watches the connection, rescans the ports while disconnected and
// refreshes the live pages.
#pragma once

#include "operations/doravine_doc.h"
#include "base/language.h"
#include "device/connection_watchdog.h"

#include "gui/shell/link_gateway.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class CDoravineView;
class CReadingsLogControl;
class CSettingsFileControl;
class QAction;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kMainTimerId = 5001;
    static constexpr int kMainTimerMillis = 100;

    // Command ids of the menu.
    enum Command {
        CmdLoadSettings = 32787,
        CmdSaveSettings = 32789,
        CmdFactorySettings = 32779,
        CmdExit = 57665,
        CmdPolish = 32781,
        CmdEnglish = 32782,
        CmdRussian = 32792,
        CmdDocumentation = 32783,
        CmdDeviceUpdate = 32784,
        CmdAbout = 57664,
        CmdCompareSettings = 32800,
        CmdRecordReadings = 32801,
        CmdOpenReadingsLog = 32802,
        CmdRestoreBackup = 32803,
    };

    // Builds the menu and the view; the view's creation starts the device (the port scan).
    explicit CMainFrame(CDoravineDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The view's first update; call once the frame is the program's main window.
    void initialUpdate();

    void startMainTimer();
    void stopMainTimer();
    bool mainTimerRunning() const { return m_timer.isActive(); }
    // One tick of timer 5001 (the timer calls it; tests may too).
    CConnectionWatchdog::Tick onMainTimer();

    void setConnectionState(bool connected);
    // Every text of the window again in the current language.
    void refreshLanguage();
    void setView(CDoravineView* view) { m_viewSeen = view; }

    CDoravineView* view() const { return m_view; }
    CDoravineDoc& document() { return m_doc; }
    CLinkGateway& gateway() { return m_gateway; }
    const CConnectionWatchdog& watchdog() const { return m_watchdog; }
    // The menu command of an id, or null.
    QAction* action(int command) const;
    std::array<QMenu*, 3> menus() const { return m_menus; }

    // Runs a menu command as a click on it would; the ones that reach the controller go through
    // the gateway.
    void runCommand(int command);
    // The About box, modal; the right access code reveals the hidden tabs.
    void showAbout();
    // "Porównaj z plikiem...": a settings file against the controller, and on to its load; the
    // dialog picks the file when path is empty.
    void compareWithFile(const std::wstring& path = {});
    // "Przywróć z kopii...": the same for a backup picked in the backups folder.
    void compareWithBackup();
    CSettingsFileControl* settingsFile() const { return m_settingsFile; }
    CReadingsLogControl* readingsLog() const { return m_readingsLog; }

    // The size the layout rule makes of a window of the given size: narrower than 760 becomes
    // 800 wide, lower than 530 becomes 530 high.
    static QSize correctedSize(QSize size);
    // The caption font's pixel height (at least 16) for a client area of the given height; the
    // caption is twice as high.
    static int captionFontPixels(int clientHeight);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Quitting with unsaved changes in an open settings file asks first.
    void closeEvent(QCloseEvent* event) override;

  private:
    void dispatch(int command);
    // A document operation through the gateway, its page refreshes made afterwards.
    CLinkGateway::Outcome runDocumentOperation(const std::function<void()>& operation);
    void showComparison(const CDoravineDoc::Comparison& comparison);
    void buildMenu();
    QAction* addCommand(QMenu* menu, int command);

    CDoravineDoc& m_doc;
    // Before the view: its pages reach the controller only through it.
    CLinkGateway m_gateway;
    CDoravineView* m_view = nullptr;
    CDoravineView* m_viewSeen = nullptr;
    CConnectionWatchdog m_watchdog;
    QTimer m_timer;
    std::array<QMenu*, 3> m_menus{};
    std::vector<std::pair<int, QAction*>> m_actions;
    CReadingsLogControl* m_readingsLog = nullptr;
    CSettingsFileControl* m_settingsFile = nullptr;
    CLanguageChangeHook m_languageHook;
};
