// The language lookup: every user-visible text is written in Polish and that text is the key.
//
// Keys for the language files. A test collects, from src/ and tools/, every literal passed as
// translateText(L"...") and every literal marked TR_KEY(L"..."), and requires an entry for each in
// ENGLISH.txt and RUSSIAN.txt (sources in data/lang-src/, written by scripts/make_lang.py). A text
// that reaches translateText some other way (a table, a variable, a function argument) must be
// written where it is defined as TR_KEY(L"..."), which expands to the literal itself.
#pragma once

#include <functional>
#include <string>

#define TR_KEY(text) text

// The text of key in the current language (key itself in Polish, index 0). Falls back to the
// English file, then to the key, when the current language has no (or an empty) translation.
std::wstring translateText(const std::wstring& key);

// Language indices: 0 Polish (no file), 1 English, 2 Russian; the table goes on to 19 for files
// that may be dropped into the folder, but only 0 to 2 are offered.
inline constexpr int kLanguagePolish = 0;
inline constexpr int kLanguageEnglish = 1;
inline constexpr int kLanguageRussian = 2;
inline constexpr int kLanguageSlots = 20;

// The file name of a language index ("ENGLISH.txt"), or nullptr when the index has no file.
const wchar_t* languageFileName(int index);

// The folder of the language files: getDataFolder(L"Doravine_LANG"), beside the program first,
// then in the installed share/doravine/.
std::wstring languageFolder();

// Opens every language file of the table from folder (default: languageFolder()). A missing file
// leaves its index without a file, silently. translateText opens them on first use if nobody did.
void openLanguageFiles();
void openLanguageFiles(const std::wstring& folder);

// The start-up rule: Polish for a Polish user language, English otherwise.
int startupLanguageIndex();
// Start-up of the program: current index by the start-up rule, then every file opened. Until it
// runs (or setCurrentLanguage), the index is 0 and texts stay Polish.
void initLanguage();

int currentLanguage();
// Sets the index without running the switch hooks (start-up, command line, tests).
void setCurrentLanguage(int index);

// The language switch of the menu: for an index other than the current one (0 to 19), sets it and
// runs the hooks: first those of stage ErrorDecoder (the device rebuilds its error texts), then
// those of stage Window (the main frame sets all its texts again), each stage in the order of
// registration. Returns false, doing nothing, for the current index or one outside the table.
// Hooks run on the calling thread and may add or remove hooks.
bool switchLanguage(int index);

enum class LanguageHookStage { ErrorDecoder = 0, Window = 1 };
using LanguageChangeHook = std::function<void()>;
// Registers a hook; the answer identifies it for removeLanguageChangeHook.
unsigned addLanguageChangeHook(LanguageChangeHook hook, LanguageHookStage stage = LanguageHookStage::Window);
void removeLanguageChangeHook(unsigned id);

// A hook registered for the lifetime of the object (a member of the device or the frame).
class CLanguageChangeHook {
  public:
    CLanguageChangeHook() = default;
    CLanguageChangeHook(LanguageChangeHook hook, LanguageHookStage stage = LanguageHookStage::Window)
        : m_id(addLanguageChangeHook(std::move(hook), stage))
    {
    }
    ~CLanguageChangeHook() { reset(); }
    CLanguageChangeHook(const CLanguageChangeHook&) = delete;
    CLanguageChangeHook& operator=(const CLanguageChangeHook&) = delete;
    void reset()
    {
        if (m_id)
            removeLanguageChangeHook(m_id);
        m_id = 0;
    }

  private:
    unsigned m_id = 0;
};

// A window that sets all its texts again, through translateText, after a language switch.
class IMultilangGUI {
  public:
    virtual ~IMultilangGUI() = default;
    virtual void onLanguageChange() = 0;
};

// A window refreshed on the main timer's ticks.
class ITimerBasedGUI {
  public:
    virtual ~ITimerBasedGUI() = default;
    virtual void onTimer() = 0;
};
