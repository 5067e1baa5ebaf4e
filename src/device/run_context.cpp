#include "device/run_context.h"

void CRunContext::reset()
{
    unknownDeviceSeen = false;
    demoSampleNumber = 0;
    captureState = kCaptureIdleValue;
    bootloaderOutcome = 0;
}

CRunContext& runContext()
{
    static CRunContext context;
    return context;
}
