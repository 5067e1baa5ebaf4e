// The link gateway over the virtual controller: a hung-up line caught once, the person's input held
// while the work runs (but not in the dialogs the work opens), a nested call answered Busy, the
// background run that leaves the window alone and the run that waits for it; and the source check
// that keeps the window's pages away from the device.
#include "device/lpg_device.h"
#include "gui/shell/link_gateway.h"
#include "gui/shell/qt_user_interaction.h"
#include "gui/support/qt_app_environment.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

using Outcome = CLinkGateway::Outcome;
using namespace std::chrono_literals;

struct CLink {
    CLink()
    {
        setCurrentLanguage(kLanguagePolish);
        CSimFixture::shortenTimeouts(device);
        fixture.openDirect(device);
        QObject::connect(&gateway, &CLinkGateway::linkLost, [this] { ++lost; });
    }
    void hangUpAtNextFrame() { fixture.sim().addFault(faultRule(sim::FaultKind::HangUp, fixture.sim().requestCount() + 1)); }

    CSimFixture fixture;
    CLPGDevice device;
    CLinkGateway gateway{device};
    int lost = 0;
};

// Work that holds the link's side until released, as a slow exchange does.
struct CHeldWork {
    bool operator()(CLPGDevice&) const
    {
        while (!released->load())
            std::this_thread::sleep_for(2ms);
        return true;
    }
    std::shared_ptr<std::atomic<bool>> released = std::make_shared<std::atomic<bool>>(false);
};

} // namespace

TEST(LinkGateway, AHungUpLineIsCaughtOnceInTheForegroundAndInTheBackground)
{
    const std::wstring replug = CLPGDevice::kReplugMessage;
    const struct {
        const wchar_t* handler;
        bool background;
    } rows[] = {{nullptr, false}, {L"CPage::OnButton()", false}, {L"CPage::OnKey()", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.background);
        CRecordingUser user;
        CLink link;
        link.hangUpAtNextFrame();
        Outcome outcome = Outcome::Busy;
        auto work = [](CLPGDevice& d) { return d.GetSettings(); };
        if (row.background) {
            QLineEdit probe;
            ASSERT_EQ(link.gateway.runInBackground(row.handler, work, &probe, [&](Outcome o) { outcome = o; }),
                      Outcome::Done);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !link.gateway.busy(); }, 5000));
        } else {
            outcome = link.gateway.run(row.handler, work);
        }
        EXPECT_EQ(outcome, Outcome::LinkLost);
        ASSERT_EQ(user.texts().size(), 1u);
        EXPECT_EQ(user.texts()[0].rfind(row.handler ? std::wstring(row.handler) + L"\n" : replug, 0), 0u);
        EXPECT_FALSE(link.device.m_connected);
        EXPECT_EQ(link.lost, 1);
        // The line stays down: later work is refused quietly, not reported again.
        EXPECT_EQ(link.gateway.run(row.handler, work), Outcome::Failed);
        EXPECT_EQ(user.texts().size(), 1u);
    }
}

TEST(LinkGateway, AnswersDoneAndFailedAsTheWorkDoes)
{
    CRecordingUser user;
    CLink link;
    EXPECT_EQ(link.gateway.run(nullptr, [](CLPGDevice& d) { return d.GetSettings(); }), Outcome::Done);
    sim::FaultRule refuse = faultRule(sim::FaultKind::NoReply);
    refuse.when = sim::FaultWhen::FrameType;
    refuse.code = 3;
    link.fixture.sim().addFault(refuse);
    EXPECT_EQ(link.gateway.run(nullptr, [](CLPGDevice& d) { return d.SetSettings(); }), Outcome::Failed);
    EXPECT_TRUE(link.device.m_connected);
    EXPECT_TRUE(user.texts().empty());
    EXPECT_EQ(link.lost, 0);
}

// While the work runs the window ticks, a click or key outside a dialog is dropped, a second call
// is Busy, and the question the work asks is answered by a real click on its Yes.
TEST(LinkGateway, HoldsInputExceptInTheWorksDialogAndAnswersANestedCallBusy)
{
    CQtUserInteraction ui;
    setUserInteraction(&ui);
    CLink link;
    QLineEdit outside;
    outside.show();
    int ticks = 0;
    Outcome nested = Outcome::Done;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            QTest::keyClicks(&outside, QStringLiteral("abc"));
            nested = link.gateway.run(nullptr, [](CLPGDevice&) { return true; });
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    beat.start(10);
    bool answer = false;
    const Outcome outcome = link.gateway.run(nullptr, [&](CLPGDevice&) {
        while (ticks < 5)
            std::this_thread::sleep_for(2ms);
        answer = userInteraction().askYesNo(L"?");
        return answer;
    });
    setUserInteraction(nullptr);
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_TRUE(answer);
    EXPECT_EQ(nested, Outcome::Busy);
    EXPECT_TRUE(outside.text().isEmpty());
    QTest::keyClicks(&outside, QStringLiteral("abc"));
    EXPECT_EQ(outside.text(), QStringLiteral("abc")) << "input flows again afterwards";
}

// A background run leaves the person's input alone and refuses a second one; a foreground run
// started meanwhile waits for it and then runs.
TEST(LinkGateway, ABackgroundRunLeavesInputAloneAndARunWaitsForIt)
{
    CRecordingUser user;
    CLink link;
    QLineEdit outside;
    outside.show();
    CHeldWork held;
    std::vector<std::string> order;
    ASSERT_EQ(link.gateway.runInBackground(nullptr, held, &outside, [&](Outcome) { order.push_back("background"); }),
              Outcome::Done);
    EXPECT_TRUE(link.gateway.busy());
    EXPECT_EQ(link.gateway.runInBackground(nullptr, held, &outside, {}), Outcome::Busy);
    QTest::keyClicks(&outside, QStringLiteral("12"));
    EXPECT_EQ(outside.text(), QStringLiteral("12"));
    QTimer::singleShot(50, [&] { *held.released = true; });
    const Outcome outcome = link.gateway.run(nullptr, [&](CLPGDevice&) {
        order.push_back("foreground");
        return true;
    });
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(order, (std::vector<std::string>{"background", "foreground"}));
    EXPECT_FALSE(link.gateway.busy());
}

// The window reaches the controller only through the gateway: no file under src/gui calls a
// device operation itself, except the ones listed here, which are still to move.
TEST(LinkGatewayReach, NoPageOrDialogCallsTheDevice)
{
    namespace fs = std::filesystem;
    const char* data = std::getenv("DORAVINE_DATA");
    const fs::path root = data ? fs::path(data).parent_path() : fs::path(__FILE__).parent_path().parent_path().parent_path();
    const std::set<std::string> allowed = {
        "src/gui/shell/link_gateway.cpp", // the one way
        "src/gui/shell/main_frame.cpp",   // the menu commands' guard
        "src/gui/pages/version_dlg.cpp",
        "src/gui/pages/read_signal_dlg.cpp",
    };
    const std::regex call(R"((\.|->)\s*(Identify|GetVersion|GetSettings|SetSettings|GetMap|SetMap|GetMapAxes|)"
                          R"(SetMapAxes|SaveMap|ClearMap|ResetDevice|GetErrors|GetDiagSample|GetReadDiag|)"
                          R"(ReadSignalPass|QueryBootloader|ExitBootloader|ResetAfterBoot|BootloaderAccess|)"
                          R"(EraseBlock|WriteRow|ProgramImage|FindDevice|ConnectSequence|RunCommand|)"
                          R"(SendReceive|SendReceiveDiag)\s*\()");
    std::set<std::string> calling;
    for (const auto& entry : fs::recursive_directory_iterator(root / "src" / "gui")) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (std::regex_search(text, call))
            calling.insert(fs::relative(entry.path(), root).generic_string());
    }
    for (const std::string& file : calling)
        EXPECT_TRUE(allowed.count(file)) << file << " calls the device itself";
    for (const char* sample : {"device().GetSettings();", "m_doc.Device().SetMap ()", "d->ResetDevice()"})
        EXPECT_TRUE(std::regex_search(sample, call)) << sample;
}
