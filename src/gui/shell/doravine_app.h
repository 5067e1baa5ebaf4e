// Start-up of the window program: languages, the application, the document with its device, the
// main frame with the view (whose creation finds the controller), the first update, then the
// event loop. Also the command-line options of the program itself.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <string>

struct CStartOptions {
    QString screenshot;           // --screenshot FILE: save the window as PNG after start-up and exit
    int tab = -1;                 // --tab N: the tab shown in the screenshot (3 reveals the hidden one)
    int language = -1;            // --lang pl|en|ru: overrides the start-up rule
    QSize size;                   // --size WxH: the window's size instead of the work area
    int waitMillis = -1;          // --wait MS: how long live readings run before the screenshot
    QRect mapSelection;           // --select C0,R0,C1,R1: map cells selected in the screenshot
    bool quitAfterPaint = false;  // --quit-after-paint: end once the window was first painted
    bool quitAfterSearch = false; // --quit-after-search: end once the search for the controller answered
    bool help = false;
};

// Parses the program's options; false with a message in error for a bad one. Options Qt itself
// understands (-platform, -style...) are left to it.
bool parseStartOptions(int argc, char** argv, CStartOptions& options, std::string& error);
std::string startOptionsHelp();

// Runs the program; answers its exit status.
int runDoravine(int argc, char** argv);
