// The program's folders on POSIX, with HOME and the XDG variables pointed at a temporary folder,
// and the start-up language from the locale variables.
#include "base/language.h"
#include "platform/data_report.h"
#include "platform/folders.h"
#include "platform/ierror.h"
#include "support/portable.h"
#include "support/saved_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using testsupport::setEnvironment;
using testsupport::unsetEnvironment;

namespace {

std::string narrow(const std::wstring& path)
{
    return unicode2utf8(path);
}

class Folders : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_root = testsupport::makeTempFolder("doravine-folders-");
        fs::create_directories(m_root / "home" / ".config");
        setEnvironment("HOME", (m_root / "home").string());
        setEnvironment("TMPDIR", m_root.string());
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::string root() const { return m_root.string(); }
    void userDirs(const fs::path& file, const std::string& documents) const
    {
        std::ofstream(file) << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n"
                            << "XDG_DOCUMENTS_DIR=\"" << documents << "\"\n";
    }

    CSavedEnvironment m_saved{{"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "TMPDIR", "DORAVINE_DATA"}};
    fs::path m_root;
};

} // namespace

TEST_F(Folders, DocumentsFolderFromTheEnvironmentAndTheUserDirsFile)
{
    setEnvironment("XDG_DOCUMENTS_DIR", (root() + "/Dokumenty//"));
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/Dokumenty/");
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/Dokumenty/Doravine/Map data/");
    EXPECT_TRUE(fs::is_directory(root() + "/Dokumenty/Doravine/Map data"));
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/Dokumenty/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/Dokumenty/Doravine/Diag"));
    unsetEnvironment("XDG_DOCUMENTS_DIR");

    userDirs(m_root / "home" / ".config" / "user-dirs.dirs", "$HOME/Dokumenty");
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Dokumenty/") << "the default file under HOME";

    fs::create_directories(m_root / "config");
    setEnvironment("XDG_CONFIG_HOME", (m_root / "config").string());
    const fs::path file = m_root / "config" / "user-dirs.dirs";
    userDirs(file, "$HOME/Dokumenty ze spacją");
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/home/Dokumenty ze spacją/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/home/Dokumenty ze spacją/Doravine/Diag"));
    userDirs(file, root() + "/abs");
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/abs/");
    setEnvironment("XDG_DOCUMENTS_DIR", (root() + "/env"));
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/env/") << "the environment wins over the file";
    unsetEnvironment("XDG_DOCUMENTS_DIR");
    userDirs(file, "Documents");
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Documents/") << "a relative path is not allowed";
}

TEST_F(Folders, HomeDocumentsIsCreatedOnEveryCallAndFailureIsLeftToTheCaller)
{
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Documents/");
    EXPECT_FALSE(fs::exists(root() + "/home/Documents")) << "asking for the folder creates nothing";
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/home/Documents/Doravine/Map data/");
    EXPECT_TRUE(fs::is_directory(root() + "/home/Documents/Doravine/Map data"));

    std::string diag = narrow(getDiagFolder());
    fs::remove_all(root() + "/home/Documents/Doravine");
    EXPECT_EQ(narrow(getDiagFolder()), diag);
    EXPECT_TRUE(fs::is_directory(diag));

    // A file where the folder should be: the path comes back anyway, and writing there fails.
    fs::remove_all(root() + "/home/Documents/Doravine");
    std::ofstream(root() + "/home/Documents/Doravine") << "in the way";
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/home/Documents/Doravine/Map data/");
    EXPECT_FALSE(std::ofstream(root() + "/home/Documents/Doravine/Map data/default.settings").is_open());
}

TEST_F(Folders, FallbackWithoutAnyDocumentsFolder)
{
    unsetEnvironment("HOME");
    EXPECT_EQ(getDocumentsFolder(), L"");
    EXPECT_EQ(narrow(getFallbackFolder()), root() + "/Doravine/");
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/Doravine/Diag"));
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/Doravine/Map data/");
}

TEST_F(Folders, ProgramFolders)
{
    std::string exe = narrow(getExeFolder());
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(exe.back(), '/');
    fs::path self = fs::path(exe) / testsupport::programPath().filename();
    EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe")) << self;

    std::string program = narrow(getProgramFolder());
    EXPECT_EQ(program, exe + "Program/");
    EXPECT_TRUE(fs::is_directory(program));
    EXPECT_EQ(program.find("//"), std::string::npos);
}

// The start-up language from LC_ALL, LC_MESSAGES and LANG, which are restored afterwards.
TEST(StartupLanguage, PolishOnlyForAPolishUserLanguage)
{
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    CSavedEnvironment saved({"LC_ALL", "LC_MESSAGES", "LANG"});
    const struct {
        const char *all, *messages, *lang;
        int expected;
        const char* why;
    } cases[] = {
        {nullptr, nullptr, nullptr, kLanguageEnglish, "nothing set"},
        {nullptr, nullptr, "pl_PL.UTF-8", kLanguagePolish, "Polish"},
        {nullptr, nullptr, "pl", kLanguagePolish, "bare pl"},
        {nullptr, nullptr, "C", kLanguageEnglish, "C"},
        {nullptr, nullptr, "plt_XX", kLanguageEnglish, "only the language part counts"},
        {nullptr, nullptr, "ru_RU.UTF-8", kLanguageEnglish, "Russian users start in English too"},
        {nullptr, "en_GB.UTF-8", "pl_PL.UTF-8", kLanguageEnglish, "LC_MESSAGES overrides LANG"},
        {"pl_PL@euro", "en_GB.UTF-8", "pl_PL.UTF-8", kLanguagePolish, "LC_ALL overrides both"},
        {"", "en_GB.UTF-8", "pl_PL.UTF-8", kLanguageEnglish, "an empty LC_ALL is not set"},
    };
    for (const auto& c : cases) {
        const char* values[] = {c.all, c.messages, c.lang};
        for (std::size_t i = 0; i < 3; ++i)
            values[i] ? setEnvironment(names[i], values[i]) : unsetEnvironment(names[i]);
        EXPECT_EQ(startupLanguageIndex(), c.expected) << c.why;
    }
}

// The data search: the build tree and a one-folder program have the data beside the program; an
// installed (or unpacked) tree has it in share/doravine/ beside bin/.
TEST_F(Folders, DataBesideTheProgramFirstThenInTheInstalledShareFolder)
{
    struct Case {
        bool beside;
        bool installed;
        const char* expected; // relative to the root
        const char* why;
    };
    const Case cases[] = {
        {true, false, "/usr/bin/wykresy/", "a build tree"},
        {false, true, "/usr/share/doravine/wykresy/", "an installed tree"},
        {true, true, "/usr/bin/wykresy/", "beside the program wins"},
        {false, false, "/usr/bin/wykresy/", "nowhere: the first place, for the caller's message"},
    };
    for (const Case& c : cases) {
        fs::remove_all(m_root / "usr");
        fs::create_directories(m_root / "usr" / "bin");
        if (c.beside)
            fs::create_directories(m_root / "usr" / "bin" / "wykresy");
        if (c.installed)
            fs::create_directories(m_root / "usr" / "share" / "doravine" / "wykresy");
        EXPECT_EQ(narrow(findDataFolder(utf82unicode(root() + "/usr/bin/"), L"wykresy")), root() + c.expected)
            << c.why;
    }
    // A file of that name is not a data folder.
    fs::remove_all(m_root / "usr" / "share" / "doravine" / "wykresy");
    std::ofstream(m_root / "usr" / "share" / "doravine" / "wykresy") << "not a folder";
    EXPECT_EQ(narrow(findDataFolder(utf82unicode(root() + "/usr/bin/"), L"wykresy")), root() + "/usr/bin/wykresy/");
    EXPECT_EQ(findDataFolder(L"", L"Doravine_LANG"), L"Doravine_LANG/") << "no program folder: a relative path";
}

TEST_F(Folders, DataFolderNamedByTheEnvironmentElseFoundFromTheProgram)
{
    setEnvironment("DORAVINE_DATA", root() + "/data//");
    EXPECT_EQ(narrow(getDataFolder(L"Doravine_LANG")), root() + "/data/Doravine_LANG/");
    unsetEnvironment("DORAVINE_DATA");
    EXPECT_EQ(getDataFolder(L"samples"), findDataFolder(getExeFolder(), L"samples"));
    // The tests run from the build tree, where the language files are copied beside the programs.
    EXPECT_EQ(narrow(getDataFolder(L"Doravine_LANG")), narrow(getExeFolder()) + "Doravine_LANG/");
    EXPECT_TRUE(fs::is_regular_file(narrow(getDataFolder(L"Doravine_LANG")) + "ENGLISH.txt"));
}

TEST_F(Folders, DataReportNamesEachFolderAndItsFilesInOrder)
{
    // A user's folder with Polish letters, whatever the process locale.
    const std::string data = root() + "/dane żółć";
    setEnvironment("DORAVINE_DATA", data);
    fs::create_directories(fs::path(data) / "Doravine_LANG" / "old");
    std::ofstream(fs::path(data) / "Doravine_LANG" / "RUSSIAN.txt") << "x";
    std::ofstream(fs::path(data) / "Doravine_LANG" / "ENGLISH.txt") << "x";
    std::ofstream(fs::path(data) / "Doravine_LANG" / "ŁACINA.txt") << "x";
    fs::create_directories(fs::path(data) / "samples");
    EXPECT_EQ(dataFoldersReport(), "language files: " + data + "/Doravine_LANG/ (ENGLISH.txt, RUSSIAN.txt, ŁACINA.txt)\n" +
                                       "reference charts: " + data + "/wykresy/ (missing)\n" +
                                       "samples: " + data + "/samples/ (empty)\n");
}
