#include "records/settings_compare.h"

#include "records/readings_format.h"

std::vector<CSettingsDifference> compareSettings(const CSettingsRecord& c, const CSettingsRecord& f)
{
    using Field = CSettingsDifference::Field;
    std::vector<CSettingsDifference> out;
    const SettingsBlock cs = encodeSettingsBlock(c);
    const SettingsBlock fs = encodeSettingsBlock(f);
    // The threshold is the block's first word, the input source its fourth byte.
    if (cs[0] != fs[0] || cs[1] != fs[1])
        out.push_back({Field::TpsThreshold, 0, 0, c.tpsThreshold, f.tpsThreshold});
    if (cs[3] != fs[3])
        out.push_back({Field::InputSource, 0, 0, c.inputSource, f.inputSource});

    const AxesBlock ca = encodeAxesBlock(c);
    const AxesBlock fa = encodeAxesBlock(f);
    for (int j = 0; j < kMapColumns; ++j)
        if (ca[32 + j] != fa[32 + j])
            out.push_back({Field::RpmAxis, 0, j, c.rpmAxis[j], f.rpmAxis[j]});
    for (int i = 0; i < kMapRows; ++i)
        if (ca[2 * i] != fa[2 * i] || ca[2 * i + 1] != fa[2 * i + 1])
            out.push_back({Field::MapAxis, i, 0, c.mapAxis[i], f.mapAxis[i]});

    const MapBlock cm = encodeMapBlock(c);
    const MapBlock fm = encodeMapBlock(f);
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapColumns; ++j)
            if (cm[i * kMapColumns + j] != fm[i * kMapColumns + j])
                out.push_back({Field::AdvanceMap, i, j, c.advanceMap[i][j], f.advanceMap[i][j]});
    return out;
}

std::string differenceName(const CSettingsDifference& d)
{
    using Field = CSettingsDifference::Field;
    switch (d.field) {
    case Field::TpsThreshold:
        return "tpsThreshold";
    case Field::InputSource:
        return "inputSource";
    case Field::RpmAxis:
        return "rpmAxis[" + std::to_string(d.column) + "]";
    case Field::MapAxis:
        return "mapAxis[" + std::to_string(d.row) + "]";
    case Field::AdvanceMap:
        break;
    }
    return "advanceMap[" + std::to_string(d.row) + "][" + std::to_string(d.column) + "]";
}

std::string differenceValue(const CSettingsDifference& d, double value)
{
    using Field = CSettingsDifference::Field;
    switch (d.field) {
    case Field::TpsThreshold:
        return formatFixed(value, 4);
    case Field::InputSource:
    case Field::RpmAxis:
        return formatFixed(value, 0);
    case Field::MapAxis:
        return formatFixed(value, 2);
    case Field::AdvanceMap:
        break;
    }
    return formatFixed(value, 1);
}

std::string differenceLine(const CSettingsDifference& d)
{
    return differenceName(d) + ": " + differenceValue(d, d.controller) + " -> " + differenceValue(d, d.file);
}
