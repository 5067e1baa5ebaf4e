// Start-up of the window program: languages, the application, the document with its device, the
// main frame with the view (whose creation finds the controller), the first update, then the
// event loop. Also the command-line options of the program itself.
#pragma once

#include <QApplication>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QString>

#include <string>

// The program's application object. Its event dispatch is the last net: an exception that a
// handler let through is shown and the window goes on.
class CDoravineApplication : public QApplication {
    Q_OBJECT
  public:
    CDoravineApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
    // Exceptions the last net has caught.
    int escapedExceptions() const { return m_escaped; }

  private:
    void showEscaped(const std::wstring& what);

    int m_escaped = 0;
};

struct CStartOptions {
    QString screenshot;           // --screenshot FILE: save the window as PNG after start-up and exit
    int tab = -1;                 // --tab N: the tab shown in the screenshot (3 reveals the hidden one)
    int language = -1;            // --lang pl|en|ru: overrides the start-up rule
    QSize size;                   // --size WxH: the window's size instead of the work area
    int waitMillis = -1;          // --wait MS: how long live readings run before the screenshot
    QRect mapSelection;           // --select C0,R0,C1,R1: map cells selected in the screenshot
    QString openFile;             // --open FILE: a settings file opened for editing after start-up
    bool quitAfterPaint = false;  // --quit-after-paint: end once the window was first painted
    bool quitAfterSearch = false; // --quit-after-search: end once the search for the controller answered
    int captureRecords = 0;       // --capture N: the signal page captures N records before the screenshot
    bool zoomGap = false;         // --zoom-gap: then zooms onto the first gap with its readout
    QString replayLog;            // --log FILE: the screenshot shows this readings log replayed
    bool dwell = false;           // --dwell: the map grid shaded by the time spent in its cells
    bool help = false;
    bool version = false;        // --version: "doravine <version>" and exit
    bool where = false;          // --where: the data folders found and their files, and exit
};

// Parses the program's options; false with a message in error for a bad one. Options Qt itself
// understands (-platform, -style...) are left to it.
bool parseStartOptions(int argc, char** argv, CStartOptions& options, std::string& error);
std::string startOptionsHelp();

// What a screenshot run prints on standard output once the picture is saved: its file and the
// menu titles it shows, so a script can check that the language files were found
// ("menu: File | Language | About" in English).
std::string screenshotRecord(QMainWindow& frame, const QString& file);

// Runs the program; answers its exit status.
int runDoravine(int argc, char** argv);
