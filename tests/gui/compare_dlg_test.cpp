// The comparison dialog: changed cells and axis points marked with both values, the two settings
// as changed or not, and the button that goes on to the load.
#include "gui/pages/compare_dlg.h"

#include "gui/skin/gradient_button.h"
#include "gui/skin/statics.h"
#include "gui/support/qt_app_environment.h"

#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

CDoravineDoc::Comparison comparison(const std::function<void(CSettingsRecord&)>& change)
{
    CDoravineDoc::Comparison c;
    c.result = CDoravineDoc::Comparison::Result::Compared;
    c.path = L"/tmp/some folder/engine.settings";
    c.controller = c.file = demoRecord();
    change(c.file);
    c.differences = compareSettings(c.controller, c.file);
    return c;
}

} // namespace

TEST(CompareDialog, MarksEveryChangedCellAndAxisPointWithBothValues)
{
    CCompareDlg dlg(comparison([](CSettingsRecord& f) {
        f.advanceMap[2][3] = 8.4;
        f.rpmAxis[14] += 500;
        f.mapAxis[0] += 0.5;
        f.tpsThreshold = 2.0;
    }));
    int marked = 0;
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapColumns; ++j)
            marked += dlg.cellMarked(i, j);
    EXPECT_EQ(marked, 1);
    EXPECT_TRUE(dlg.cellMarked(2, 3));
    EXPECT_EQ(dlg.grid()->item(3, 4)->text(), QStringLiteral("10.0\u21928.4"));
    EXPECT_EQ(dlg.grid()->item(1, 1)->text(), QStringLiteral("10.0"));
    EXPECT_TRUE(dlg.rpmPointMarked(14) && dlg.mapPointMarked(0));
    EXPECT_FALSE(dlg.rpmPointMarked(13) || dlg.mapPointMarked(1));
    EXPECT_EQ(dlg.summary()->caption(), L"Wczytanie pliku zmieni w sterowniku wartości: 4");
    const std::wstring settings = dlg.settingsLines()->caption();
    EXPECT_NE(settings.find(L" \u2192 2.0000 V\nŹródło sygnału: bez zmian"), std::wstring::npos);
}

TEST(CompareDialog, AnEqualFileSaysSoAndTheButtonGoesOnToTheLoad)
{
    CCompareDlg dlg(comparison([](CSettingsRecord&) {}));
    EXPECT_EQ(dlg.summary()->caption(), L"Plik nie zmieni niczego w sterowniku.");
    QTimer::singleShot(0, dlg.loadButton(), &QPushButton::click);
    EXPECT_EQ(dlg.exec(), CCompareDlg::GoOnToLoad);
}
