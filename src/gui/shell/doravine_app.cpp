#include "gui/shell/doravine_app.h"

#include "base/language.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/skin/image_check_box.h"
#include "doravine_version.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/readings_replay_dlg.h"
#include "gui/skin/log_chart.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/qt_user_interaction.h"
#include "gui/shell/stall_probe.h"
#include "gui/shell/settings_file_control.h"
#include "gui/skin/theme.h"
#include "operations/doravine_doc.h"
#include "platform/data_report.h"
#include "platform/ierror.h"
#include "platform/text.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QIcon>
#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>

namespace {

// Screenshots run unattended: messages go to standard error and questions are answered No, so
// no modal box waits for a user who is not there.
class CUnattendedUser : public IUserInteraction {
  public:
    // A screenshot that shows a capture answers its two questions Yes.
    void answerYes(bool yes) { m_yes = yes; }
    void showMessage(const std::wstring& text, MessageIcon) override
    {
        std::cerr << "doravine: " << QString::fromStdWString(text).toStdString() << '\n';
    }
    bool askYesNo(const std::wstring& text) override
    {
        showMessage(text, MessageIcon::Question);
        return m_yes;
    }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}

  private:
    bool m_yes = false;
};

// Reports the first paint of the main window, once.
class CFirstPaint : public QObject {
  public:
    CFirstPaint(QElapsedTimer& clock, bool quit) : m_clock(clock), m_quit(quit) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::cerr << "doravine: first paint after " << m_clock.elapsed() << " ms\n";
            if (m_quit)
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QElapsedTimer& m_clock;
    bool m_quit;
    bool m_seen = false;
};

// Reports when the first search for the controller answered, and the longest time the event
// loop stood still until then, measured by a fast timer that notes the gaps between its ticks.
class CSearchTiming : public QObject {
  public:
    CSearchTiming(QElapsedTimer& clock, CMainFrame& frame) : m_clock(clock), m_frame(frame)
    {
        m_beat.setInterval(5);
        QObject::connect(&m_beat, &QTimer::timeout, this,
                         [this] { m_longest = std::max(m_longest, m_sinceBeat.restart()); });
        m_sinceBeat.start();
        m_beat.start();
        QObject::connect(frame.view(), &CDoravineView::searchFinished, this, [this] { report(); });
    }

  private:
    void report()
    {
        m_beat.stop();
        std::cerr << "doravine: search answered after " << m_clock.elapsed() << " ms, "
                  << (m_frame.document().Device().m_connected ? "connected" : "no controller")
                  << ", longest event-loop stall " << m_longest << " ms\n";
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

    QElapsedTimer& m_clock;
    CMainFrame& m_frame;
    QTimer m_beat;
    QElapsedTimer m_sinceBeat;
    qint64 m_longest = 0;
};

bool parseInt(const char* text, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < 0 || v > 100000)
        return false;
    out = static_cast<int>(v);
    return true;
}

// The signal page as a technician uses it, for a screenshot: reading mode on, a capture of at least
// `records` records, the save; with zoomGap the chart is then zoomed onto the first gap and the
// tooth in front of it read out. done runs once the page shows all that (or gave up).
void runSignalCapture(CReadSignalDlg& page, int records, bool zoomGap, std::function<void()> done)
{
    if (!page.modeTicked())
        page.readModeBox()->click();
    page.onFetch();
    auto* poll = new QTimer(&page);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, &page, [&page, poll, clock, records, zoomGap, done] {
        const bool enough = page.capture().recordCount() >= static_cast<size_t>(records);
        if (!enough && clock->elapsed() < 60000)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (enough)
            page.onSave();
        if (zoomGap) {
            if (const auto gap = page.firstGapInView()) {
                page.zoomAt((gap->first + gap->second) / 2, 6);
                if (const auto zoomed = page.firstGapInView())
                    page.showReadoutAt(zoomed->first + (zoomed->second - zoomed->first) / 3);
            }
        }
        done();
    });
    poll->start(100);
}

} // namespace

CDoravineApplication::CDoravineApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CDoravineApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (IError* error) {
        showEscaped(adoptError(error)->format());
    } catch (const std::exception& error) {
        showEscaped(utf82unicode(error.what()));
    } catch (...) {
        showEscaped(std::wstring());
    }
    return false;
}

void CDoravineApplication::showEscaped(const std::wstring& what)
{
    ++m_escaped;
    // Shown once the dispatch that failed has unwound: not from inside a paint or a key press.
    QTimer::singleShot(0, this, [what] {
        std::wstring text = translateText(L"Nieoczekiwany błąd programu. Praca trwa dalej.");
        if (!what.empty())
            text += L"\n" + what;
        userInteraction().showMessage(text, MessageIcon::Error);
    });
}

std::string screenshotRecord(QMainWindow& frame, const QString& file)
{
    QStringList titles;
    for (const QAction* menu : frame.menuBar()->actions())
        titles << menu->text();
    return "screenshot: " + file.toStdString() + "\nmenu: " + titles.join(QStringLiteral(" | ")).toStdString() +
           "\n";
}

std::string startOptionsHelp()
{
    return "Usage: doravine [options]\n"
           "  --screenshot FILE   save the window as a PNG after start-up, then exit\n"
           "  --tab N             tab shown in the screenshot: 0 settings, 1 map, 2 device, 3 signal\n"
           "  --lang pl|en|ru     language of this run (default: Polish for a Polish desktop, else English)\n"
           "  --size WxH          window size in pixels (default: the whole work area)\n"
           "  --wait MS           live readings before the screenshot (default 1500 with a controller)\n"
           "  --select C0,R0,C1,R1  map cells (columns 0-14, rows 0-15) selected in the screenshot\n"
           "  --dwell             the map grid shaded by the time spent in its cells (from start-up)\n"
           "  --log FILE          the screenshot shows this readings log replayed, its cursor at the middle\n"
           "  --open FILE         open a settings file for editing once the controller was searched\n"
           "  --quit-after-paint  exit once the window was first painted (start-up timing)\n"
           "  --capture N         with --tab 3: capture N crank records on the signal page and save them\n"
           "  --zoom-gap          after --capture: zoom onto the first gap and read out its tooth\n"
           "  --quit-after-search exit once the search for the controller answered (start-up timing)\n"
           "  --where             the folders of the language files, reference charts and samples\n"
           "  --version           the program's version\n"
           "  --help              this text\n"
           "The controller is searched on the serial ports; DORAVINE_PORTS=/dev/a:/dev/b sets the list.\n";
}

bool parseStartOptions(int argc, char** argv, CStartOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--where") {
            options.where = true;
        } else if (arg == "--screenshot") {
            const char* v = value("--screenshot");
            if (!v)
                return false;
            options.screenshot = QString::fromLocal8Bit(v);
        } else if (arg == "--tab") {
            const char* v = value("--tab");
            if (!v)
                return false;
            if (!parseInt(v, options.tab) || options.tab > 3) {
                error = "--tab takes 0, 1, 2 or 3";
                return false;
            }
        } else if (arg == "--lang") {
            const char* v = value("--lang");
            if (!v)
                return false;
            const std::string l = v;
            if (l == "pl")
                options.language = kLanguagePolish;
            else if (l == "en")
                options.language = kLanguageEnglish;
            else if (l == "ru")
                options.language = kLanguageRussian;
            else {
                error = "--lang takes pl, en or ru";
                return false;
            }
        } else if (arg == "--size") {
            const char* v = value("--size");
            if (!v)
                return false;
            int w = 0;
            int h = 0;
            const std::string s = v;
            const auto x = s.find('x');
            if (x == std::string::npos || !parseInt(s.substr(0, x).c_str(), w) ||
                !parseInt(s.substr(x + 1).c_str(), h) || w < 100 || h < 100) {
                error = "--size takes WIDTHxHEIGHT, e.g. 1366x768";
                return false;
            }
            options.size = QSize(w, h);
        } else if (arg == "--wait") {
            const char* v = value("--wait");
            if (!v)
                return false;
            if (!parseInt(v, options.waitMillis)) {
                error = "--wait takes milliseconds";
                return false;
            }
        } else if (arg == "--capture") {
            const char* v = value("--capture");
            if (!v)
                return false;
            if (!parseInt(v, options.captureRecords) || options.captureRecords < 500) {
                error = "--capture takes a number of records, at least 500";
                return false;
            }
        } else if (arg == "--zoom-gap") {
            options.zoomGap = true;
        } else if (arg == "--log") {
            const char* v = value("--log");
            if (!v)
                return false;
            options.replayLog = QString::fromLocal8Bit(v);
        } else if (arg == "--dwell") {
            options.dwell = true;
        } else if (arg == "--select") {
            const char* v = value("--select");
            if (!v)
                return false;
            int c0 = 0, r0 = 0, c1 = 0, r1 = 0;
            char tail = 0;
            if (std::sscanf(v, "%d,%d,%d,%d%c", &c0, &r0, &c1, &r1, &tail) != 4 || c0 < 0 || c1 < c0 ||
                c1 >= kMapColumns || r0 < 0 || r1 < r0 || r1 >= kMapRows) {
                error = "--select takes C0,R0,C1,R1 within the map (columns 0-14, rows 0-15)";
                return false;
            }
            options.mapSelection = QRect(QPoint(c0, r0), QPoint(c1, r1));
        } else if (arg == "--open") {
            const char* v = value("--open");
            if (!v)
                return false;
            options.openFile = QString::fromLocal8Bit(v);
        } else if (arg == "--quit-after-paint") {
            options.quitAfterPaint = true;
        } else if (arg == "--quit-after-search") {
            options.quitAfterSearch = true;
        } else if (arg.rfind("-", 0) == 0 && arg.rfind("--", 0) != 0) {
            // A single-dash option belongs to Qt (-platform offscreen); skip its value too.
            if (i + 1 < argc && argv[i + 1][0] != '-')
                ++i;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}

int runDoravine(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    CStartOptions options;
    std::string error;
    if (!parseStartOptions(argc, argv, options, error)) {
        std::cerr << "doravine: " << error << "\n" << startOptionsHelp();
        return 2;
    }
    if (options.help) {
        std::cout << startOptionsHelp();
        return 0;
    }
    if (options.version) {
        std::cout << "doravine " << kDoravineVersion << '\n';
        return 0;
    }
    if (options.where) {
        std::cout << dataFoldersReport();
        return 0;
    }

    // Before the application: the language of this run and every language file.
    initLanguage();
    if (options.language >= 0)
        setCurrentLanguage(options.language);

    CDoravineApplication app(argc, argv);
    // First, so that the window's construction and start-up are watched too.
    const std::unique_ptr<CStallProbe> stallProbe = CStallProbe::fromEnvironment(clock);
    QApplication::setOrganizationName(QStringLiteral("Kestrelia"));
    QApplication::setApplicationName(QStringLiteral("Doravine"));
    // The desktop entry's name ties the window to its menu entry and icon (Wayland needs it); the
    // built-in icon serves where nothing is installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrelia.Doravine"));
    QApplication::setWindowIcon(QIcon(QPixmap(QStringLiteral(":/com.kestrelia.Doravine.png"))));
    startupGDIp();

    const bool unattended =
        !options.screenshot.isEmpty() || options.quitAfterPaint || options.quitAfterSearch;
    CUnattendedUser quietUser;
    quietUser.answerYes(options.captureRecords > 0);
    CQtUserInteraction qtUser;
    setUserInteraction(unattended ? static_cast<IUserInteraction*>(&quietUser) : &qtUser);

    // Owned for the rest of the process: at exit the thread manager ends the process while the
    // live-sample thread may still use the device, so the document is never destroyed under it.
    auto* doc = new CDoravineDoc;
    auto* frame = new CMainFrame(*doc);
    qtUser.setParentWindow(frame);
    frame->initialUpdate();
    if (options.size.isValid())
        frame->resize(options.size);
    if (options.dwell)
        if (auto* map = dynamic_cast<CMapAngleDlg*>(frame->view()->tabPage(CDoravineView::TabMap)))
            map->dwellBox()->setChecked(true);

    CFirstPaint firstPaint(clock, options.quitAfterPaint);
    frame->installEventFilter(&firstPaint);
    std::unique_ptr<CSearchTiming> searchTiming;
    if (options.quitAfterSearch && frame->view()->searching())
        searchTiming = std::make_unique<CSearchTiming>(clock, *frame);
    frame->show();

    int status = 0;
    // The screenshot is taken once the search for the controller has answered.
    auto takeScreenshot = [&] {
        const bool connected = frame->document().Device().m_connected;
        const int wait = options.waitMillis >= 0 ? options.waitMillis : (connected ? 1500 : 300);
        QTimer::singleShot(wait, frame, [&] {
            CDoravineView* view = frame->view();
            if (options.tab == CDoravineView::TabSignal)
                view->revealHiddenTabs();
            if (options.tab >= 0)
                view->pageCtrl()->activatePage(options.tab);
            auto* map = dynamic_cast<CMapAngleDlg*>(view->tabPage(CDoravineView::TabMap));
            if (map && options.mapSelection.isValid())
                map->grid()->selectRect({options.mapSelection.left(), options.mapSelection.top()},
                                        {options.mapSelection.right(), options.mapSelection.bottom()});
            QWidget* shown = frame;
            if (!options.replayLog.isEmpty()) {
                auto* replay = CReadingsReplayDlg::open(options.replayLog.toStdWString(),
                                                        frame->document().Device().m_settings, frame);
                if (replay) {
                    if (options.size.isValid())
                        replay->resize(options.size);
                    replay->chart()->setCursorTime((replay->series().startTime() + replay->series().endTime()) / 2);
                    shown = replay;
                }
            }
            auto shoot = [&, shown] {
                // One more moment so the freshly shown page has painted with the latest sample.
                QTimer::singleShot(150, frame, [&, shown] {
                    const QImage shot = shown->grab().toImage();
                    if (!shot.save(options.screenshot, "PNG")) {
                        std::cerr << "doravine: cannot write " << options.screenshot.toStdString() << '\n';
                        status = 1;
                    } else {
                        std::cout << screenshotRecord(*frame, options.screenshot);
                    }
                    QCoreApplication::quit();
                });
            };
            if (options.captureRecords > 0 && options.tab == CDoravineView::TabSignal && view->signalPage())
                runSignalCapture(*view->signalPage(), options.captureRecords, options.zoomGap, shoot);
            else
                shoot();
        });
    };
    // A file to open, and then the screenshot, wait until the search for the controller answered:
    // the file's angle step follows the controller's wheel when there is one.
    auto afterSearch = [&] {
        if (!options.openFile.isEmpty())
            frame->settingsFile()->openFile(options.openFile.toStdWString());
        if (!options.screenshot.isEmpty())
            takeScreenshot();
    };
    if (frame->view()->searching())
        QObject::connect(frame->view(), &CDoravineView::searchFinished, frame, afterSearch);
    else
        afterSearch();

    const int loop = app.exec();
    setUserInteraction(nullptr);
    shoutdownGDIp();
    return status != 0 ? status : loop;
}
