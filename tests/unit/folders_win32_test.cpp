// The program's folders on Windows: the documents folder from the shell folder "Personal" of the
// current user (set and put back by the tests), the Windows drive when there is none, the program
// file's own folder; and the start-up language from the user's language.
#include "base/language.h"
#include "platform/folders.h"
#include "platform/ierror.h"
#include "support/portable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace fs = std::filesystem;

namespace {

const wchar_t* const kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::optional<std::wstring> personal()
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kShellFolders, L"Personal", RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

void setPersonal(const std::optional<std::wstring>& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExW(key, L"Personal", 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"Personal");
    RegCloseKey(key);
}

class FoldersWin32 : public ::testing::Test {
  protected:
    void SetUp() override { m_root = testsupport::makeTempFolder("doravine-folders-"); }
    void TearDown() override
    {
        setPersonal(m_saved);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::wstring root() const { return m_root.wstring(); }

    std::optional<std::wstring> m_saved = personal();
    fs::path m_root;
};

} // namespace

TEST_F(FoldersWin32, DocumentsFolderFromTheShellFolders)
{
    const std::wstring docs = root() + L"\\Moje dokumenty";
    for (const std::wstring& stored : {docs, docs + L"\\"}) {
        setPersonal(stored);
        EXPECT_EQ(getDocumentsFolder(), docs + L"\\") << "one separator at the end, whatever was stored";
    }
    fs::create_directories(docs);
    EXPECT_EQ(getMapDataFolder(), docs + L"\\Doravine\\Map data\\");
    EXPECT_TRUE(fs::is_directory(docs + L"\\Doravine\\Map data"));
    EXPECT_EQ(getDiagFolder(), docs + L"\\Doravine\\Diag\\");
    EXPECT_TRUE(fs::is_directory(docs + L"\\Doravine\\Diag"));

    // Created again on every call.
    fs::remove_all(docs + L"\\Doravine");
    EXPECT_EQ(getDiagFolder(), docs + L"\\Doravine\\Diag\\");
    EXPECT_TRUE(fs::is_directory(docs + L"\\Doravine\\Diag"));
}

TEST_F(FoldersWin32, WithoutADocumentsFolderTheWindowsDrive)
{
    const char* systemRoot = std::getenv("SystemRoot");
    ASSERT_NE(systemRoot, nullptr);
    const std::wstring fallback = std::wstring(1, static_cast<wchar_t>(systemRoot[0])) + L":\\Program Files\\Doravine\\";
    const bool existed = fs::exists(fallback);
    for (const std::optional<std::wstring>& stored : {std::optional<std::wstring>(), std::optional<std::wstring>(L"")}) {
        setPersonal(stored);
        EXPECT_EQ(getDocumentsFolder(), L"");
        EXPECT_EQ(getFallbackFolder(), fallback);
        EXPECT_EQ(getDiagFolder(), fallback + L"Diag\\");
        EXPECT_TRUE(fs::is_directory(fallback + L"Diag"));
        EXPECT_EQ(getMapDataFolder(), fallback + L"Map data\\");
    }
    if (!existed)
        fs::remove_all(fallback);
}

TEST_F(FoldersWin32, ProgramFoldersBesideTheProgramFile)
{
    const std::wstring exe = getExeFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), kPathSeparator);
    EXPECT_EQ(exe[1], L':') << "a drive path";
    fs::path self = testsupport::programPath().filename();
    if (self.extension().empty())
        self += ".exe";
    EXPECT_TRUE(fs::exists(fs::path(exe) / self)) << unicode2utf8(exe);

    const std::wstring program = getProgramFolder();
    EXPECT_EQ(program, exe + L"Program\\");
    EXPECT_TRUE(fs::is_directory(program));
}

// The start-up language follows the user's language as the system names it.
TEST(StartupLanguageWin32, PolishOnlyForAPolishUser)
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
    const bool polish = std::wstring(name).rfind(L"pl", 0) == 0;
    EXPECT_EQ(isUserLanguagePolish(), polish) << unicode2utf8(name);
    EXPECT_EQ(startupLanguageIndex(), polish ? kLanguagePolish : kLanguageEnglish);

    // The test run may say which language the user has (wine takes it from the locale).
    if (const char* expected = std::getenv("DORAVINE_EXPECT_USER_LANGUAGE")) {
        EXPECT_EQ(polish, std::string(expected) == "pl") << unicode2utf8(name);
    }
}
