// The look as a whole: a window built the way the program builds its pages, at the small laptop
// size and on a large screen. Controls must stay inside their pages and readable; with
// DORAVINE_SKIN_SHOTS=folder set, the renders are also written there as PNG files to be looked at.
#include "gui/shell/about_dlg.h"
#include "gui/support/qt_app_environment.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/image_check_box.h"
#include "gui/skin/multi_page_ctrl.h"
#include "gui/skin/scroll_chart.h"
#include "gui/skin/statics.h"
#include "gui/skin/str_value_combo.h"
#include "gui/skin/text_list.h"
#include "gui/skin/theme.h"

#include <QDir>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

void styleDisplay(CGDIpDescribedDisplay* d, double ratio)
{
    d->setRatio(ratio);
    d->setLabelFormat(0x8024);
    d->setColors(QColor(73, 119, 179), QColor(28, 41, 81));
}

CGDIpDescribedDisplay* display(CGDIpMultiPageDialog* page, const wchar_t* label, const wchar_t* value,
                               double ratio)
{
    auto* d = new CGDIpDescribedDisplay(page);
    styleDisplay(d, ratio);
    d->setLabelText(label);
    d->setValueText(value);
    return d;
}

struct Window {
    QApplication& application = app();
    std::unique_ptr<CGDIpMultiPageCtrl> ctrl = std::make_unique<CGDIpMultiPageCtrl>();
    CGDIpMultiPageDialog* settings = nullptr;
    CGDIpMultiPageDialog* version = nullptr;
    CGDIpMultiPageDialog* readings = nullptr;
    CGDIpMultiPageDialog* bottom = nullptr;

    explicit Window(QSize size)
    {
        ctrl->resize(size);
        CGDIpMultiPageGradientButton tabTemplate;
        tabTemplate.setStyleValues({0.05, 0.1, 0.01}, {0.3, 0.3, 0.3, 0.3},
                                   {QColor(40, 80, 134), QColor(44, 62, 107), QColor(220, 220, 220),
                                    QColor(210, 210, 210), QColor(60, 118, 175), QColor(63, 104, 153),
                                    QColor(234, 234, 234), QColor(234, 234, 234)});

        settings = new CGDIpMultiPageDialog(QSize(280, 292));
        auto* sensorLabel = new CTransparentStatic(L"Wybierz typ czujnika");
        settings->placeControl(sensorLabel, 7, 20, 125, 12);
        auto* sensor = new CStrValueCmbBox;
        sensor->addItem(0, 0.0, L"Halotronowy");
        sensor->addItem(0, 1.0, L"Indukcyjny");
        sensor->selectValue(0.0);
        settings->placeControl(sensor, 137, 18, 128, 16);
        settings->placeControl(display(settings, L"Stan", L"Praca", 0.5), 7, 50, 260, 20);
        settings->placeControl(display(settings, L"Wykryty typ koła", L"60 - 2", 0.5), 7, 80, 258, 20);
        settings->placeControl(new CGDIpGradientButton(L"Autodetekcja koła zamachowego"), 7, 110, 260, 20);
        auto* chart = new CScrollChart;
        chart->SetHorzDiv(4, 0);
        chart->SetGrid(1);
        chart->SetMaxPoints(1000);
        chart->AddLine(
            1, [](double) { return std::wstring(); }, 255, 0, 2, 1, 10);
        chart->SetUpperValue(2.5);
        chart->SetLowerValue(0.0);
        chart->SetPointSpan(2000);
        // A 60-2 wheel: 58 teeth and a gap, as the reference chart draws it.
        for (int i = 0; i < 2000; ++i) {
            const int tooth = (i * 60) / 2000;
            const bool high = tooth < 58 && ((i * 60) % 2000) < 1000;
            chart->AddData(1, i, (high ? 1.0 : 0.0) + 1.25 - 0.5, 0);
        }
        settings->placeControl(chart, 7, 142, 261, 78);
        settings->placeControl(new CTransparentStatic(L"Próg TPS"), 8, 228, 163, 20);
        auto* tps = new CGDIpGradientEdit;
        tps->setCaption(L"1.48");
        tps->setEnabled(false);
        settings->placeControl(tps, 178, 228, 71, 20);
        settings->placeControl(new CGDIpGradientSpinButtonCtrl, 257, 228, 11, 20);
        ctrl->insertPage(L"Ustawienia", settings, &tabTemplate);

        ctrl->insertPage(L"Mapa", new CGDIpMultiPageDialog(QSize(627, 291)), &tabTemplate);

        version = new CGDIpMultiPageDialog(QSize(504, 226));
        auto* codes = new CGDIpStatic;
        codes->setCaption(L"Kody błędów");
        codes->setGradientProportions({0.15, 0.15, 0.15, 0.15});
        codes->setColors(Qt::white, Qt::white);
        auto* data = new CGDIpStatic;
        data->copyStyle(*codes);
        data->setCaption(L"Dane sterownika");
        version->placeControl(data, 7, 10, 163, 20);
        version->placeControl(display(version, L"Typ urządzenia", L"Hallotronowy", 0.55), 7, 50, 163, 20);
        version->placeControl(display(version, L"Wersja sterownika", L"v 1.0", 0.55), 7, 82, 163, 17);
        version->placeControl(display(version, L"Data produkcji", L"02/10/2015", 0.55), 7, 110, 163, 20);
        version->placeControl(display(version, L"Nr seryjny", L"0", 0.55), 7, 140, 163, 20);
        version->placeControl(codes, 180, 10, 284, 20);
        auto* list = new CGDIpTextListCtrl;
        list->addLine(L"Brak błędów");
        version->placeControl(list, 180, 50, 284, 110);
        auto* clear = new CGDIpGradientButton(L"Kasuj błędy");
        clear->setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
        auto* read = new CGDIpGradientButton(L"Wczytaj błędy");
        read->copyStyle(*clear);
        version->placeControl(clear, 180, 170, 136, 15);
        version->placeControl(read, 328, 170, 136, 15);
        ctrl->insertPage(L"Wersja", version, &tabTemplate);

        auto* signal = new CGDIpMultiPageDialog(QSize(572, 320));
        signal->placeControl(new CImageCheckBox(L"Czytaj sygnał"), 10, 10, 120, 14);
        const int hidden = ctrl->insertPage(L"Czytaj sygnał", signal, &tabTemplate);
        ctrl->tabButton(hidden)->setHiddenMark(true);

        readings = new CGDIpMultiPageDialog(QSize(267, 420));
        const wchar_t* labels[] = {
            L"Obroty",       L"TPS", L"MAP Podciśnienie", L"Wyprzedzenie zapłonu", L"Napięcie zasilania",
            L"Aktualny stan"};
        const wchar_t* values[] = {L"850 RPM", L"3.00 V", L"1.65 V", L"12.30 °", L"12.00 V", L"Wyłączony"};
        const int ys[] = {7, 52, 99, 148, 198, 248};
        for (int i = 0; i < 6; ++i)
            readings->placeControl(display(readings, labels[i], values[i], 0.65), 13, ys[i], 245, 30);
        ctrl->insertRightPage(L"Odczyty", readings);

        bottom = new CGDIpMultiPageDialog(QSize(612, 29));
        bottom->templateLayout().setStretch(true);
        auto* state = new CTransparentStatic(L"BRAK POŁĄCZENIA");
        QFont bold = state->font();
        bold.setBold(true);
        state->setFont(bold);
        QPalette red = state->palette();
        red.setColor(QPalette::WindowText, theme::disconnectedText());
        state->setPalette(red);
        auto* versionText = new CTransparentStatic(L"Doravine v1.55");
        versionText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QPalette white = versionText->palette();
        white.setColor(QPalette::WindowText, Qt::white);
        versionText->setPalette(white);
        bottom->placeControl(state, 7, 7, 94, 15);
        bottom->placeControl(versionText, 511, 7, 94, 15);
        ctrl->insertCenterBottomPage(L"Bottom", bottom);

        ctrl->activatePage(0);
        ctrl->show();
        ctrl->recalcLayout();
    }
};

void saveShot(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("DORAVINE_SKIN_SHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    image.save(QDir(folder).filePath(name));
}

// Every child control lies inside its page and is at least one text line high.
void expectControlsFit(CGDIpMultiPageDialog* page)
{
    const QRect area(QPoint(0, 0), page->size());
    const int line = QFontMetrics(theme::baseFont(11)).height();
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(page))
            continue;
        EXPECT_TRUE(area.contains(child->geometry()))
            << child->metaObject()->className() << " " << child->geometry().x() << ","
            << child->geometry().y() << " " << child->width() << "x" << child->height() << " in "
            << area.width() << "x" << area.height();
        EXPECT_GE(child->height(), std::min(line, 16)) << child->metaObject()->className();
    }
}

} // namespace

TEST(Look, PagesFitAndReadAtLaptopAndLargeScreenSizes)
{
    for (const QSize size : {QSize(1366, 736), QSize(1920, 1048), QSize(800, 530)}) {
        SCOPED_TRACE(size.width());
        Window w(size);
        for (CGDIpMultiPageDialog* page : {w.settings, w.readings, w.bottom})
            expectControlsFit(page);
        w.ctrl->activatePage(2);
        expectControlsFit(w.version);

        const QImage image = w.ctrl->grab().toImage();
        // The column heading is drawn in the active-tab blue, the frame in its dark blue.
        const QRect title = w.ctrl->currentLayout().rightTitle;
        const QColor heading = image.pixelColor(title.center().x() + title.width() / 3, title.center().y());
        EXPECT_LT(std::abs(heading.blue() - 160), 30) << heading.name().toStdString();
        EXPECT_EQ(image.pixelColor(1, 1), theme::frameBackground());
        saveShot(image, QStringLiteral("window_%1x%2.png").arg(size.width()).arg(size.height()));
        w.ctrl->activatePage(0);
        saveShot(w.ctrl->grab().toImage(),
                 QStringLiteral("settings_%1x%2.png").arg(size.width()).arg(size.height()));
    }
}

TEST(Look, AboutBoxAndDialogBaseAreGrey)
{
    app();
    CAboutDlg dlg;
    dlg.show();
    const QImage image = dlg.grab().toImage();
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_EQ(corner.red(), corner.green());
    EXPECT_EQ(corner.green(), corner.blue());
    EXPECT_GT(corner.red(), 180);
    saveShot(image, QStringLiteral("about.png"));
    dlg.resize(dlg.size() * 2);
    saveShot(dlg.grab().toImage(), QStringLiteral("about_large.png"));
}
