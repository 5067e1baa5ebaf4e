#include "operations/map_operations.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "operations/edited_record.h"
#include "records/map_model.h"
#include "platform/ierror.h"

#include <cmath>

CAxisDefinition CAxisDefinition::fromRecord(const CSettingsRecord& record)
{
    CAxisDefinition d;
    d.rpmMin = static_cast<int>(truncateValue(record.rpmAxis[0]));
    d.rpmMax = static_cast<int>(truncateValue(record.rpmAxis[kMapColumns - 1]));
    d.mapMin = record.mapAxis[0];
    d.mapMax = record.mapAxis[kMapRows - 1];
    return d;
}

const wchar_t* CAxisDefinition::check() const
{
    if (rpmMin > rpmMax)
        return TR_KEY(L"Wartość RPM Min nie może być większa od RPM Max!");
    if (mapMax < mapMin)
        return TR_KEY(L"Wartość MAP Min nie może być większa od MAP Max!");
    return nullptr;
}

bool CAxisDefinition::applyDefinition(IEditedRecord& target) const
{
    CSettingsRecord& record = target.record();
    record.rpmAxis[0] = rpmMin;
    record.rpmAxis[kMapColumns - 1] = rpmMax;
    CMapModel model(record);
    const bool written = model.generateAxes(target, rpmMin, rpmMax, mapMin, mapMax);
    // The record holds the breakpoints as the wire carries them (100 RPM, 5 mV), not as generated.
    for (double& rpm : record.rpmAxis)
        rpm = rpmPointFromWire(rpmPointToWire(rpm));
    for (double& volts : record.mapAxis)
        volts = mapPointFromWire(mapPointToWire(volts));
    if (written)
        return true;
    userInteraction().showMessage(translateText(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!!"),
                                  MessageIcon::Error);
    return false;
}

double CAxisSpin::apply(double value, int delta) const
{
    const double moved = value - delta * step;
    if (moved <= lowest)
        return lowest;
    return moved > highest ? highest : moved;
}

bool readControllerMap(CLPGDevice& device)
{
    return device.GetMap() && device.GetMapAxes();
}

bool eraseControllerMap(CLPGDevice& device)
{
    CMapModel model(device.m_settings);
    return model.eraseMap(device);
}

bool eraseEditedMap(IEditedRecord& target)
{
    CMapModel model(target.record());
    return model.eraseMap(target);
}

bool clearMapStep(IEditedRecord& target)
{
    CWaitCursor wait;
    try {
        return eraseEditedMap(target);
    } catch (IError* raw) {
        showLinkError(L"CMapAngleDlg::OnBnClickedBtnClrMapTime()", raw);
        return false;
    }
}
