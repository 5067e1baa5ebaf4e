// The page refreshes that a document operation asks for while it runs off the window's thread:
// kept in order and made on the window's thread once the operation has ended, when the record no
// longer changes under the pages.
#pragma once

#include "operations/doravine_doc.h"

#include <functional>
#include <vector>

class CDeferredViews : public IDocumentViews {
  public:
    void refreshSettingsPage(int wheelType) override
    {
        keep([wheelType](IDocumentViews& v) { v.refreshSettingsPage(wheelType); });
    }
    void refillMapGrid() override { keep([](IDocumentViews& v) { v.refillMapGrid(); }); }
    void activateMapPage() override { keep([](IDocumentViews& v) { v.activateMapPage(); }); }
    void activateDevicePage() override { keep([](IDocumentViews& v) { v.activateDevicePage(); }); }
    void activateSignalPage() override { keep([](IDocumentViews& v) { v.activateSignalPage(); }); }

    // Makes the kept refreshes on views, in the order asked, once.
    void replay(IDocumentViews& views)
    {
        const auto calls = std::move(m_calls);
        m_calls.clear();
        for (const auto& call : calls)
            call(views);
    }

  private:
    void keep(std::function<void(IDocumentViews&)> call) { m_calls.push_back(std::move(call)); }

    std::vector<std::function<void(IDocumentViews&)>> m_calls;
};
