// Language files and the lookup, on files written by the tests themselves.
#include "base/lang_file.h"
#include "base/language.h"
#include "platform/folders.h"
#include "platform/ierror.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// UTF-16 LE bytes of text, optionally after the mark FF FE.
std::string utf16(const std::wstring& text, bool mark = true)
{
    std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
    auto unit = [&bytes](unsigned value) {
        bytes.push_back(static_cast<char>(value & 0xFF));
        bytes.push_back(static_cast<char>(value >> 8));
    };
    for (wchar_t c : text) {
        auto code = static_cast<unsigned long>(c);
        if (code >= 0x10000) {
            code -= 0x10000;
            unit(0xD800 + static_cast<unsigned>(code >> 10));
            unit(0xDC00 + static_cast<unsigned>(code & 0x3FF));
        } else {
            unit(static_cast<unsigned>(code));
        }
    }
    return bytes;
}

class LangFolder : public CTempFolderTest {
  protected:
    std::wstring write(const std::string& name, const std::string& bytes) const
    {
        put(name, bytes);
        return path(name);
    }
};

} // namespace

TEST_F(LangFolder, OpenCloseAndMissingFiles)
{
    CLangFile file;
    EXPECT_FALSE(file.open(path("NONE.txt")));
    EXPECT_EQ(file.translate(L"Obroty"), L"");
    EXPECT_FALSE(file.open(path(""))) << "a folder is not a language file";
    for (const char* bytes : {"", "\xFF\xFE"}) {
        ASSERT_TRUE(file.open(write("EMPTY.txt", bytes)));
        EXPECT_EQ(file.entryCount(), 0u);
    }
    ASSERT_TRUE(file.open(write("ENGLISH.txt", utf16(L"Obroty\tx\tEngine speed\r\nStan\t\tState\r\n"))));
    EXPECT_EQ(file.translate(L"Obroty"), L"Engine speed");
    ASSERT_TRUE(file.open(write("OTHER.txt", utf16(L"Stan\t\tStatus\r\n"))));
    EXPECT_EQ(file.translate(L"Obroty"), L"") << "reopening replaces what was read before";
    EXPECT_EQ(file.translate(L"Stan"), L"Status");
    file.close();
    EXPECT_EQ(file.translate(L"Stan"), L"");
}

TEST(LangFile, LookupRules)
{
    const std::wstring longText(10000, L'x');
    const struct {
        std::wstring text;
        bool mark;
        std::wstring key, expected;
        const char* why;
    } cases[] = {
        {L"Mapa\tx\tMap\r\nObroty\tx\tEngine speed\r\n", true, L"Obroty", L"Engine speed", "third column"},
        {L"Stan\t\tState\r\n", true, L"Stan", L"State", "an empty note column is fine"},
        {L"Obroty\tx\tEngine speed\r\n", true, L"obroty", L"", "keys compare case-sensitively"},
        {L"Obroty\tx\tEngine speed\r\n", true, L"Obroty ", L"", "no trimming"},
        {L"Obroty\tx\tEngine speed\r\n", true, L"x", L"", "the note column is never a key"},
        {L"Obroty\tEngine speed\r\nObroty\tnote\tRevolutions\r\nObroty\tnote\tLater\r\n", true, L"Obroty",
         L"Revolutions", "lines with one tab are skipped and the first complete line wins"},
        {L"Pusty\tnote\t\r\nPusty\tnote\tNot reached\r\n", true, L"Pusty", L"",
         "an empty translation ends the search"},
        {L"Taby\tnote\tone\ttwo\r\n", true, L"Taby", L"one\ttwo", "the translation runs to the line end"},
        {L"no tab at all\r\n", true, L"no tab at all", L"", "no tab"},
        {L"Wiersz 1\\nWiersz 2\tn\tLine 1\\nLine 2\r\n", true, L"Wiersz 1\nWiersz 2", L"Line 1\nLine 2",
         "escaped LF"},
        {L"Wiersz 1\\nWiersz 2\tn\tLine 1\r\n", true, L"Wiersz 1\\nWiersz 2", L"",
         "the program's key holds a real LF"},
        {L"A\\tB\\rC\tn\tx\\ty\\rz\r\n", true, L"A\tB\rC", L"x\ty\rz", "escaped TAB and CR"},
        {L"Map\\RPM\tn\tMAP\\RPM\r\n", true, L"Map\\RPM", L"MAP\\RPM", "other backslashes stay"},
        {L"Koniec\\\tn\tEnd\\\r\n", true, L"Koniec\\", L"End\\", "a backslash at the end stays"},
        {L"Obroty\tx\tEngine speed\r\nStan\tx\tState", true, L"Stan", L"State",
         "no CR LF after the last line"},
        {L"Obroty\tx\tEngine speed\nStan\tx\tState\n", true, L"Obroty", L"Engine speed", "a bare LF breaks"},
        {L"Obroty\tx\tEngine speed\r\n", false, L"Obroty", L"Engine speed",
         "no character lost without a mark"},
        {L"\xFEFFObroty\tx\tEngine speed\r\n", true, L"\xFEFFObroty", L"Engine speed",
         "only one mark is skipped"},
        {L"Obroty \U0001F697\tx\tОбороты \U0001F697\r\n", true, L"Obroty \U0001F697", L"Обороты \U0001F697",
         "beyond the basic plane"},
        {L"Żółć\tx\tЖёлчь\r\n", true, L"Żółć", L"Жёлчь", "non-Latin"},
        // The buffer holds the first 2047 characters of a line; what follows is read as more lines.
        {L"Dlugi\tn\t" + longText + L"\r\n", true, L"Dlugi", std::wstring(2047 - 8, L'x'), "long line"},
        {L"Dlugi\tn\t" + longText + L"\r\nPo\tn\tAfter\r\n", true, L"Po", L"After",
         "the rest of a long line does not swallow the next"},
        {longText + L"\tn\tLongKey\r\n", true, longText, L"", "a key longer than the buffer cannot match"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CLangFile file;
        const std::string bytes = utf16(c.text, c.mark);
        file.load(bytes);
        EXPECT_EQ(file.translate(c.key), c.expected);
        EXPECT_EQ(file.translate(c.key), langfile::scan(bytes, c.key)) << "the table answers as a scan";
    }
    EXPECT_EQ(langfile::unescape(L"\\\\n"), L"\\\n");
}

TEST(LangFile, LinesAndOddBytes)
{
    using Lines = std::vector<std::wstring>;
    EXPECT_EQ(langfile::readLines(utf16(L"ab")), Lines{L"ab"});
    EXPECT_EQ(langfile::readLines(utf16(L"ab\r\n\r\nc\r\n")), (Lines{L"ab", L"", L"c"}));
    EXPECT_EQ(langfile::readLines(utf16(L"x\ry\r\n")), Lines{L"x\ry"});
    Lines lines = langfile::readLines(utf16(std::wstring(4094, L'y') + L"\r\n"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 2047u);
    EXPECT_EQ(lines[1].size(), 2047u);
    EXPECT_EQ(lines[2], L"") << "the line break ends up alone and is dropped";

    CLangFile file;
    file.load(utf16(L"Obroty\tx\tEngine speed\r\nStan\tx\tState\r\n") + "\x41");
    EXPECT_EQ(file.translate(L"Stan"), L"State") << "an odd last byte is ignored";
    EXPECT_EQ(file.entryCount(), 2u);
    file.load(std::string("\xFF", 1));
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(file.entryCount(), 0u);

    const std::string bytes =
        utf16(L"a\tb\r\na\t1\t2\r\na\t3\t4\r\nb\\n\tx\t\\t\r\n\t\tempty key\r\n\t\r\nc\tx\tlast");
    file.load(bytes);
    for (const wchar_t* key : {L"a", L"b", L"b\n", L"", L"c", L"d", L"1"})
        EXPECT_EQ(file.translate(key), langfile::scan(bytes, key)) << unicode2utf8(key);
    EXPECT_EQ(file.translate(L""), L"empty key");
}

// The lookup with the process-wide table. Every test restores the language it found.
class TranslateText : public LangFolder {
  protected:
    void TearDown() override
    {
        setCurrentLanguage(m_saved);
        openLanguageFiles();
        LangFolder::TearDown();
    }
    void writeFiles(const std::wstring& english, const std::wstring& russian)
    {
        if (!english.empty())
            write("ENGLISH.txt", utf16(english));
        if (!russian.empty())
            write("RUSSIAN.txt", utf16(russian));
        openLanguageFiles(path(""));
    }

    int m_saved = currentLanguage();
};

TEST_F(TranslateText, PolishShowsTheKeyOthersFallBackToEnglishThenToTheKey)
{
    writeFiles(L"Obroty\tx\tEngine speed\r\nMapa\tx\tMap\r\nPusty\tx\tEmpty\r\n",
               L"Obroty\tx\tОбороты\r\nMapa\tx\tКарта\r\nPusty\tx\t\r\nTylko\tx\tТолько\r\n");
    setCurrentLanguage(kLanguagePolish);
    EXPECT_EQ(translateText(L"Obroty"), L"Obroty");
    EXPECT_EQ(translateText(L""), L"");
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Mapa"), L"Карта");
    EXPECT_EQ(translateText(L"Pusty"), L"Empty") << "an empty translation counts as missing";
    EXPECT_EQ(translateText(L"Nigdzie"), L"Nigdzie");
    setCurrentLanguage(kLanguageEnglish);
    EXPECT_EQ(translateText(L"Tylko"), L"Tylko") << "English never falls back to Russian";

    fs::remove(m_folder / "ENGLISH.txt");
    openLanguageFiles(path(""));
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Mapa"), L"Карта");
    EXPECT_EQ(translateText(L"Nigdzie"), L"Nigdzie") << "no English file: the key";
}

TEST_F(TranslateText, IndicesWithoutFilesUseEnglish)
{
    writeFiles(L"Obroty\tx\tEngine speed\r\n", L"");
    for (int index : {5, 6, 10, 19, 25, -1}) {
        setCurrentLanguage(index);
        EXPECT_EQ(translateText(L"Obroty"), L"Engine speed") << "index " << index;
    }
    write("THAI.txt", utf16(L"Obroty\tx\tรอบเครื่องยนต์\r\n"));
    openLanguageFiles(path(""));
    setCurrentLanguage(5);
    EXPECT_EQ(translateText(L"Obroty"), L"รอบเครื่องยนต์");
}

TEST_F(TranslateText, SwitchRunsTheDecoderBeforeTheWindowsOnlyOnAChangeAndSkipsRemovedHooks)
{
    setCurrentLanguage(kLanguagePolish);
    std::vector<std::string> calls;
    std::optional<CLanguageChangeHook> later;
    CLanguageChangeHook window([&] {
        calls.push_back("window " + std::to_string(currentLanguage()));
        later.reset(); // a window destroyed by an earlier hook must not be called
    });
    CLanguageChangeHook decoder([&] { calls.push_back("decoder " + std::to_string(currentLanguage())); },
                                LanguageHookStage::ErrorDecoder);
    CLanguageChangeHook second([&] { calls.push_back("second window"); });
    later.emplace([&] { calls.push_back("destroyed"); });
    {
        CLanguageChangeHook scoped([&] { calls.push_back("scoped"); });
    }
    EXPECT_FALSE(switchLanguage(kLanguagePolish)) << "choosing the current language does nothing";
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(switchLanguage(kLanguageRussian));
    EXPECT_EQ(calls, (std::vector<std::string>{"decoder 2", "window 2", "second window"}));
    EXPECT_EQ(currentLanguage(), kLanguageRussian);

    calls.clear();
    EXPECT_FALSE(switchLanguage(kLanguageSlots));
    EXPECT_FALSE(switchLanguage(-1));
    EXPECT_EQ(currentLanguage(), kLanguageRussian);
    EXPECT_TRUE(calls.empty());

    unsigned id = addLanguageChangeHook([&] { calls.push_back("added"); });
    EXPECT_TRUE(switchLanguage(kLanguagePolish));
    EXPECT_EQ(calls.back(), "added");
    removeLanguageChangeHook(id);
    calls.clear();
    EXPECT_TRUE(switchLanguage(kLanguageEnglish));
    EXPECT_EQ(calls, (std::vector<std::string>{"decoder 1", "window 1", "second window"}));
}

TEST(ShippedFiles, LoadFromTheDataFolder)
{
    ASSERT_NE(std::getenv("DORAVINE_DATA"), nullptr) << "the test run sets DORAVINE_DATA";
    std::wstring folder = languageFolder();
    EXPECT_EQ(folder.substr(folder.size() - 14), std::wstring(L"Doravine_LANG") + kPathSeparator);
    int saved = currentLanguage();
    openLanguageFiles();
    setCurrentLanguage(kLanguageEnglish);
    EXPECT_EQ(translateText(L"Obroty"), L"Engine speed");
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Obroty"), L"Обороты");
    setCurrentLanguage(saved);
}

TEST(TranslateThreads, LookupsWhileFilesAreReopenedAndTheLanguageSwitches)
{
    // Worker threads translate their messages while the window switches the language.
    int saved = currentLanguage();
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            while (!stop) {
                std::wstring text = translateText(L"Obroty");
                if (text != L"Obroty" && text != L"Engine speed" && text != L"Обороты")
                    ++wrong;
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        switchLanguage(round % 3);
        if (round % 20 == 0)
            openLanguageFiles();
    }
    stop = true;
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong, 0);
    setCurrentLanguage(saved);
}
