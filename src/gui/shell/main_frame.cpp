#include "gui/shell/main_frame.h"

#include "gui/pages/compare_dlg.h"
#include "gui/pages/readings_replay_dlg.h"
#include "gui/shell/about_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/readings_log_control.h"
#include "gui/shell/settings_file_control.h"
#include "device/lpg_device.h"
#include "operations/deferred_views.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

namespace {

struct MenuItem {
    int command;
    const wchar_t* text;
};

// The three drop-downs, each a title and its items, in the order they are shown.
const wchar_t* const kMenuTitles[3] = {TR_KEY(L"Plik"), TR_KEY(L"Język"), TR_KEY(L"Informacje")};
const MenuItem kFileItems[] = {
    {CMainFrame::CmdLoadSettings, TR_KEY(L"Wczytaj ustawienia z pliku...")},
    {CMainFrame::CmdCompareSettings, TR_KEY(L"Porównaj z plikiem...")},
    {CMainFrame::CmdSaveSettings, TR_KEY(L"Zapisz ustawienia do pliku...")},
    {CMainFrame::CmdFactorySettings, TR_KEY(L"Przywróć ustawienia fabryczne")},
    {CMainFrame::CmdRestoreBackup, TR_KEY(L"Przywróć z kopii...")},
    {CMainFrame::CmdRecordReadings, TR_KEY(L"Zapisuj odczyty do pliku")},
    {CMainFrame::CmdOpenReadingsLog, TR_KEY(L"Otwórz zapis odczytów...")},
    {CMainFrame::CmdExit, TR_KEY(L"Wyjście")},
};
const MenuItem kLanguageItems[] = {
    {CMainFrame::CmdPolish, TR_KEY(L"Polski")},
    {CMainFrame::CmdEnglish, TR_KEY(L"Angielski")},
    {CMainFrame::CmdRussian, TR_KEY(L"Rosyjski")},
};
const MenuItem kInfoItems[] = {
    {CMainFrame::CmdDocumentation, TR_KEY(L"Dokumentacja")},
    {CMainFrame::CmdDeviceUpdate, TR_KEY(L"Aktualizacja sterownika...")},
    {CMainFrame::CmdAbout, TR_KEY(L"Informacje")},
};

int languageOf(int command)
{
    switch (command) {
    case CMainFrame::CmdPolish:
        return kLanguagePolish;
    case CMainFrame::CmdEnglish:
        return kLanguageEnglish;
    case CMainFrame::CmdRussian:
        return kLanguageRussian;
    default:
        return -1;
    }
}

QString lookup(const wchar_t* key)
{
    return QString::fromStdWString(translateText(key));
}

} // namespace

CMainFrame::CMainFrame(CDoravineDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_gateway(doc.Device()),
      m_watchdog(doc.Device(), {[this](bool connected) { setConnectionState(connected); },
                                [this] { m_doc.ResumeLiveSamples(); }, [this] { return m_gateway.busy(); }}),
      m_languageHook([this] { refreshLanguage(); })
{
    setWindowTitle(QStringLiteral("Doravine"));
    setObjectName(QStringLiteral("CMainFrame"));
    // The whole work area, from its top-left corner.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    m_timer.setInterval(kMainTimerMillis);
    connect(&m_timer, &QTimer::timeout, this, [this] { onMainTimer(); });
    // The live samples start and stop on the link's side too (an update, a load): the timer belongs
    // to the window's thread.
    m_doc.LiveSamples().setTimerHook([this](bool run) {
        QMetaObject::invokeMethod(this, [this, run] { run ? startMainTimer() : stopMainTimer(); });
    });

    buildMenu();

    m_view = new CDoravineView(m_doc, this);
    setCentralWidget(m_view);
    m_view->create();
}

CMainFrame::~CMainFrame()
{
    m_languageHook.reset();
    m_timer.stop();
    m_doc.LiveSamples().setTimerHook({});
}

void CMainFrame::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("captionBar"));
    // The caption bar of the dark-blue frame.
    bar->setStyleSheet(QStringLiteral(
        "QMenuBar#captionBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #284f86, "
        "stop:1 #1c2f52); color: #eaeaea; padding: 0px 6px; }"
        "QMenuBar#captionBar::item { background: transparent; padding: 4px 12px; border-radius: 3px; }"
        "QMenuBar#captionBar::item:selected { background: #3c76af; }"
        "QMenu { background: #f4f5f7; color: #1e2430; border: 1px solid #8a97ab; }"
        "QMenu::item { padding: 5px 26px 5px 26px; }"
        "QMenu::item:selected { background: #3c76af; color: #ffffff; }"
        "QMenu::separator { height: 1px; background: #c4cad4; margin: 3px 8px; }"));

    for (int i = 0; i < 3; ++i)
        m_menus[static_cast<size_t>(i)] = bar->addMenu(lookup(kMenuTitles[i]));
    for (const MenuItem& item : kFileItems) {
        if (item.command == CmdExit || item.command == CmdRecordReadings)
            m_menus[0]->addSeparator();
        addCommand(m_menus[0], item.command);
    }
    m_readingsLog = new CReadingsLogControl(m_doc.ReadingsLog(), action(CmdRecordReadings),
                                            [this] { return m_view ? m_view->bottom() : nullptr; }, this);
    m_settingsFile = new CSettingsFileControl(
        m_doc, *this, [this] { return m_view; }, [this](const std::wstring& path) { compareWithFile(path); });
    m_settingsFile->addTo(m_menus[0], m_menus[0]->actions().value(0));
    auto* languages = new QActionGroup(this);
    languages->setExclusive(true);
    for (const MenuItem& item : kLanguageItems) {
        QAction* a = addCommand(m_menus[1], item.command);
        a->setCheckable(true);
        languages->addAction(a);
    }
    for (const MenuItem& item : kInfoItems)
        addCommand(m_menus[2], item.command);

    // The framework's new command: the document stores nothing of its own, so it changes nothing;
    // the key is taken so that it does not reach the pages either. Ctrl+O and Ctrl+S belong to
    // the settings file's items.
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this, [] {});
}

QAction* CMainFrame::addCommand(QMenu* menu, int command)
{
    QAction* a = menu->addAction(QString());
    a->setData(command);
    connect(a, &QAction::triggered, this, [this, command] { runCommand(command); });
    m_actions.emplace_back(command, a);
    return a;
}

QAction* CMainFrame::action(int command) const
{
    for (const auto& [id, a] : m_actions)
        if (id == command)
            return a;
    return nullptr;
}

void CMainFrame::runCommand(int command)
{
    dispatch(command);
    // A command that stopped the samples (and with them the timer) may be the one that broke:
    // the watchdog must run to find the controller again.
    if (!m_doc.Device().m_connected && !m_timer.isActive())
        startMainTimer();
}

CLinkGateway::Outcome CMainFrame::runDocumentOperation(const std::function<void()>& operation)
{
    // The operation runs off the window's thread: the pages it refreshes are refreshed here,
    // after it, when the record no longer changes under them.
    CDeferredViews deferred;
    IDocumentViews* const views = m_doc.Views();
    CLinkGateway::Outcome outcome;
    {
        struct CViewsBack {
            CDoravineDoc& doc;
            IDocumentViews* views;
            ~CViewsBack() { doc.SetViews(views); }
        } back{m_doc, views};
        m_doc.SetViews(&deferred);
        // The operations name their own handlers in their link-error boxes; one that lets a link
        // error through gets the replug message.
        outcome = m_gateway.runAction(nullptr, [&](CLPGDevice&) { operation(); });
    }
    if (views)
        deferred.replay(*views);
    return outcome;
}

void CMainFrame::dispatch(int command)
{
    switch (command) {
    case CmdLoadSettings:
        runDocumentOperation([this] { m_doc.LoadSettingsFromFile(); });
        break;
    case CmdSaveSettings:
        runDocumentOperation([this] { m_doc.SaveSettingsToFile(); });
        break;
    case CmdFactorySettings:
        runDocumentOperation([this] { m_doc.OnFactorySettings(); });
        break;
    case CmdRestoreBackup:
        compareWithBackup();
        break;
    case CmdCompareSettings:
        compareWithFile();
        break;
    case CmdRecordReadings:
        m_readingsLog->toggle();
        break;
    case CmdOpenReadingsLog:
        CReadingsReplayDlg::pickAndOpen(m_doc.Device().m_settings, this);
        break;
    case CmdExit:
        close();
        break;
    case CmdPolish:
    case CmdEnglish:
    case CmdRussian:
        // The current language does nothing; a switch runs the hooks, refreshLanguage among them.
        switchLanguage(languageOf(command));
        break;
    case CmdDeviceUpdate:
        runDocumentOperation([this] { m_doc.OnDeviceUpdate(); });
        break;
    case CmdAbout:
        showAbout();
        break;
    case CmdDocumentation:
    default:
        break;
    }
}

void CMainFrame::showAbout()
{
    CAboutDlg dlg(this);
    dlg.setRevealHandler([this] {
        if (m_view)
            m_view->revealHiddenTabs();
    });
    dlg.exec();
}

void CMainFrame::compareWithFile(const std::wstring& path)
{
    CDoravineDoc::Comparison comparison;
    runDocumentOperation([&] { comparison = path.empty() ? m_doc.CompareWithFile() : m_doc.CompareWithFile(path); });
    showComparison(comparison);
}

void CMainFrame::compareWithBackup()
{
    CDoravineDoc::Comparison comparison;
    runDocumentOperation([&] { comparison = m_doc.CompareWithBackup(); });
    showComparison(comparison);
}

void CMainFrame::showComparison(const CDoravineDoc::Comparison& comparison)
{
    if (comparison.result != CDoravineDoc::Comparison::Result::Compared)
        return;
    CCompareDlg dlg(comparison, this);
    if (dlg.exec() == CCompareDlg::GoOnToLoad)
        runDocumentOperation([&] { m_doc.LoadSettingsFromFile(comparison.path); });
}

void CMainFrame::initialUpdate()
{
    if (m_view)
        m_view->initialUpdate(*this);
}

void CMainFrame::startMainTimer()
{
    m_timer.start();
}

void CMainFrame::stopMainTimer()
{
    m_timer.stop();
}

CConnectionWatchdog::Tick CMainFrame::onMainTimer()
{
    // An exchange of the window holds the link: no rescan may start under it. Its end decides.
    if (m_gateway.busy())
        return CConnectionWatchdog::Tick::Idle;
    const CConnectionWatchdog::Tick tick = m_watchdog.tick();
    if (tick == CConnectionWatchdog::Tick::Lost)
        return tick;
    if (tick == CConnectionWatchdog::Tick::Refresh && m_view)
        m_view->onTimer();
    else if (tick == CConnectionWatchdog::Tick::Idle && m_view)
        m_view->onTickWithoutSamples();
    // A rescan may have stopped the timer meanwhile (a firmware update); only a running one is
    // set again, so the next tick comes a full period after this one ended.
    if (m_timer.isActive())
        m_timer.start();
    return tick;
}

void CMainFrame::setConnectionState(bool connected)
{
    if (m_settingsFile)
        m_settingsFile->connectionChanged();
    if (!m_view)
        return;
    m_view->setConnectionState(connected);
    // A new connection read the controller's settings, map and axes afresh: the pages show them,
    // whatever a write that broke off left in the record before.
    if (connected)
        m_view->showControllerState();
}

void CMainFrame::refreshLanguage()
{
    if (m_view) {
        m_view->onLanguageChange();
        m_view->setConnectionState(m_doc.Device().m_connected);
    }
    if (!m_menus[0])
        return;
    for (int i = 0; i < 3; ++i)
        m_menus[static_cast<size_t>(i)]->setTitle(lookup(kMenuTitles[i]));
    auto retitle = [this](const MenuItem* begin, const MenuItem* end) {
        for (const MenuItem* item = begin; item != end; ++item)
            if (QAction* a = action(item->command))
                a->setText(lookup(item->text));
    };
    retitle(std::begin(kFileItems), std::end(kFileItems));
    retitle(std::begin(kLanguageItems), std::end(kLanguageItems));
    retitle(std::begin(kInfoItems), std::end(kInfoItems));
    m_settingsFile->refreshLanguage();
    for (const MenuItem& item : kLanguageItems)
        action(item.command)->setChecked(languageOf(item.command) == currentLanguage());
    update();
}

QSize CMainFrame::correctedSize(QSize size)
{
    QSize out = size;
    if (out.width() < 760)
        out.setWidth(800);
    if (out.height() < 530)
        out.setHeight(530);
    return out;
}

int CMainFrame::captionFontPixels(int clientHeight)
{
    return std::max(16, clientHeight / 55);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_settingsFile && !m_settingsFile->mayLeaveFile()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    const QSize corrected = correctedSize(event->size());
    if (corrected != event->size() && !isMaximized() && !isFullScreen()) {
        resize(corrected);
        return;
    }
    const int pixels = captionFontPixels(event->size().height());
    QFont captionFont = QApplication::font();
    captionFont.setPixelSize(pixels);
    captionFont.setBold(true);
    menuBar()->setFont(captionFont);
    for (QMenu* menu : m_menus)
        if (menu)
            menu->setFont(QApplication::font());
    menuBar()->setFixedHeight(2 * pixels);
    QMainWindow::resizeEvent(event);
}
