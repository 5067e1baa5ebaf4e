#include "operations/settings_backup.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "files/settings_file.h"
#include "platform/folders.h"
#include "platform/paths.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

std::wstring backupFileName(int year, int month, int day, int hour, int minute, int second)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"ustawienia-%04d-%02d-%02d-%02d%02d%02d.settings", year, month, day, hour,
                  minute, second);
    return text;
}

std::wstring saveSettingsBackup(const CLPGDevice& device, std::wstring* attempted)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now))
        local = *t;
    const std::wstring folder = getMapDataFolder();
    const std::wstring name = backupFileName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                             local.tm_hour, local.tm_min, local.tm_sec);
    std::wstring path = folder + name;
    // Two copies within one second must not overwrite each other.
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(nativePath(path), ec); ++n) {
        std::wstring numbered = name;
        numbered.insert(numbered.size() - std::wstring(L".settings").size(), L"-" + std::to_wstring(n));
        path = folder + numbered;
    }
    if (attempted)
        *attempted = path;
    CSettingsSnapshot snapshot;
    snapshot.initMarker(device.m_firmwareVersion);
    snapshot.takeSnapshot(device.m_firmwareVersion, device.m_deviceType, device.m_settings);
    return snapshot.writeFileAt(path) ? path : std::wstring();
}

std::wstring saveRequiredSettingsBackup(const CLPGDevice& device)
{
    std::wstring attempted;
    std::wstring path = saveSettingsBackup(device, &attempted);
    if (path.empty())
        userInteraction().showMessage(
            translateText(L"Nie udało się zapisać kopii ustawień sterownika w pliku:") + L"\n" + attempted,
            MessageIcon::Error);
    return path;
}

std::wstring backupSavedLine(const std::wstring& path)
{
    return translateText(L"Dotychczasowe ustawienia sterownika zapisano w pliku:") + L" " + path;
}
