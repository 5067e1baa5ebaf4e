// The language lookup on the shipped files: one lookup, and a full language switch that looks up
// every key once (what the windows do when the user picks a language). The line-by-line scan of
// the file for each key is measured beside it for comparison.
#include "base/lang_file.h"
#include "base/language.h"
#include "platform/ierror.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string shippedFolder()
{
    // Run from anywhere: the data folder of the source tree unless DORAVINE_DATA names another.
    const char* data = std::getenv("DORAVINE_DATA");
    std::string base =
        data ? data : (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string();
    return base + "/Doravine_LANG/";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every key of the English file, in file order.
std::vector<std::wstring> allKeys(const std::string& bytes)
{
    std::vector<std::wstring> keys;
    for (const std::wstring& line : langfile::readLines(bytes)) {
        std::size_t tab = line.find(L'\t');
        if (tab != std::wstring::npos)
            keys.push_back(langfile::unescape(line.substr(0, tab)));
    }
    return keys;
}

struct Shipped {
    Shipped()
    {
        english = readFile(shippedFolder() + "ENGLISH.txt");
        russian = readFile(shippedFolder() + "RUSSIAN.txt");
        keys = allKeys(english);
        openLanguageFiles(utf82unicode(shippedFolder()));
    }
    std::string english;
    std::string russian;
    std::vector<std::wstring> keys;
};

const Shipped& shipped()
{
    static Shipped files;
    return files;
}

void BM_TranslateOne(benchmark::State& state)
{
    const Shipped& files = shipped();
    setCurrentLanguage(static_cast<int>(state.range(0)));
    const std::wstring& key = files.keys[files.keys.size() / 2];
    for (auto _ : state)
        benchmark::DoNotOptimize(translateText(key));
    setCurrentLanguage(kLanguagePolish);
}
BENCHMARK(BM_TranslateOne)->Arg(kLanguagePolish)->Arg(kLanguageEnglish)->Arg(kLanguageRussian);

void BM_TranslateMissing(benchmark::State& state)
{
    shipped();
    setCurrentLanguage(kLanguageRussian);
    const std::wstring key = L"Tekstu nie ma w żadnym pliku";
    for (auto _ : state)
        benchmark::DoNotOptimize(translateText(key));
    setCurrentLanguage(kLanguagePolish);
}
BENCHMARK(BM_TranslateMissing);

// A language switch: every text of the program looked up once.
void BM_SwitchAllTexts(benchmark::State& state)
{
    const Shipped& files = shipped();
    int index = kLanguageEnglish;
    for (auto _ : state) {
        index = index == kLanguageEnglish ? kLanguageRussian : kLanguageEnglish;
        switchLanguage(index);
        for (const std::wstring& key : files.keys)
            benchmark::DoNotOptimize(translateText(key));
    }
    state.counters["keys"] = static_cast<double>(files.keys.size());
    setCurrentLanguage(kLanguagePolish);
}
BENCHMARK(BM_SwitchAllTexts)->Unit(benchmark::kMicrosecond);

// Opening (reading and parsing) one shipped file.
void BM_OpenFile(benchmark::State& state)
{
    const std::wstring path = utf82unicode(shippedFolder() + "RUSSIAN.txt");
    for (auto _ : state) {
        CLangFile file;
        benchmark::DoNotOptimize(file.open(path));
    }
}
BENCHMARK(BM_OpenFile)->Unit(benchmark::kMicrosecond);

// For comparison: the same switch with a scan of the file from its start for every key.
void BM_SwitchAllTextsByScan(benchmark::State& state)
{
    const Shipped& files = shipped();
    for (auto _ : state) {
        for (const std::wstring& key : files.keys)
            benchmark::DoNotOptimize(langfile::scan(files.russian, key));
    }
}
BENCHMARK(BM_SwitchAllTextsByScan)->Unit(benchmark::kMicrosecond);

} // namespace
