// Every text that the program passes to translateText has a translation in both shipped language
// files. The keys are collected from the sources when the test runs: literals in
// translateText(L"...") calls and literals marked TR_KEY(L"...") (see app/language.h).
#include "base/lang_file.h"
#include "platform/ierror.h"
#include "support/portable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path repositoryRoot()
{
    if (const char* data = std::getenv("DORAVINE_DATA"))
        return fs::path(data).parent_path();
    return fs::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The source with its comments blanked out (line breaks kept), string and character literals intact.
std::string withoutComments(std::string out)
{
    char quote = 0; // inside a literal: its quote
    for (std::size_t i = 0; i < out.size(); ++i) {
        char c = out[i], next = i + 1 < out.size() ? out[i + 1] : '\0';
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '/' && next == '/') {
            while (i < out.size() && out[i] != '\n')
                out[i++] = ' ';
        } else if (c == '/' && next == '*') {
            std::size_t end = out.find("*/", i + 2);
            end = end == std::string::npos ? out.size() : end + 2;
            for (; i < end; ++i)
                if (out[i] != '\n')
                    out[i] = ' ';
            --i;
        }
    }
    return out;
}

// The value of the body of a C++ wide string literal (UTF-8 source) as the program sees it. The
// program's keys escape only line breaks, tabs, quotes and backslashes.
std::wstring literalValue(const std::string& body)
{
    std::string utf8;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            utf8 += body[i];
            continue;
        }
        const char e = body[++i];
        utf8 += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e; // \\ \" \' stand for themselves
    }
    return utf82unicode(utf8);
}

struct KeyUse {
    std::wstring key;
    std::string where;
};

// Keys of the sources under src/ and tools/: translateText(L"..." ...) and TR_KEY(L"..." ...),
// adjacent literals joined.
std::vector<KeyUse> collectKeys(const fs::path& root)
{
    static const std::regex call(
        R"((?:\btranslateText|\bTR_KEY)\s*\(\s*((?:L?"(?:[^"\\\n]|\\.)*"\s*)+)[,)])");
    static const std::regex piece(R"delim(L?"((?:[^"\\\n]|\\.)*)")delim");
    std::vector<KeyUse> keys;
    std::error_code ec; // a missing folder has no keys
    for (const char* dir : {"src", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / dir, ec)) {
            std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".hpp"))
                continue;
            const std::string source = withoutComments(readFile(entry.path()));
            for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
                const std::string literals = (*it)[1].str();
                std::wstring key;
                for (std::sregex_iterator p(literals.begin(), literals.end(), piece); p != end; ++p)
                    key += literalValue((*p)[1].str());
                auto line = 1 + std::count(source.begin(), source.begin() + it->position(0), '\n');
                keys.push_back({key, fs::relative(entry.path(), root).generic_string() + ":" + std::to_string(line)});
            }
        }
    }
    return keys;
}

// Printable form of a key: line breaks and TABs written as the language files write them.
std::string shown(const std::wstring& key)
{
    std::wstring out;
    for (wchar_t c : key)
        out += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : c == L'\t' ? L"\\t" : std::wstring(1, c);
    return unicode2utf8(out);
}

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

// (key, translation) of a line "key<TAB>note<TAB>translation", unescaped; nothing for other lines.
void addEntry(Entries& entries, const std::wstring& line)
{
    std::size_t first = line.find(L'\t');
    std::size_t second = first == std::wstring::npos ? first : line.find(L'\t', first + 1);
    if (second != std::wstring::npos)
        entries.emplace_back(langfile::unescape(line.substr(0, first)),
                             langfile::unescape(line.substr(second + 1)));
}

Entries entriesOf(const fs::path& file)
{
    Entries entries;
    for (const std::wstring& line : langfile::readLines(readFile(file)))
        addEntry(entries, line);
    return entries;
}

// The printf conversions of a text, in order ("%s", "%.2f", ...).
std::vector<std::string> conversions(const std::wstring& text)
{
    static const std::regex placeholder(R"(%[-+ #0]*[0-9]*(?:\.[0-9]+)?(?:l|ll|h)?[diouxXeEfgGcsS%])");
    std::string utf8 = unicode2utf8(text);
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(utf8.begin(), utf8.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    return found;
}

const char* const kShipped[] = {"ENGLISH.txt", "RUSSIAN.txt"};

} // namespace

TEST(LanguageKeys, TheCollectorFindsKeysAsTheCompilerSeesThem)
{
    fs::path folder = testsupport::makeTempFolder("doravine-keys-");
    fs::create_directories(folder / "src");
    std::ofstream(folder / "src" / "sample.cpp") << R"src(
        show(translateText(L"Zwykły tekst"));
        show(translateText( L"Wiersz\ndrugi \"cytat\" \\ koniec" ));
        show(translateText(L"Sklejony " L"tekst"), 1);
        // translateText(L"W komentarzu");
        /* TR_KEY(L"W bloku") */
        const wchar_t* table[] = {TR_KEY(L"Z tabeli"), TR_KEY(L"Łą\tb")};
        show(translateText(variable));
        auto s = "translateText(L\"W napisie\")";
    )src";
    std::vector<KeyUse> keys = collectKeys(folder);
    fs::remove_all(folder);
    std::vector<std::wstring> found;
    for (const KeyUse& use : keys)
        found.push_back(use.key);
    EXPECT_EQ(found, (std::vector<std::wstring>{L"Zwykły tekst", L"Wiersz\ndrugi \"cytat\" \\ koniec",
                                                L"Sklejony tekst", L"Z tabeli", L"Łą\tb"}));
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.front().where, "src/sample.cpp:2");
}

TEST(LanguageKeys, EveryKeyOfTheProgramIsInBothFiles)
{
    fs::path root = repositoryRoot();
    ASSERT_TRUE(fs::exists(root / "src")) << root;
    std::vector<KeyUse> keys = collectKeys(root);
    ASSERT_GT(keys.size(), 100u) << "the collector must see the program's texts";

    for (const char* name : kShipped) {
        fs::path path = root / "data" / "Doravine_LANG" / name;
        CLangFile file;
        ASSERT_TRUE(file.open(utf82unicode(path.string()))) << path;
        std::map<std::wstring, std::string> missing;
        for (const KeyUse& use : keys) {
            if (file.translate(use.key).empty())
                missing.emplace(use.key, use.where);
        }
        std::ostringstream list;
        for (const auto& [key, where] : missing)
            list << "\n  " << shown(key) << "\t(" << where << ")";
        EXPECT_TRUE(missing.empty())
            << name << " has no translation for " << missing.size() << " key(s) used in "
            << "the program; add them to data/lang-src/*.tsv and run scripts/make_lang.py:" << list.str();
    }
}

TEST(LanguageKeys, ShippedFilesAgreeWithEachOtherAndKeepTheFormats)
{
    fs::path folder = repositoryRoot() / "data" / "Doravine_LANG";
    std::map<std::string, std::set<std::wstring>> keySets;
    for (const char* name : kShipped) {
        std::string bytes = readFile(folder / name);
        ASSERT_GE(bytes.size(), 2u) << name;
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << name << " starts with the UTF-16 LE mark";
        EXPECT_EQ(bytes.size() % 2, 0u) << name;
        EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\r\0\n\0", 4)) << name << " ends in CR LF";

        auto entries = entriesOf(folder / name);
        EXPECT_GT(entries.size(), 100u) << name;
        for (const auto& [key, translation] : entries) {
            EXPECT_TRUE(keySets[name].insert(key).second) << name << ": duplicate key " << shown(key);
            EXPECT_FALSE(translation.empty()) << name << ": empty translation of " << shown(key);
            EXPECT_EQ(conversions(key), conversions(translation))
                << name << ": the translation of " << shown(key) << " must keep its % conversions";
            EXPECT_EQ(key.back() == L' ', translation.back() == L' ')
                << name << ": " << shown(key) << " is joined to another text; keep its trailing blank";
        }
    }
    std::set<std::wstring> onlyOne;
    std::set_symmetric_difference(keySets["ENGLISH.txt"].begin(), keySets["ENGLISH.txt"].end(),
                                  keySets["RUSSIAN.txt"].begin(), keySets["RUSSIAN.txt"].end(),
                                  std::inserter(onlyOne, onlyOne.end()));
    std::ostringstream list;
    for (const std::wstring& key : onlyOne)
        list << "\n  " << shown(key);
    EXPECT_TRUE(onlyOne.empty()) << "keys in only one of the files:" << list.str();
}

TEST(LanguageKeys, ShippedFilesAreWrittenFromTheirSources)
{
    fs::path root = repositoryRoot();
    const std::pair<const char*, const char*> pairs[] = {{"english.tsv", "ENGLISH.txt"},
                                                         {"russian.tsv", "RUSSIAN.txt"}};
    for (const auto& [source, target] : pairs) {
        Entries expected;
        std::istringstream in(readFile(root / "data" / "lang-src" / source));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] != '#') {
                ASSERT_GE(std::count(line.begin(), line.end(), '\t'), 2) << source << ": " << line;
                addEntry(expected, utf82unicode(line));
            }
        }
        EXPECT_EQ(entriesOf(root / "data" / "Doravine_LANG" / target), expected)
            << target << " is older than " << source << ": run scripts/make_lang.py";
    }
}
