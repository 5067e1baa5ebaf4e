// Folders on POSIX systems: the program's folder from /proc/self/exe, the documents folder from
// the XDG user directories.
#include "platform/folders.h"

#include "platform/ierror.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// One trailing separator, whatever the input ended in.
std::string withSeparator(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

void createFolder(const std::string& path)
{
    // Also makes a missing documents folder: on a fresh account ~/Documents need not exist.
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}

// The XDG_DOCUMENTS_DIR line of a user-dirs.dirs file: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string documentsFromUserDirs(const std::string& home)
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty()) {
        if (home.empty())
            return {};
        config = home + "/.config";
    }
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string name = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, name.size(), name) != 0)
            continue;
        std::string value = line.substr(start + name.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            if (home.empty())
                return {};
            value = home + value.substr(5);
        }
        // The file allows only $HOME-relative or absolute paths.
        if (value.empty() || value.front() != '/')
            return {};
        return value;
    }
    return {};
}

std::string documentsFolder()
{
    std::string home = environment("HOME");
    std::string docs = environment("XDG_DOCUMENTS_DIR");
    if (!docs.empty())
        return docs;
    docs = documentsFromUserDirs(home);
    if (!docs.empty())
        return docs;
    if (!home.empty())
        return home + "/Documents";
    return {};
}

// base/Doravine/sub/, each level created.
std::wstring documentsSubfolder(const char* sub)
{
    std::string docs = documentsFolder();
    std::string path;
    if (docs.empty()) {
        path = unicode2utf8(getFallbackFolder());
    } else {
        path = withSeparator(docs) + "Doravine/";
    }
    createFolder(path);
    path += sub;
    createFolder(path);
    return utf82unicode(path + "/");
}

} // namespace

std::wstring getExeFolder()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || exe.empty())
        return {};
    std::string text = exe.string();
    std::size_t cut = text.rfind('/');
    if (cut == std::string::npos)
        return {};
    return utf82unicode(text.substr(0, cut + 1));
}

std::wstring getDataFolder(const std::wstring& name)
{
    const char* data = std::getenv("DORAVINE_DATA");
    if (data && *data)
        return utf82unicode(withSeparator(data)) + name + L"/";
    return findDataFolder(getExeFolder(), name);
}

std::wstring findDataFolder(const std::wstring& exeFolder, const std::wstring& name)
{
    const std::wstring beside = exeFolder + name + L"/";
    std::error_code ignored;
    if (std::filesystem::is_directory(unicode2utf8(beside), ignored) || exeFolder.empty())
        return beside;
    // bin/../share/doravine/: wherever the tree was installed or unpacked, no absolute prefix.
    const std::filesystem::path bin = std::filesystem::path(unicode2utf8(exeFolder)).parent_path();
    const std::filesystem::path installed = bin.parent_path() / "share" / "doravine" / unicode2utf8(name);
    if (std::filesystem::is_directory(installed, ignored))
        return utf82unicode(installed.string() + "/");
    return beside;
}

std::wstring getDocumentsFolder()
{
    std::string docs = documentsFolder();
    if (docs.empty())
        return {};
    return utf82unicode(withSeparator(docs));
}

std::wstring getFallbackFolder()
{
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    std::string base = error ? std::string("/tmp") : temp.string();
    return utf82unicode(withSeparator(base) + "Doravine/");
}

std::wstring getDiagFolder()
{
    return documentsSubfolder("Diag");
}

std::wstring getMapDataFolder()
{
    return documentsSubfolder("Map data");
}

std::wstring getProgramFolder()
{
    std::wstring base = getExeFolder();
    if (base.empty())
        base = getFallbackFolder();
    // The base already ends in a separator: no doubled one in the middle.
    std::wstring path = base + L"Program";
    createFolder(unicode2utf8(path));
    return path + L"/";
}

bool isUserLanguagePolish()
{
    // POSIX precedence: LC_ALL overrides LC_MESSAGES, which overrides LANG.
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.empty())
            break;
    }
    return locale.size() >= 2 && locale.compare(0, 2, "pl") == 0 &&
           (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}
