// The whole window as the program starts it, on a temporary home: the port table (silent ports
// ahead if asked, then the virtual controller or none), the document with the link's shortened
// time-outs, the frame shown at a laptop's size, and (unless told otherwise) the search's end.
// Teardown stops the live samples and joins their thread before the device goes. Header-only:
// each window test is its own program.
#pragma once

#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "operations/doravine_doc.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"
#include "support/temp_home.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct SimWindowOptions {
    bool controller = true;
    int silentPorts = 0;
    // Waits for the start-up search to end.
    bool awaitSearch = true;
    // The controller's port a link that follows it to its new terminal after a hang-up.
    bool followHangUps = false;
    // Paths put into the port table ahead of everything else (a controller that appears later).
    std::vector<std::string> ports;

    // No controller; the port table holds only these paths.
    static SimWindowOptions withoutController(std::vector<std::string> paths = {})
    {
        SimWindowOptions o;
        o.controller = false;
        o.ports = std::move(paths);
        return o;
    }
    // Silent ports ahead of the controller (or of nothing), the search still running.
    static SimWindowOptions searchingBehind(int silent, bool controller)
    {
        SimWindowOptions o;
        o.silentPorts = silent;
        o.controller = controller;
        o.awaitSearch = false;
        return o;
    }
    static SimWindowOptions followingHangUps()
    {
        SimWindowOptions o;
        o.followHangUps = true;
        return o;
    }
};

struct CSimWindow {
    explicit CSimWindow(SimWindowOptions options = {})
        : silent(silentPeers(options.silentPorts))
    {
        setCurrentLanguage(kLanguagePolish);
        std::vector<std::string> ports = options.ports;
        for (const auto& peer : silent)
            ports.push_back(peer->path());
        if (options.controller) {
            sim = std::make_unique<CSimFixture>();
            std::string port = sim->sim().path();
            if (options.followHangUps) {
                port = (sim->home().path() / "ttyDORAVINE").string();
                sim->sim().setLinkPath(port);
            }
            ports.push_back(port);
        }
        CSimFixture::setPorts(ports);
        doc = std::make_unique<CDoravineDoc>(&threads);
        CSimFixture::shortenTimeouts(doc->Device());
        frame = std::make_unique<CMainFrame>(*doc);
        frame->initialUpdate();
        frame->resize(1366, 768);
        frame->show();
        if (options.awaitSearch) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !view().searching(); }, 20000));
        }
    }
    ~CSimWindow()
    {
        frame.reset();
        doc->StopLiveSamples();
        threads.joinAll();
        doc.reset();
        CSimFixture::setPorts({});
        setCurrentLanguage(kLanguagePolish);
    }
    CSimWindow(const CSimWindow&) = delete;
    CSimWindow& operator=(const CSimWindow&) = delete;

    CDoravineView& view() { return *frame->view(); }
    CLPGDevice& device() { return doc->Device(); }

    CTempHome home;
    CRecordingUser user;
    std::vector<std::unique_ptr<CScriptedPeer>> silent;
    std::unique_ptr<CSimFixture> sim;
    CThreadManager threads;
    std::unique_ptr<CDoravineDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};
