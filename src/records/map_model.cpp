#include "records/map_model.h"

#include "base/language.h"
#include "base/user_interaction.h"

#include <cmath>

CAngleLimits angleLimitsFor(double wheelType, double sensorType)
{
    // Wheel types are whole list indices; anything else falls to the default row.
    const bool whole = std::isfinite(wheelType) && std::trunc(wheelType) == wheelType;
    const int wheel =
        whole && wheelType >= 0 && wheelType < kWheelTypeCount ? static_cast<int>(wheelType) : -1;
    if (sensorType != 0.0)
        return wheel == 1 ? CAngleLimits{0.0, 25.0, 1.0} : CAngleLimits{0.0, 17.4, 0.6};
    switch (wheel) {
    case 0:
        return {0.0, 24.0, 0.6};
    case 1:
    case 2:
        return {0.0, 25.0, 1.0};
    case 3:
        return {0.0, 24.0, 1.2};
    case 4:
    case 5:
        return {0.0, 18.0, 1.0};
    case 6:
        return {0.0, 19.0, 1.0};
    case 7:
        return {0.0, 15.0, 3.0};
    default:
        return {0.0, 17.4, 0.6};
    }
}

CMapModel::CMapModel(CSettingsRecord& record) : m_record(record)
{
    updateLimits();
}

void CMapModel::updateLimits()
{
    m_limits = angleLimitsFor(m_record.wheelType, m_record.sensorType);
}

double CMapModel::roundToStep(double value) const
{
    // Repeated addition, as the grid's step keys produce their values; the wire encoding absorbs
    // the error this leaves (7.199999999999998 goes out as 72 tenths). The same error must not
    // push a value that already lies on the step one step higher: nine steps of 0.6 add up to
    // 5.3999999999999995, and 5.4 read back from the controller has to stay 5.4.
    constexpr double kTolerance = 1e-9;
    double x = 0.0;
    while (value > x + kTolerance && m_limits.highest > x)
        x += m_limits.step;
    if (x > m_limits.highest)
        x = m_limits.highest;
    return x;
}

void CMapModel::roundMapToStep()
{
    updateLimits();
    for (auto& row : m_record.advanceMap)
        for (double& cell : row)
            cell = roundToStep(cell);
}

void CMapModel::fillAxes(int rpmMin, int rpmMax, double mapMin, double mapMax)
{
    double x = rpmMin;
    double d = (static_cast<double>(rpmMax) - rpmMin) / 14.0;
    for (int i = 0; i < kMapColumns; ++i) {
        long long v = static_cast<long long>(x + 0.5);
        v = v / 100 * 100;
        m_record.rpmAxis[i] = static_cast<double>(v);
        x += d;
    }
    x = mapMin;
    d = (mapMax - mapMin) / 15.0;
    for (int j = 0; j < kMapRows; ++j) {
        m_record.mapAxis[j] = x;
        x += d;
    }
}

bool CMapModel::generateAxes(IMapCommands& device, int rpmMin, int rpmMax, double mapMin, double mapMax)
{
    fillAxes(rpmMin, rpmMax, mapMin, mapMax);
    return device.SetMapAxes();
}

CMapCell CMapModel::findCell(double rpm, double mapVolts) const
{
    CMapCell cell{kMapColumns - 1, kMapRows - 1};
    for (int i = 0; i < kMapColumns; ++i) {
        if (m_record.rpmAxis[i] > rpm) {
            cell.column = i;
            break;
        }
    }
    for (int j = 0; j < kMapRows; ++j) {
        if (m_record.mapAxis[j] > mapVolts) {
            cell.row = j;
            break;
        }
    }
    return cell;
}

bool CMapModel::eraseMap(IMapCommands& device)
{
    if (!device.isConnected())
        return false;
    if (!device.ClearMap() || !device.SaveMap()) {
        userInteraction().showMessage(
            translateText(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"), MessageIcon::Error);
        return false;
    }
    for (auto& row : m_record.advanceMap)
        for (double& cell : row)
            cell = 0.0;
    return true;
}
