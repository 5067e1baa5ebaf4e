// The readings as text: the panel's conversions and formats, in the log's CSV form and the
// command line's key=value form, whatever the locale.
#include "records/readings_format.h"

#include "support/comma_locale.h"
#include "support/diag_samples.h"

#include <gtest/gtest.h>

namespace {

using testsupport::diagSample;

struct Case {
    CDiag sample;
    double seconds;
    const char* csv;
    const char* watch;
};

const Case kCases[] = {
    {diagSample(850, 200, 512, 588, 123, 1), 0.0, "0.000;850;3.00;1.65;12.30;12.00;1",
     "rpm=850 tps=3.00 map=1.65 advance=12.30 supply=12.00 switch=1"},
    // MAP 0xFFFF is -1: -0.003 V prints as -0.00; TPS 333 gives 4.9955 and shows 5.00.
    {diagSample(0, 333, 0xFFFF, 200, 0, 255), 12.3456, "12.346;0;5.00;-0.00;0.00;4.08;1",
     "rpm=0 tps=5.00 map=-0.00 advance=0.00 supply=4.08 switch=1"},
    {diagSample(65535, 0, 1023, 0, 255, 0), 3600.0004, "3600.000;65535;0.00;3.30;25.50;0.00;0",
     "rpm=65535 tps=0.00 map=3.30 advance=25.50 supply=0.00 switch=0"},
};

} // namespace

TEST(ReadingsFormat, CsvAndWatchLinesOfKnownSamplesWhateverTheLocale)
{
    CCommaLocale comma; // a Polish desktop prints 12,00 with printf
    for (const Case& c : kCases) {
        EXPECT_EQ(readingsCsvLine(c.seconds, c.sample), c.csv);
        EXPECT_EQ(readingsWatchLine(c.sample), c.watch);
    }
    if (!comma.cLibrary())
        GTEST_SKIP() << "no Polish locale for the C library: checked under the C++ comma locale only";
}
