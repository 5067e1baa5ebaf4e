// Every text of the window holds in its control: each page, the readings column and the status
// strip, at the smallest window, a laptop's and a full-HD screen, in the three languages, against
// the virtual controller. Texts are measured with the font metrics, independently of the fitting.
#include "gui/pages/definicja_dlg.h"
#include "gui/shell/about_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/skin/described_display.h"
#include "gui/skin/text_fit.h"
#include "gui/support/qt_app_environment.h"
#include "gui/support/sim_window.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"
#include "support/temp_home.h"

#include <QFontMetricsF>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

// The window with every tab shown, the language files open for the switch.
struct CWindow : CSimWindow {
    CWindow()
    {
        openLanguageFiles();
        view().revealHiddenTabs();
    }
};

// The test's own measure: the whole text, laid out as the box says, inside the box.
bool holds(const CTextBox& t)
{
    const QRectF need = QFontMetricsF(t.font).boundingRect(QRectF(0, 0, t.box.width(), 1e6),
                                                           t.wrap ? Qt::TextWordWrap : 0, t.text);
    return need.width() <= t.box.width() + 0.5 && need.height() <= t.box.height() + 0.5;
}

struct CShown {
    const QWidget* widget;
    CTextBox text;
};

// Every text that a visible widget under root shows, root included.
std::vector<CShown> shownTexts(const QWidget* root)
{
    std::vector<CShown> out;
    std::vector<const QWidget*> widgets{root};
    for (const QWidget* w : root->findChildren<const QWidget*>())
        widgets.push_back(w);
    for (const QWidget* w : widgets) {
        if (!w->isVisible() || w->window() != root->window())
            continue;
        for (const CTextBox& t : textfit::textBoxesOf(w))
            if (!t.text.trimmed().isEmpty())
                out.push_back({w, t});
    }
    return out;
}

std::string describe(const CShown& s)
{
    return s.widget->metaObject()->className() + std::string(" '") + s.text.text.toStdString() + "' " +
           std::to_string(s.text.font.pixelSize()) + "px in " + std::to_string(int(s.text.box.width())) + "x" +
           std::to_string(int(s.text.box.height()));
}

constexpr QSize kSizes[] = {{800, 530}, {1366, 768}, {1920, 1080}};
constexpr int kLanguages[] = {kLanguagePolish, kLanguageEnglish, kLanguageRussian};

} // namespace

// The figure: texts cut over every tab x 3 sizes x 3 languages is 0; on a full-HD screen no text
// stays below the window's small font, so the pages follow the window's fonts.
TEST(TextFit, EveryTextOfEveryPageHoldsAtEverySizeInEveryLanguage)
{
    CWindow w;
    int cut = 0;
    int checked = 0;
    for (const int language : kLanguages) {
        switchLanguage(language);
        for (const QSize size : kSizes) {
            w.frame->resize(size);
            for (int tab = 0; tab < w.view().pageCtrl()->tabCount(); ++tab) {
                w.view().pageCtrl()->activatePage(tab);
                QTest::qWait(20);
                const int smallest = w.view().fonts()[1].pixelSize();
                for (const CShown& s : shownTexts(w.frame.get())) {
                    SCOPED_TRACE(std::to_string(language) + " " + std::to_string(size.width()) + " tab " +
                                 std::to_string(tab) + ": " + describe(s));
                    ++checked;
                    if (!holds(s.text)) {
                        ++cut;
                        ADD_FAILURE() << "does not hold";
                    }
                    EXPECT_GE(s.text.font.pixelSize(), textfit::kFloorPixels);
                    if (size.height() >= 1080) {
                        EXPECT_GE(s.text.font.pixelSize(), smallest);
                    }
                }
            }
        }
    }
    std::cout << "texts checked: " << checked << ", cut: " << cut << '\n';
    EXPECT_GT(checked, 3 * 3 * 4 * 20);
    EXPECT_EQ(cut, 0);
}

// The pop-up dialogs in every language, over a laptop's window and a full-HD one: they open larger
// over the larger window, and their texts hold in both.
TEST(TextFit, DialogTextsHoldInEveryLanguageAndGrowWithTheWindow)
{
    CWindow w;
    for (const int language : kLanguages) {
        switchLanguage(language);
        int smallWidth = 0;
        for (const QSize size : {QSize(1366, 768), QSize(1920, 1080)}) {
            w.frame->resize(size);
            CDefinicjaDlg definition(w.doc->EditedRecord(), w.frame.get());
            CAboutDlg about(w.frame.get());
            if (size.height() == 768)
                smallWidth = definition.width();
            else
                EXPECT_GT(definition.width(), smallWidth * 13 / 10);
            for (QDialog* dialog : {static_cast<QDialog*>(&definition), static_cast<QDialog*>(&about)}) {
                dialog->show();
                QTest::qWait(10);
                for (const CShown& s : shownTexts(dialog)) {
                    SCOPED_TRACE(std::to_string(language) + " " + std::to_string(size.width()) + ": " + describe(s));
                    EXPECT_TRUE(holds(s.text));
                }
                dialog->hide();
            }
        }
    }
}

// Where a text cannot hold even at the floor, it is shortened and its whole text is the tip; the
// tip goes again once the text holds.
TEST(TextFit, AShortenedTextCarriesItsWholeTextAsTip)
{
    CGDIpDescribedDisplay display;
    display.setLabelText(L"Угол опережения зажигания при полной нагрузке");
    display.setValueText(L"11.00 °");
    display.resize(120, 20);
    display.show();
    const std::vector<CTextBox> texts = display.textBoxes();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_FALSE(holds(texts[0]));
    EXPECT_NE(textfit::shown(texts[0]), texts[0].text);
    EXPECT_TRUE(display.toolTip().contains(QStringLiteral("Угол опережения зажигания при полной нагрузке")));
    display.resize(900, 40);
    EXPECT_TRUE(holds(display.textBoxes()[0]));
    EXPECT_TRUE(display.toolTip().isEmpty());
}
