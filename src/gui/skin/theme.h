// The program's one look: colours, fonts and the application style sheet live here and nowhere
// else, so every page and dialog reads the same at 1366 x 768 and on a large high-DPI screen.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QApplication;
class QPainter;

namespace theme {

// Window background behind the page panels (the dark-blue frame).
QColor frameBackground();
// The light panel behind the tabbed pages and the readings column.
QColor panelTop();
QColor panelBottom();
// Grey gradient of the pop-up dialogs.
QColor dialogTop();
QColor dialogBottom();
// Blue gradient of the described displays.
QColor displayTop();
QColor displayBottom();
// Dark-blue tab buttons, normal and active.
QColor tabTop();
QColor tabBottom();
QColor tabActiveTop();
QColor tabActiveBottom();
QColor tabText();
// Ordinary buttons.
QColor buttonTop();
QColor buttonBottom();
QColor buttonHoverTop();
QColor buttonHoverBottom();
// Text colours of the connection state.
QColor connectedText();
QColor disconnectedText();
// Text on light panels.
QColor panelText();
// The charts: the dark background's gradient, grid lines and scale text.
QColor chartTop();
QColor chartBottom();
QColor chartGrid();
QColor chartScaleText();

// The program's base font (Tahoma where present, then the platform's sans serif).
QFont baseFont(int pixelSize = 12);
// A font for text that must fill a box of the given pixel height (displays, buttons).
QFont fittedFont(double boxHeight, double share, bool bold, int minimumPixels = 11);

// A Windows colour value (0x00BBGGRR) as a colour.
QColor fromColorRef(unsigned colorRef);

// Paints a vertical two-colour gradient in a rounded rectangle.
void paintGradient(QPainter& painter, const QRectF& rect, const QColor& top, const QColor& bottom,
                   double radius);

// The application style sheet (edits, combos, lists, check boxes, tool tips, scroll bars).
QString styleSheet();
// Sets the font, palette and style sheet on the application; call once after it exists.
void apply(QApplication& app);

} // namespace theme

// Start and stop of the drawing layer, called once at start-up (after the application object
// exists: it applies the look) and once at exit.
void startupGDIp();
void shoutdownGDIp();
