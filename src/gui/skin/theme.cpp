#include "gui/skin/theme.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace theme {

QColor frameBackground()
{
    return {24, 36, 60};
}
QColor panelTop()
{
    return {247, 248, 250};
}
QColor panelBottom()
{
    return {225, 229, 235};
}
QColor dialogTop()
{
    return {242, 242, 242};
}
QColor dialogBottom()
{
    return {206, 206, 206};
}
QColor displayTop()
{
    return {73, 119, 179};
}
QColor displayBottom()
{
    return {28, 41, 81};
}
QColor tabTop()
{
    return {40, 80, 134};
}
QColor tabBottom()
{
    return {44, 62, 107};
}
QColor tabActiveTop()
{
    return {60, 118, 175};
}
QColor tabActiveBottom()
{
    return {63, 104, 153};
}
QColor tabText()
{
    return {234, 234, 234};
}
QColor buttonTop()
{
    return {62, 100, 152};
}
QColor buttonBottom()
{
    return {36, 58, 98};
}
QColor buttonHoverTop()
{
    return {82, 132, 194};
}
QColor buttonHoverBottom()
{
    return {48, 80, 130};
}
QColor connectedText()
{
    return {0, 200, 0};
}
QColor disconnectedText()
{
    return {200, 0, 0};
}
QColor panelText()
{
    return {30, 36, 48};
}

QColor chartTop()
{
    return {33, 48, 76};
}

QColor chartBottom()
{
    return {22, 31, 50};
}

QColor chartGrid()
{
    return {70, 86, 112};
}

QColor chartScaleText()
{
    return {168, 180, 200};
}

QFont baseFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPixelSize(std::max(1, pixelSize));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont fittedFont(double boxHeight, double share, bool bold, int minimumPixels)
{
    // Cap the size too: on a large screen a tall box should not get a shouting font.
    const int pixels = std::clamp(static_cast<int>(std::lround(boxHeight * share)), minimumPixels, 40);
    QFont font = baseFont(pixels);
    font.setBold(bold);
    return font;
}

QColor fromColorRef(unsigned colorRef)
{
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

void paintGradient(QPainter& painter, const QRectF& rect, const QColor& top, const QColor& bottom,
                   double radius)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, radius > 0.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    if (radius > 0.0)
        painter.drawRoundedRect(rect, radius, radius);
    else
        painter.drawRect(rect);
    painter.restore();
}

QString styleSheet()
{
    // Sizes in px are device-independent pixels in Qt 6, so high-DPI screens scale them.
    return QStringLiteral(R"(
QLineEdit {
    background: #ffffff; color: #1e2430;
    border: 1px solid #8a97ab; border-radius: 3px; padding: 2px 5px;
    selection-background-color: #3c76af;
}
QLineEdit:disabled { background: #eef0f3; color: #1e2430; border-color: #b4bcc8; }
QLineEdit:focus { border-color: #3c76af; }
QComboBox {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e4e8ee);
    color: #1e2430; border: 1px solid #8a97ab; border-radius: 3px; padding: 2px 6px;
}
QComboBox:focus { border-color: #3c76af; }
QComboBox::drop-down {
    subcontrol-origin: padding; subcontrol-position: center right; width: 18px;
    border-left: 1px solid #b4bcc8;
}
QComboBox:disabled { color: #8a8f98; }
QComboBox QAbstractItemView {
    background: #ffffff; color: #1e2430; border: 1px solid #8a97ab;
    selection-background-color: #3c76af; selection-color: #ffffff;
}
QListWidget {
    background: #ffffff; color: #1e2430; border: 1px solid #8a97ab; border-radius: 3px;
    alternate-background-color: #f1f4f8;
}
QListWidget::item { padding: 2px 4px; }
QListWidget::item:selected { background: #3c76af; color: #ffffff; }
QCheckBox { color: #1e2430; spacing: 6px; }
QToolTip {
    background: #ffffff; color: #0000c8; border: 1px solid #8a97ab; padding: 5px;
}
QProgressBar {
    background: #ffffff; border: 1px solid #8a97ab; border-radius: 3px; text-align: center; color: #1e2430;
}
QProgressBar::chunk {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4977b3, stop:1 #1c2951);
}
QMessageBox, QProgressDialog, QFileDialog { background: #eeeeee; }
QMessageBox QLabel, QProgressDialog QLabel { color: #1e2430; }
)");
}

void apply(QApplication& app)
{
    app.setFont(baseFont(12));
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, dialogTop());
    palette.setColor(QPalette::WindowText, panelText());
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, panelText());
    palette.setColor(QPalette::Button, QColor(226, 226, 226));
    palette.setColor(QPalette::ButtonText, panelText());
    palette.setColor(QPalette::Highlight, tabActiveTop());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, QColor(0, 0, 200));
    app.setPalette(palette);
    app.setStyleSheet(styleSheet());
}

} // namespace theme

void startupGDIp()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        theme::apply(*app);
}

// Qt needs no drawing shutdown; the call stays so start-up and exit keep their pairing.
void shoutdownGDIp() {}
