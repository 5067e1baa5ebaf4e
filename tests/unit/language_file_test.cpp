// Language files and the lookup, on files written by the tests themselves.
#include "app/lang_file.h"
#include "app/language.h"
#include "platform/ierror.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
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

class TempFolder {
  public:
    TempFolder()
    {
        static std::atomic<int> counter{0};
        m_path = fs::temp_directory_path() /
                 ("doravine-lang-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }
    std::wstring wide() const { return utf82unicode(m_path.string() + "/"); }
    std::wstring write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(m_path / name, std::ios::binary) << bytes;
        return utf82unicode((m_path / name).string());
    }

  private:
    fs::path m_path;
};

CLangFile& loaded(CLangFile& file, const std::wstring& text, bool mark = true)
{
    file.load(utf16(text, mark));
    return file;
}

} // namespace

TEST(LangFile, MissingUnreadableAndEmptyFiles)
{
    TempFolder folder;
    CLangFile file;
    EXPECT_FALSE(file.open(folder.wide() + L"NONE.txt"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.path().empty());
    EXPECT_EQ(file.translate(L"Obroty"), L"");

    EXPECT_FALSE(file.open(folder.wide())) << "a folder is not a language file";

    std::wstring empty = folder.write("EMPTY.txt", "");
    ASSERT_TRUE(file.open(empty));
    EXPECT_EQ(file.path(), empty);
    EXPECT_EQ(file.entryCount(), 0u);
    EXPECT_EQ(file.translate(L""), L"");

    ASSERT_TRUE(file.open(folder.write("MARK.txt", "\xFF\xFE")));
    EXPECT_EQ(file.entryCount(), 0u);

    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.path().empty());
}

TEST(LangFile, ReadsTheThirdColumnOfTheMatchingLine)
{
    TempFolder folder;
    CLangFile file;
    ASSERT_TRUE(file.open(folder.write("ENGLISH.txt", utf16(L"Mapa\tx\tMap\r\n"
                                                            L"Obroty\tx\tEngine speed\r\n"
                                                            L"Stan\t\tState\r\n"))));
    EXPECT_EQ(file.translate(L"Obroty"), L"Engine speed");
    EXPECT_EQ(file.translate(L"Mapa"), L"Map");
    EXPECT_EQ(file.translate(L"Stan"), L"State") << "an empty note column is fine";
    EXPECT_EQ(file.translate(L"obroty"), L"") << "keys compare case-sensitively";
    EXPECT_EQ(file.translate(L"Obroty "), L"");
    EXPECT_EQ(file.translate(L"x"), L"") << "the note column is never a key";

    // Reopening replaces what was read before.
    ASSERT_TRUE(file.open(folder.write("OTHER.txt", utf16(L"Stan\t\tStatus\r\n"))));
    EXPECT_EQ(file.translate(L"Obroty"), L"");
    EXPECT_EQ(file.translate(L"Stan"), L"Status");
}

TEST(LangFile, LinesWithOneTabAreSkippedAndTheFirstCompleteLineWins)
{
    CLangFile file;
    loaded(file, L"Obroty\tEngine speed\r\n"
                 L"Obroty\tnote\tRevolutions\r\n"
                 L"Obroty\tnote\tLater duplicate\r\n"
                 L"Pusty\tnote\t\r\n"
                 L"Pusty\tnote\tNot reached\r\n"
                 L"no tab at all\r\n"
                 L"Taby\tnote\tone\ttwo\r\n");
    EXPECT_EQ(file.translate(L"Obroty"), L"Revolutions");
    EXPECT_EQ(file.translate(L"Pusty"), L"") << "an empty translation ends the search";
    EXPECT_EQ(file.translate(L"Taby"), L"one\ttwo") << "the translation runs to the line end";
    EXPECT_EQ(file.translate(L"no tab at all"), L"");
}

TEST(LangFile, EscapesInKeyAndTranslation)
{
    CLangFile file;
    loaded(file, L"Wiersz 1\\nWiersz 2\tn\tLine 1\\nLine 2\r\n"
                 L"A\\tB\\rC\tn\tx\\ty\\rz\r\n"
                 L"Map\\RPM\tn\tMAP\\RPM\r\n"
                 L"Koniec\\\tn\tEnd\\\r\n");
    EXPECT_EQ(file.translate(L"Wiersz 1\nWiersz 2"), L"Line 1\nLine 2");
    EXPECT_EQ(file.translate(L"Wiersz 1\\nWiersz 2"), L"") << "the program's key holds a real LF";
    EXPECT_EQ(file.translate(L"A\tB\rC"), L"x\ty\rz");
    EXPECT_EQ(file.translate(L"Map\\RPM"), L"MAP\\RPM") << "other backslashes stay";
    EXPECT_EQ(file.translate(L"Koniec\\"), L"End\\");
    EXPECT_EQ(langfile::unescape(L"\\\\n"), L"\\\n");
}

TEST(LangFile, LineBreaksAndTheLastLine)
{
    // The last line keeps its last characters when no CR LF follows it.
    CLangFile file;
    loaded(file, L"Obroty\tx\tEngine speed\r\nStan\tx\tState");
    EXPECT_EQ(file.translate(L"Stan"), L"State");

    loaded(file, L"Obroty\tx\tEngine speed\nStan\tx\tState\n");
    EXPECT_EQ(file.translate(L"Obroty"), L"Engine speed") << "a bare LF is a line break too";
    EXPECT_EQ(file.translate(L"Stan"), L"State");

    EXPECT_EQ(langfile::readLines(utf16(L"ab")), std::vector<std::wstring>{L"ab"});
    EXPECT_EQ(langfile::readLines(utf16(L"ab\r\n\r\nc\r\n")), (std::vector<std::wstring>{L"ab", L"", L"c"}));
    EXPECT_EQ(langfile::readLines(utf16(L"x\ry\r\n")), std::vector<std::wstring>{L"x\ry"});
}

TEST(LangFile, MarkIsSkippedOnlyWhenPresentAndAnOddByteIsIgnored)
{
    CLangFile file;
    loaded(file, L"Obroty\tx\tEngine speed\r\n", false);
    EXPECT_EQ(file.translate(L"Obroty"), L"Engine speed") << "no character is lost without a mark";

    loaded(file, L"\xFEFFObroty\tx\tEngine speed\r\n", true);
    EXPECT_EQ(file.translate(L"\xFEFFObroty"), L"Engine speed") << "only one mark is skipped";

    std::string odd = utf16(L"Obroty\tx\tEngine speed\r\nStan\tx\tState\r\n") + "\x41";
    file.load(odd);
    EXPECT_EQ(file.translate(L"Stan"), L"State");
    EXPECT_EQ(file.entryCount(), 2u);

    file.load(std::string("\xFF", 1));
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(file.entryCount(), 0u);
}

TEST(LangFile, CharactersBeyondTheBasicPlaneAndNonLatinText)
{
    CLangFile file;
    loaded(file, L"Obroty \U0001F697\tx\tОбороты \U0001F697\r\nŻółć\tx\tЖёлчь\r\n");
    EXPECT_EQ(file.translate(L"Obroty \U0001F697"), L"Обороты \U0001F697");
    EXPECT_EQ(file.translate(L"Żółć"), L"Жёлчь");
}

TEST(LangFile, LongLinesAreReadInPiecesOf2047Characters)
{
    std::wstring longText(10000, L'x');
    CLangFile file;
    loaded(file, L"Dlugi\tn\t" + longText + L"\r\nPo\tn\tAfter\r\n" + longText + L"\tn\tLongKey\r\n");
    // The buffer holds the first 2047 characters of the line; what follows is read as more lines.
    EXPECT_EQ(file.translate(L"Dlugi"), std::wstring(2047 - 8, L'x'));
    EXPECT_EQ(file.translate(L"Po"), L"After") << "the rest of a long line does not swallow the next";
    EXPECT_EQ(file.translate(longText), L"") << "a key longer than the buffer cannot match";

    std::vector<std::wstring> lines = langfile::readLines(utf16(std::wstring(4094, L'y') + L"\r\n"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 2047u);
    EXPECT_EQ(lines[1].size(), 2047u);
    EXPECT_EQ(lines[2], L"") << "the line break ends up alone and is dropped";
}

TEST(LangFile, AnswersTheSameAsAScanFromTheStart)
{
    std::string bytes =
        utf16(L"a\tb\r\na\t1\t2\r\na\t3\t4\r\nb\\n\tx\t\\t\r\n\t\tempty key\r\n\t\r\nc\tx\tlast");
    CLangFile file;
    file.load(bytes);
    for (const wchar_t* key : {L"a", L"b", L"b\n", L"", L"c", L"d", L"1"})
        EXPECT_EQ(file.translate(key), langfile::scan(bytes, key)) << unicode2utf8(key);
    EXPECT_EQ(file.translate(L""), L"empty key");
}

// The lookup with the process-wide table. Every test restores the language it found.
class TranslateText : public ::testing::Test {
  protected:
    void SetUp() override { m_saved = currentLanguage(); }
    void TearDown() override
    {
        setCurrentLanguage(m_saved);
        openLanguageFiles();
    }
    void writeFiles(const std::wstring& english, const std::wstring& russian)
    {
        if (!english.empty())
            m_folder.write("ENGLISH.txt", utf16(english));
        if (!russian.empty())
            m_folder.write("RUSSIAN.txt", utf16(russian));
        openLanguageFiles(m_folder.wide());
    }

    TempFolder m_folder;
    int m_saved = 0;
};

TEST_F(TranslateText, PolishShowsEveryKeyUnchanged)
{
    writeFiles(L"Obroty\tx\tEngine speed\r\n", L"Obroty\tx\tОбороты\r\n");
    setCurrentLanguage(kLanguagePolish);
    EXPECT_EQ(translateText(L"Obroty"), L"Obroty");
    EXPECT_EQ(translateText(L""), L"");
}

TEST_F(TranslateText, FallsBackToEnglishThenToTheKey)
{
    writeFiles(L"Obroty\tx\tEngine speed\r\nMapa\tx\tMap\r\nPusty\tx\tEmpty\r\n",
               L"Mapa\tx\tКарта\r\nPusty\tx\t\r\nTylko\tx\tТолько\r\n");
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Mapa"), L"Карта");
    EXPECT_EQ(translateText(L"Obroty"), L"Engine speed");
    EXPECT_EQ(translateText(L"Pusty"), L"Empty") << "an empty translation counts as missing";
    EXPECT_EQ(translateText(L"Tylko"), L"Только");
    EXPECT_EQ(translateText(L"Nigdzie"), L"Nigdzie");

    setCurrentLanguage(kLanguageEnglish);
    EXPECT_EQ(translateText(L"Tylko"), L"Tylko") << "English never falls back to Russian";
}

TEST_F(TranslateText, MissingFilesAndIndicesWithoutFiles)
{
    writeFiles(L"", L"Mapa\tx\tКарта\r\n");
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Mapa"), L"Карта");
    EXPECT_EQ(translateText(L"Obroty"), L"Obroty") << "no English file: the key";

    writeFiles(L"Obroty\tx\tEngine speed\r\n", L"");
    for (int index : {5, 6, 10, 19, 25, -1}) {
        setCurrentLanguage(index);
        EXPECT_EQ(translateText(L"Obroty"), L"Engine speed") << "index " << index;
    }
    m_folder.write("THAI.txt", utf16(L"Obroty\tx\tรอบเครื่องยนต์\r\n"));
    openLanguageFiles(m_folder.wide());
    setCurrentLanguage(5);
    EXPECT_EQ(translateText(L"Obroty"), L"รอบเครื่องยนต์");
}

TEST(LanguageTable, FileNamesByIndex)
{
    EXPECT_STREQ(languageFileName(1), L"ENGLISH.txt");
    EXPECT_STREQ(languageFileName(2), L"RUSSIAN.txt");
    EXPECT_STREQ(languageFileName(7), L"SPAIN.txt");
    EXPECT_STREQ(languageFileName(19), L"SLOVENIAN.txt");
    for (int index : {0, 6, 9, 10, 12, 16, 17, 20})
        EXPECT_EQ(languageFileName(index), nullptr) << index;
}

class LanguageSwitch : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_saved = currentLanguage();
        setCurrentLanguage(kLanguagePolish);
    }
    void TearDown() override { setCurrentLanguage(m_saved); }
    int m_saved = 0;
};

TEST_F(LanguageSwitch, RunsTheDecoderBeforeTheWindowAndOnlyOnAChange)
{
    std::vector<std::string> calls;
    CLanguageChangeHook window([&] { calls.push_back("window " + std::to_string(currentLanguage())); });
    CLanguageChangeHook decoder([&] { calls.push_back("decoder " + std::to_string(currentLanguage())); },
                                LanguageHookStage::ErrorDecoder);
    CLanguageChangeHook second([&] { calls.push_back("second window"); });

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
}

TEST_F(LanguageSwitch, RemovedHooksAreNotRun)
{
    int runs = 0;
    std::optional<CLanguageChangeHook> later;
    CLanguageChangeHook first([&] {
        ++runs;
        later.reset(); // a window destroyed by an earlier hook must not be called
    });
    later.emplace([&] { runs += 100; });
    {
        CLanguageChangeHook scoped([&] { runs += 1000; });
    }
    EXPECT_TRUE(switchLanguage(kLanguageEnglish));
    EXPECT_EQ(runs, 1);

    unsigned id = addLanguageChangeHook([&] { runs += 10; });
    EXPECT_TRUE(switchLanguage(kLanguagePolish));
    EXPECT_EQ(runs, 12);
    removeLanguageChangeHook(id);
    EXPECT_TRUE(switchLanguage(kLanguageEnglish));
    EXPECT_EQ(runs, 13);
}

// The environment variables of the start-up rule, restored afterwards.
class StartupLanguage : public ::testing::Test {
  protected:
    void SetUp() override
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (m_saved[i])
                ::setenv(kNames[i], m_saved[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
    }
    static constexpr std::array<const char*, 3> kNames{"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<std::string>> m_saved;
};

TEST_F(StartupLanguage, PolishOnlyForAPolishUserLanguage)
{
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish) << "nothing set";
    ::setenv("LANG", "pl_PL.UTF-8", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguagePolish);
    ::setenv("LANG", "pl", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguagePolish);
    ::setenv("LANG", "C", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish);
    ::setenv("LANG", "plt_XX", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish);
    ::setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish) << "Russian users start in English too";

    ::setenv("LANG", "pl_PL.UTF-8", 1);
    ::setenv("LC_MESSAGES", "en_GB.UTF-8", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish) << "LC_MESSAGES overrides LANG";
    ::setenv("LC_ALL", "pl_PL@euro", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguagePolish) << "LC_ALL overrides both";
    ::setenv("LC_ALL", "", 1);
    EXPECT_EQ(startupLanguageIndex(), kLanguageEnglish) << "an empty LC_ALL is not set";
}

TEST(ShippedFiles, LoadFromTheDataFolder)
{
    ASSERT_NE(std::getenv("DORAVINE_DATA"), nullptr) << "the test run sets DORAVINE_DATA";
    std::wstring folder = languageFolder();
    EXPECT_EQ(folder.substr(folder.size() - 14), L"Doravine_LANG/");
    int saved = currentLanguage();
    openLanguageFiles();
    setCurrentLanguage(kLanguageEnglish);
    EXPECT_EQ(translateText(L"Obroty"), L"Engine speed");
    EXPECT_EQ(translateText(L"Map\\RPM"), L"MAP\\RPM");
    EXPECT_NE(
        translateText(L"Wersja sterownika jest nowsza niż wersja pliku firmware.\nCzy chcesz zaprogramować "
                      L"sterownik starszą wersją?")
            .find(L".\nDo you"),
        std::wstring::npos);
    setCurrentLanguage(kLanguageRussian);
    EXPECT_EQ(translateText(L"Obroty"), L"Обороты");
    EXPECT_EQ(translateText(L"Sterownik nie jest ustawiony w tryb do odczytu! ").back(), L' ')
        << "a trailing blank survives: the next text is joined to it";
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
