#include "base/language.h"

#include "base/lang_file.h"
#include "platform/folders.h"
#include "platform/ierror.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace {

struct LanguageEntry {
    int index;
    const wchar_t* file;
};

// Indices 6, 9, 12, 16 and 17 are kept free, as is 10.
constexpr LanguageEntry kLanguageTable[] = {
    {1, L"ENGLISH.txt"},    {2, L"RUSSIAN.txt"},   {3, L"ITALIAN.txt"},  {4, L"GERMAN.txt"},
    {5, L"THAI.txt"},       {7, L"SPAIN.txt"},     {8, L"FRENCH.txt"},   {11, L"GREEK.txt"},
    {13, L"SERBIAN.txt"},   {14, L"CROATIAN.txt"}, {15, L"BOSNIAN.txt"}, {18, L"BULGARIAN.txt"},
    {19, L"SLOVENIAN.txt"},
};

std::atomic<int> g_current{kLanguagePolish};

// The files are written only when (re)opened; lookups from any thread share the lock.
std::shared_mutex g_filesMutex;
std::array<CLangFile, kLanguageSlots> g_files;
std::atomic<bool> g_filesOpened{false};

struct HookEntry {
    unsigned id;
    LanguageHookStage stage;
    LanguageChangeHook hook;
};
std::mutex g_hooksMutex;
std::vector<HookEntry> g_hooks;
unsigned g_nextHookId = 1;

void ensureFilesOpened()
{
    if (g_filesOpened.load(std::memory_order_acquire))
        return;
    std::wstring folder = languageFolder();
    std::unique_lock lock(g_filesMutex);
    if (g_filesOpened.load(std::memory_order_relaxed))
        return;
    for (const LanguageEntry& entry : kLanguageTable)
        g_files[entry.index].open(folder + entry.file);
    g_filesOpened.store(true, std::memory_order_release);
}

std::wstring translateIn(int index, const std::wstring& key)
{
    if (index < 1 || index >= kLanguageSlots)
        return {};
    return g_files[index].translate(key);
}

} // namespace

std::wstring translateText(const std::wstring& key)
{
    int index = g_current.load(std::memory_order_relaxed);
    if (index == kLanguagePolish)
        return key;
    ensureFilesOpened();
    std::shared_lock lock(g_filesMutex);
    std::wstring text = translateIn(index, key);
    if (text.empty())
        text = translateIn(kLanguageEnglish, key);
    return text.empty() ? key : text;
}

const wchar_t* languageFileName(int index)
{
    for (const LanguageEntry& entry : kLanguageTable) {
        if (entry.index == index)
            return entry.file;
    }
    return nullptr;
}

std::wstring languageFolder()
{
    return getDataFolder(L"Doravine_LANG");
}

void openLanguageFiles()
{
    openLanguageFiles(languageFolder());
}

void openLanguageFiles(const std::wstring& folder)
{
    std::unique_lock lock(g_filesMutex);
    for (CLangFile& file : g_files)
        file.close();
    for (const LanguageEntry& entry : kLanguageTable)
        g_files[entry.index].open(folder + entry.file);
    g_filesOpened.store(true, std::memory_order_release);
}

int startupLanguageIndex()
{
    return isUserLanguagePolish() ? kLanguagePolish : kLanguageEnglish;
}

void initLanguage()
{
    setCurrentLanguage(startupLanguageIndex());
    openLanguageFiles();
}

int currentLanguage()
{
    return g_current.load();
}

void setCurrentLanguage(int index)
{
    g_current.store(index);
}

bool switchLanguage(int index)
{
    if (index < 0 || index >= kLanguageSlots || index == g_current.load())
        return false;
    g_current.store(index);

    // Run by stage, then by registration; a hook removed by an earlier one is not run.
    std::vector<unsigned> order;
    {
        std::lock_guard lock(g_hooksMutex);
        for (LanguageHookStage stage : {LanguageHookStage::ErrorDecoder, LanguageHookStage::Window}) {
            for (const HookEntry& entry : g_hooks) {
                if (entry.stage == stage)
                    order.push_back(entry.id);
            }
        }
    }
    for (unsigned id : order) {
        LanguageChangeHook hook;
        {
            std::lock_guard lock(g_hooksMutex);
            for (const HookEntry& entry : g_hooks) {
                if (entry.id == id)
                    hook = entry.hook;
            }
        }
        if (hook)
            hook();
    }
    return true;
}

unsigned addLanguageChangeHook(LanguageChangeHook hook, LanguageHookStage stage)
{
    std::lock_guard lock(g_hooksMutex);
    unsigned id = g_nextHookId++;
    g_hooks.push_back({id, stage, std::move(hook)});
    return id;
}

void removeLanguageChangeHook(unsigned id)
{
    std::lock_guard lock(g_hooksMutex);
    std::erase_if(g_hooks, [id](const HookEntry& entry) { return entry.id == id; });
}
