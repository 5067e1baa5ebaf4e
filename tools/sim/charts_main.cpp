// doravine-charts: writes the settings page's reference charts into a folder (the repository
// keeps them in data/wykresy; scripts/make_charts.sh runs this).
#include "sim/reference_chart.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: doravine-charts FOLDER\n");
        return 2;
    }
    // One revolution in 1000 samples: the page spreads any count over its 2000 points.
    constexpr size_t kSamples = 1000;
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (const sim::ReferenceChart& chart : sim::referenceCharts()) {
        std::ofstream file(folder / chart.fileName, std::ios::binary | std::ios::trunc);
        file << sim::referenceChartText(sim::referenceChartValues(chart.wheel, chart.inductive, kSamples));
        if (!file) {
            std::fprintf(stderr, "doravine-charts: cannot write %s\n", (folder / chart.fileName).c_str());
            return 1;
        }
    }
    return 0;
}
