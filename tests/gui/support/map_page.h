// The map page alone over a document whose device talks to the virtual controller (reached
// through the window's gateway), with the controller's settings, map and axes read as the
// connection would read them. Header-only: each window test is its own program.
#pragma once

#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/shell/link_gateway.h"
#include "operations/doravine_doc.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

struct CMapPageFixture {
    explicit CMapPageFixture(uint8_t workState = kWorkStateNormal)
    {
        setCurrentLanguage(kLanguagePolish);
        auto settings = fixture.sim().settings();
        settings[13] = workState;
        fixture.sim().setSettings(settings);
        CSimFixture::shortenTimeouts(device());
        fixture.openDirect(device());
        EXPECT_TRUE(device().GetSettings() && device().GetMap() && device().GetMapAxes());
        page.resize(1000, 560);
        page.initialiseOnce();
        page.show();
        page.v_activate();
        fixture.sim().clearRequests();
    }
    ~CMapPageFixture() { setCurrentLanguage(kLanguagePolish); }

    CLPGDevice& device() { return doc.Device(); }
    CMapAngle& grid() { return *page.grid(); }

    CSimFixture fixture;
    CRecordingUser user;
    CDoravineDoc doc;
    CLinkGateway gateway{doc.Device()};
    CMapAngleDlg page{doc};
};
