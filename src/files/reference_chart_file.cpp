#include "files/reference_chart_file.h"

#include "files/csv_file.h"
#include "platform/folders.h"

#include <charconv>

const wchar_t* referenceChartName(double sensorType, int wheelType)
{
    static const wchar_t* const kHall[] = {
        L"HALL_60_2.csv",       L"HALL_36_2.csv",       L"HALL_36_4.csv",       L"HALL_Type2_30_2.csv",
        L"HALL_Type3_36_6.csv", L"HALL_Type4_36_4.csv", L"HALL_Type5_36_4.csv", L"HALL_Type6_12_1.csv",
    };
    static const wchar_t* const kInductive[] = {L"INDUKCYJNY_60_2.csv", L"INDUKCYJNY_36_2.csv"};
    if (wheelType < 0)
        return nullptr;
    const auto index = static_cast<size_t>(wheelType);
    if (sensorType != 0.0)
        return index < std::size(kInductive) ? kInductive[index] : nullptr;
    return index < std::size(kHall) ? kHall[index] : nullptr;
}

std::wstring referenceChartFolder()
{
    // Beside the program in a build tree, under share/doravine/ once installed.
    return getDataFolder(L"wykresy");
}

std::vector<double> readReferenceChart(const std::wstring& path)
{
    std::vector<double> values;
    CCsvFile file;
    if (!file.open(path, false))
        return values;
    std::vector<std::string> fields;
    while (file.readLine(fields)) {
        // Whatever the user's locale, the decimal point is a point.
        double value = 0.0;
        if (!fields.empty())
            std::from_chars(fields.front().data(), fields.front().data() + fields.front().size(), value);
        values.push_back(value);
        fields.clear();
    }
    return values;
}

std::vector<double> referenceChartPoints(const std::vector<double>& values)
{
    std::vector<double> points(kReferenceChartPoints, kReferenceChartFlat);
    const size_t count = values.size();
    if (count == 0)
        return points;
    for (size_t i = 0; i < kReferenceChartPoints; ++i)
        points[i] = values[i * count / kReferenceChartPoints] + kReferenceChartMiddle;
    return points;
}
