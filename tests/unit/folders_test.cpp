// The program's folders on POSIX, with HOME and the XDG variables pointed at a temporary folder.
#include "platform/folders.h"
#include "platform/ierror.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string narrow(const std::wstring& path)
{
    return unicode2utf8(path);
}

class Folders : public ::testing::Test {
  protected:
    void SetUp() override
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        m_root = fs::temp_directory_path() / ("doravine-folders-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "home");
        ::setenv("HOME", (m_root / "home").c_str(), 1);
        ::setenv("TMPDIR", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (m_saved[i])
                ::setenv(kNames[i], m_saved[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
        fs::remove_all(m_root);
    }
    std::string root() const { return m_root.string(); }

    static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "TMPDIR"};
    std::vector<std::optional<std::string>> m_saved;
    fs::path m_root;
};

} // namespace

TEST_F(Folders, DocumentsFolderFromTheEnvironment)
{
    ::setenv("XDG_DOCUMENTS_DIR", (root() + "/Dokumenty//").c_str(), 1);
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/Dokumenty/");
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/Dokumenty/Doravine/Map data/");
    EXPECT_TRUE(fs::is_directory(root() + "/Dokumenty/Doravine/Map data"));
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/Dokumenty/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/Dokumenty/Doravine/Diag"));
}

TEST_F(Folders, DocumentsFolderFromUserDirsFile)
{
    fs::create_directories(m_root / "config");
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    std::ofstream(m_root / "config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\n"
           "XDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty ze spacją\"\n";
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/home/Dokumenty ze spacją/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/home/Dokumenty ze spacją/Doravine/Diag"));

    std::ofstream(m_root / "config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << root() << "/abs\"\n";
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/abs/");

    // The environment wins over the file.
    ::setenv("XDG_DOCUMENTS_DIR", (root() + "/env").c_str(), 1);
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/env/");
    ::unsetenv("XDG_DOCUMENTS_DIR");

    // A relative path is not allowed in the file: the default applies.
    std::ofstream(m_root / "config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"Documents\"\n";
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Documents/");
}

TEST_F(Folders, DefaultUserDirsFileUnderHome)
{
    fs::create_directories(m_root / "home" / ".config");
    std::ofstream(m_root / "home" / ".config" / "user-dirs.dirs")
        << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n";
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Dokumenty/");
}

TEST_F(Folders, HomeDocumentsIsCreatedWhenMissing)
{
    EXPECT_EQ(narrow(getDocumentsFolder()), root() + "/home/Documents/");
    EXPECT_FALSE(fs::exists(root() + "/home/Documents")) << "asking for the folder creates nothing";
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/home/Documents/Doravine/Map data/");
    EXPECT_TRUE(fs::is_directory(root() + "/home/Documents/Doravine/Map data"));
}

TEST_F(Folders, FallbackWithoutAnyDocumentsFolder)
{
    ::unsetenv("HOME");
    EXPECT_EQ(getDocumentsFolder(), L"");
    EXPECT_EQ(narrow(getFallbackFolder()), root() + "/Doravine/");
    EXPECT_EQ(narrow(getDiagFolder()), root() + "/Doravine/Diag/");
    EXPECT_TRUE(fs::is_directory(root() + "/Doravine/Diag"));
    EXPECT_EQ(narrow(getMapDataFolder()), root() + "/Doravine/Map data/");
}

TEST_F(Folders, CreatedAgainOnEveryCallAndFailureIsLeftToTheCaller)
{
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

TEST_F(Folders, ProgramFolders)
{
    std::string exe = narrow(getExeFolder());
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(exe.back(), '/');
    // The folder holds this very program.
    fs::path self = fs::path(exe) / fs::path(program_invocation_name).filename();
    EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe")) << self;

    std::string program = narrow(getProgramFolder());
    EXPECT_EQ(program, exe + "Program/");
    EXPECT_TRUE(fs::is_directory(program));
    EXPECT_EQ(program.find("//"), std::string::npos);
}
