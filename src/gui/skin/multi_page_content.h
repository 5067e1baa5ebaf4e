// What the page control asks of every page it hosts.
#pragma once

class IMultiPageContent {
  public:
    virtual ~IMultiPageContent() = default;
    // Once, after the page is created and placed in the page control.
    virtual void v_init() = 0;
    // Each time the page becomes the active tab.
    virtual void v_activate() = 0;
    // Each time another tab takes its place.
    virtual void v_deactivate() = 0;
};
