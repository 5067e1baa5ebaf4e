// The program's folders on POSIX, with HOME and the XDG variables pointed at a temporary folder,
// and the start-up language from the locale variables.
#include "base/language.h"
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

    CSavedEnvironment m_saved{{"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "TMPDIR"}};
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
