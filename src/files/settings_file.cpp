#include "files/settings_file.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "files/csv_file.h"
#include "platform/file_replace.h"
#include "platform/paths.h"
#include "records/map_model.h"
#include "platform/folders.h"

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace fs = std::filesystem;

namespace {

static_assert(std::numeric_limits<double>::is_iec559, "settings files carry IEEE 754 doubles");

void put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void putDouble(uint8_t* p, double v)
{
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int k = 0; k < 8; ++k)
        p[k] = static_cast<uint8_t>((bits >> (8 * k)) & 0xFF);
}

double getDouble(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int k = 7; k >= 0; --k)
        bits = (bits << 8) | p[k];
    return std::bit_cast<double>(bits);
}

void showError(const wchar_t* key)
{
    userInteraction().showMessage(translateText(key), MessageIcon::Error);
}

bool writeBytes(const fs::path& path, const uint8_t* bytes, size_t size, bool truncate)
{
    std::ofstream out(path, std::ios::binary | std::ios::out | (truncate ? std::ios::trunc : std::ios::app));
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    out.flush();
    const bool written = static_cast<bool>(out);
    out.close();
    return written && !out.fail();
}

} // namespace

void CSettingsSnapshot::initMarker(uint16_t firmwareVersion)
{
    m_marker.fill(kSettingsMarkerByte);
    put16(&m_data[settings_layout::kVersion], firmwareVersion);
}

void CSettingsSnapshot::takeSnapshot(uint16_t firmwareVersion, uint8_t deviceType,
                                     const CSettingsRecord& record)
{
    using namespace settings_layout;
    m_data.fill(0);
    put16(&m_data[kVersion], firmwareVersion);
    put16(&m_data[kDeviceType], deviceType);
    writeFields(record);
}

void CSettingsSnapshot::writeFields(const CSettingsRecord& record)
{
    using namespace settings_layout;
    size_t at = kAdvanceMap;
    for (const auto& row : record.advanceMap)
        for (double cell : row) {
            putDouble(&m_data[at], cell);
            at += 8;
        }
    for (int j = 0; j < kMapRows; ++j)
        putDouble(&m_data[kMapAxis + 8 * j], record.mapAxis[j]);
    for (int i = 0; i < kMapColumns; ++i)
        putDouble(&m_data[kRpmAxis + 8 * i], record.rpmAxis[i]);
    putDouble(&m_data[kTpsThreshold], record.tpsThreshold);
    putDouble(&m_data[kInputSource], record.inputSource);
}

void CSettingsSnapshot::applySnapshot(CSettingsRecord& record) const
{
    readFields(record);
    if (record.workState == kWorkStateNormal)
        CMapModel(record).roundMapToStep();
}

void CSettingsSnapshot::readFields(CSettingsRecord& record) const
{
    using namespace settings_layout;
    record.tpsThreshold = getDouble(&m_data[kTpsThreshold]);
    record.inputSource = getDouble(&m_data[kInputSource]);
    for (int j = 0; j < kMapRows; ++j)
        record.mapAxis[j] = getDouble(&m_data[kMapAxis + 8 * j]);
    size_t at = kAdvanceMap;
    for (auto& row : record.advanceMap)
        for (double& cell : row) {
            cell = getDouble(&m_data[at]);
            at += 8;
        }
    for (int i = 0; i < kMapColumns; ++i)
        record.rpmAxis[i] = getDouble(&m_data[kRpmAxis + 8 * i]);
}

uint16_t CSettingsSnapshot::firmwareVersion() const
{
    return get16(&m_data[settings_layout::kVersion]);
}

uint16_t CSettingsSnapshot::deviceType() const
{
    return get16(&m_data[settings_layout::kDeviceType]);
}

std::array<uint8_t, kSettingsFileSize> CSettingsSnapshot::fileBytes() const
{
    std::array<uint8_t, kSettingsFileSize> bytes{};
    std::memcpy(bytes.data(), m_marker.data(), kSettingsMarkerSize);
    std::memcpy(bytes.data() + kSettingsMarkerSize, m_data.data(), kSettingsSnapshotSize);
    return bytes;
}

bool CSettingsSnapshot::writeFileWithDialog() const
{
    const COpenFile dialog(getMapDataFolder(), translateText(kSettingsFileFilter), L"settings", true);
    const std::wstring path = dialog.show();
    if (path.empty())
        return false;
    return writeFileAt(path);
}

bool CSettingsSnapshot::writeFileAt(const std::wstring& name) const
{
    const fs::path target = nativePath(name);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists) {
        // Opening it for writing without creating or truncating tells whether it can be replaced.
        std::ofstream probe(target, std::ios::binary | std::ios::in | std::ios::out);
        if (!probe) {
            showError(TR_KEY(L"Nie można otworzyć wybranego pliku"));
            return false;
        }
        probe.close();
        if (!userInteraction().askYesNo(translateText(L"Czy chcesz nadpisać wybrany plik?")))
            return false;
    }

    const auto bytes = fileBytes();
    if (exists && !fs::is_regular_file(status)) {
        // A device or a pipe is written in place: there is nothing to rename over.
        if (!writeBytes(target, bytes.data(), bytes.size(), true)) {
            showError(TR_KEY(L"Nie można zapisać wybranego pliku"));
            return false;
        }
        return true;
    }

    // The new file is written completely beside the old one and only then renamed over it, so a
    // full disk or a pulled drive leaves the old file (or none, if there was none) intact.
    if (const wchar_t* failure = replaceFile(name, bytes)) {
        showError(failure);
        return false;
    }
    return true;
}

const wchar_t* CSettingsSnapshot::replaceFile(const std::wstring& path,
                                              const std::array<uint8_t, kSettingsFileSize>& bytes)
{
    switch (replaceFileContents(path, bytes.data(), bytes.size())) {
    case ReplaceResult::Replaced:
        return nullptr;
    case ReplaceResult::NotCreated:
        return TR_KEY(L"Nie można otworzyć wybranego pliku");
    case ReplaceResult::NotWritten:
        break;
    }
    return TR_KEY(L"Nie można zapisać wybranego pliku");
}

std::wstring CSettingsSnapshot::pickFileToRead()
{
    return COpenFile(getMapDataFolder(), translateText(kSettingsFileFilter), L"data", false).show();
}

bool CSettingsSnapshot::readFileWithDialog()
{
    const std::wstring path = pickFileToRead();
    if (path.empty())
        return false;
    return readFile(path, true);
}

bool CSettingsSnapshot::readFileWithMessages(const std::wstring& path)
{
    return readFile(path, true);
}

bool CSettingsSnapshot::readFileAt(const std::wstring& path)
{
    return readFile(path, false);
}

bool CSettingsSnapshot::readFile(const std::wstring& name, bool withMessages)
{
    const wchar_t* refusal = readFileRefusal(name);
    if (refusal && withMessages)
        showError(refusal);
    return !refusal;
}

const wchar_t* CSettingsSnapshot::readFileRefusal(const std::wstring& name)
{
    const fs::path path = nativePath(name);
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return TR_KEY(L"Nie można otworzyć wybranego pliku");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return TR_KEY(L"Nie można otworzyć wybranego pliku");
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length != static_cast<std::streamoff>(kSettingsFileSize))
        return TR_KEY(L"Niezgodny rozmiar pliku");
    in.seekg(0, std::ios::beg);
    std::array<uint8_t, kSettingsFileSize> bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return TR_KEY(L"Niezgodny rozmiar pliku");
    if (std::memcmp(bytes.data(), m_marker.data(), kSettingsMarkerSize) != 0)
        return TR_KEY(L"Plik nie zawiera ustawień doravinea");
    std::memcpy(m_data.data(), bytes.data() + kSettingsMarkerSize, kSettingsSnapshotSize);
    return nullptr;
}
