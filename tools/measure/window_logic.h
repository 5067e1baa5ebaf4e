// The window's logic without the window, for the link measurements: the document, the watchdog
// ticking every 100 ms while the live samples' timer runs (as the main frame's timer does), and a
// user whose no-connection notice stays open, without waiting for a click, until the connection
// closes it.
#pragma once

#include "base/user_interaction.h"
#include "device/connection_watchdog.h"
#include "operations/doravine_doc.h"

#include <atomic>
#include <chrono>
#include <thread>

class CNoticeUser : public IUserInteraction {
  public:
    CNoticeUser() { setUserInteraction(this); }
    ~CNoticeUser() override { setUserInteraction(nullptr); }
    void showMessage(const std::wstring&, MessageIcon) override { ++messages; }
    bool askYesNo(const std::wstring&) override { return false; }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}
    void showNotice(const std::wstring&) override
    {
        ++notices;
        noticeOpen = true;
    }
    void closeNotice() override { noticeOpen = false; }

    std::atomic<int> messages{0};
    std::atomic<int> notices{0};
    std::atomic<bool> noticeOpen{false};
};

class CWindowLogic {
  public:
    CWindowLogic()
    {
        doc.LiveSamples().setTimerHook([this](bool run) { timerOn = run; });
        doc.Device().Start();
        if (doc.Device().m_connected)
            doc.ResumeLiveSamples();
        ticker = std::thread([this] {
            while (!stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (timerOn)
                    watchdog.tick();
            }
        });
    }
    ~CWindowLogic()
    {
        stop = true;
        ticker.join();
        doc.LiveSamples().setTimerHook({});
    }
    CLPGDevice& device() { return doc.Device(); }

    CNoticeUser user;
    CThreadManager threads;
    CDoravineDoc doc{&threads};
    CConnectionWatchdog watchdog{doc.Device(), {nullptr, [this] { doc.ResumeLiveSamples(); }, nullptr}};
    std::atomic<bool> timerOn{false};
    std::atomic<bool> stop{false};
    std::thread ticker;
};
