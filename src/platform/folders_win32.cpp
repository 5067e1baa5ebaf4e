// Folders on Windows: the module file name, the shell folder "Personal" from the registry and the
// Windows drive as the last resort.
#include "platform/folders.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

namespace {

void createFolder(const std::wstring& path)
{
    // Failure (usually: it exists already) is left to the caller's file operation.
    CreateDirectoryW(path.c_str(), nullptr);
}

// base\Doravine\sub\, each level created; the drive fallback when there is no documents folder.
std::wstring documentsSubfolder(const wchar_t* sub)
{
    std::wstring docs = getDocumentsFolder();
    std::wstring path = docs.empty() ? getFallbackFolder() : docs + L"Doravine\\";
    path.pop_back();
    createFolder(path);
    path += L"\\";
    path += sub;
    createFolder(path);
    return path + L"\\";
}

} // namespace

std::wstring getExeFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring path(buffer, length);
    std::size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos)
        return {};
    return path.substr(0, cut + 1);
}

std::wstring getDataFolder(const std::wstring& name)
{
    const wchar_t* data = _wgetenv(L"DORAVINE_DATA");
    if (data && *data) {
        std::wstring base = data;
        if (base.back() != L'\\' && base.back() != L'/')
            base += L'\\';
        return base + name + L"\\";
    }
    return findDataFolder(getExeFolder(), name);
}

// An installed Windows program keeps its data beside itself: there is no share folder to try.
std::wstring findDataFolder(const std::wstring& exeFolder, const std::wstring& name)
{
    return exeFolder + name + L"\\";
}

std::wstring getDocumentsFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    LONG result = RegQueryValueExW(key, L"Personal", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring docs(buffer);
    while (!docs.empty() && docs.back() == L'\\')
        docs.pop_back();
    if (docs.empty())
        return {};
    return docs + L"\\";
}

std::wstring getFallbackFolder()
{
    wchar_t windows[MAX_PATH + 1] = {};
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    wchar_t drive = length > 0 ? windows[0] : L'C';
    return std::wstring(1, drive) + L":\\Program Files\\Doravine\\";
}

std::wstring getDiagFolder()
{
    return documentsSubfolder(L"Diag");
}

std::wstring getMapDataFolder()
{
    return documentsSubfolder(L"Map data");
}

std::wstring getProgramFolder()
{
    std::wstring base = getExeFolder();
    if (base.empty()) {
        std::wstring fallback = getFallbackFolder();
        fallback.pop_back();
        createFolder(fallback);
        base = fallback + L"\\";
    }
    std::wstring path = base + L"Program";
    createFolder(path);
    return path + L"\\";
}

bool isUserLanguagePolish()
{
    return GetUserDefaultLangID() == 1045;
}
