// The device information page against the virtual controller: identity formats, the error list
// after a read (none, an unknown bit, a failed read), the clear with its pause and settings read,
// and the sensor type. The language change is said at the window's tests.
#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/support/qt_app_environment.h"
#include "gui/pages/version_dlg.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/text_list.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

// The page over a device talking to the virtual controller on its terminal.
struct CPage {
    CPage()
    {
        setCurrentLanguage(kLanguagePolish);
        device.buildErrorModules();
        CSimFixture::shortenTimeouts(device);
        fixture.openDirect(device);
        page.resize(800, 400);
        page.initialiseOnce();
    }
    ~CPage() { setCurrentLanguage(kLanguagePolish); }
    std::vector<std::wstring> lines() const
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < page.errorList()->lineCount(); ++i)
            out.push_back(page.errorList()->line(i));
        return out;
    }

    CSimFixture fixture;
    CRecordingUser user;
    CLPGDevice device;
    CLinkGateway gateway{device};
    CVersionDlg page{device};
};

} // namespace

TEST(DevicePage, ActivationShowsTheIdentityReadFromTheController)
{
    CPage p;
    p.fixture.sim().setFirmwareVersion(0x0105);
    p.fixture.sim().setDayCount(0);
    p.fixture.sim().setSerial("SN-000123");
    ASSERT_TRUE(p.device.Identify());
    ASSERT_TRUE(p.device.GetVersion());
    ASSERT_TRUE(p.device.GetSettings());
    p.page.v_activate();
    EXPECT_EQ(p.page.versionDisplay()->valueText(), L"v 1.5");
    EXPECT_EQ(p.page.dateDisplay()->valueText(), L"02/04/2004");
    EXPECT_EQ(p.page.serialDisplay()->valueText(), L"SN-000123");

    for (const auto& [type, text] :
         {std::pair{0.0, L"Hallotronowy"}, std::pair{1.0, L"Indukcyjny"}, std::pair{7.0, L"Indukcyjny"}}) {
        p.device.m_settings.sensorType = type;
        p.page.v_activate();
        EXPECT_EQ(p.page.typeDisplay()->valueText(), text) << type;
    }
}

// Without a controller the identity is not shown as if one had sent it: dashes, also before the
// first connection.
TEST(DevicePage, WithoutAControllerTheDisplaysShowDashes)
{
    CPage p;
    ASSERT_TRUE(p.device.Identify());
    p.device.m_connected = false;
    for (int pass = 0; pass < 2; ++pass) {
        for (const CGDIpDescribedDisplay* d :
             {p.page.typeDisplay(), p.page.versionDisplay(), p.page.dateDisplay(), p.page.serialDisplay()})
            EXPECT_EQ(d->valueText(), CVersionDlg::kNoValue) << pass;
        p.page.v_activate();
    }
    p.device.m_connected = true;
    p.page.v_activate();
    EXPECT_NE(p.page.typeDisplay()->valueText(), CVersionDlg::kNoValue);
}

TEST(DevicePage, ReadErrorsListsNoneOrTheDecodedLines)
{
    CPage p;
    p.fixture.sim().setErrors({0, 0, 0, 0});
    QTest::mouseClick(p.page.readButton(), Qt::LeftButton);
    EXPECT_EQ(p.lines(), std::vector<std::wstring>{L"Brak błędów"});

    // Only the last module (GAP2) set, bit 0: it has no message of its own.
    p.fixture.sim().setErrors({0, 0, 0, 1});
    QTest::mouseClick(p.page.readButton(), Qt::LeftButton);
    const auto lines = p.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find(L"Nieznany kod błędu"), 0u) << QString::fromStdWString(lines[0]).toStdString();
    EXPECT_EQ(lines, p.device.decodeErrors(std::array<uint8_t, 4>{0, 0, 0, 1}.data()));
    EXPECT_TRUE(p.user.texts().empty());
    EXPECT_EQ(p.user.waitDepth(), 0);
}

TEST(DevicePage, ClearLeavesTheClearedLineAndReadsTheSettingsAgain)
{
    CPage p;
    p.fixture.sim().setErrors({3, 0, 0, 0});
    p.page.onReadErrors();
    ASSERT_GE(p.lines().size(), 2u);

    // The controller's sensor type changed meanwhile: the settings read after the pause shows it.
    auto settings = p.fixture.sim().settings();
    settings[10] = 1;
    p.fixture.sim().setSettings(settings);
    p.fixture.sim().clearRequests();
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(p.page.clearButton(), Qt::LeftButton);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(p.lines(), std::vector<std::wstring>{L"Błędy skasowane"});
    EXPECT_EQ(p.fixture.sim().errors(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_GE(took, std::chrono::milliseconds(CVersionDlg::kClearPauseMs));
    EXPECT_EQ(p.page.typeDisplay()->valueText(), L"Indukcyjny");
    // The clear (0x0A) went first, the settings read (0x07) after it.
    const auto requests = p.fixture.sim().requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.front().payload.at(0), 0x0A);
    EXPECT_EQ(requests.back().payload.at(0), 0x07);
    EXPECT_TRUE(p.user.texts().empty());
}

// A read or a clear the controller does not answer: the message, and the list as it was.
TEST(DevicePage, AnUnansweredReadOrClearKeepsTheListAndSaysSo)
{
    const struct {
        uint8_t command;
        void (CVersionDlg::*click)();
        const wchar_t* message;
    } rows[] = {
        {0x05, &CVersionDlg::onReadErrors, L"Nie można wczytać błędów urządzenia"},
        {0x0A, &CVersionDlg::onClearErrors, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"},
    };
    for (const auto& row : rows) {
        CPage p;
        p.fixture.sim().setErrors({0, 0, 0, 0});
        p.page.onReadErrors();
        p.fixture.sim().addFault({sim::FaultKind::NoReply, sim::FaultWhen::Command, 0, row.command});
        p.fixture.sim().setErrors({1, 0, 0, 0});
        (p.page.*row.click)();
        EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{row.message});
        EXPECT_EQ(p.lines(), std::vector<std::wstring>{L"Brak błędów"});
        EXPECT_EQ(p.fixture.sim().errors()[0], 1);
        EXPECT_EQ(p.user.waitDepth(), 0);
    }
}

// A port gone under a button: the page catches the link error and names its handler; nothing
// escapes to end the program.
TEST(DevicePage, PortGoneUnderAButtonIsShownWithTheHandlerName)
{
    CPage p;
    p.device.Port().close();
    p.page.onReadErrors();
    const auto texts = p.user.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"CDevDataDlg::OnBnClickedButtonread()\n", 0), 0u);
    EXPECT_EQ(p.user.waitDepth(), 0);
    EXPECT_TRUE(p.lines().empty());
}
