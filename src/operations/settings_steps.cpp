#include "operations/settings_steps.h"

#include "device/lpg_device.h"
#include "records/settings_record.h"

bool readControllerSettings(CLPGDevice& device)
{
    return device.GetSettings();
}

bool chooseSensorType(CLPGDevice& device, double sensorType)
{
    if (!device.GetSettings())
        return false;
    CSettingsRecord& record = device.m_settings;
    if (truncateValue(sensorType) == truncateValue(record.sensorType))
        return true;
    record.sensorType = sensorType;
    return device.SetSettings() && device.ResetDevice();
}

double tpsAsStored(double volts)
{
    return tpsFromWire(tpsToWire(volts));
}

bool writeTpsThreshold(CLPGDevice& device, double volts)
{
    device.m_settings.tpsThreshold = volts;
    return device.SetSettings();
}

bool writeInputSource(CLPGDevice& device, double source)
{
    device.m_settings.inputSource = source;
    return device.SetSettings();
}
