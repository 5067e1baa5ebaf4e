// The remembered values in the registry: string values under the current user's
// Software\Doravine, written with their terminating null and read back whole.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

const char* const kKey = "Software\\Doravine";
const char* const kName = "Doravine test value";

// A raw value as another program would have stored it; size in bytes as given.
void storeRaw(DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, kName, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

class RegistryWin32 : public ::testing::Test {
  protected:
    void TearDown() override { RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kName); }
};

} // namespace

TEST_F(RegistryWin32, AStringValueIsStoredWithItsNullAndReadBack)
{
    ASSERT_TRUE(registry::writeString(kName, "12"));
    char buffer[16] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExA(key, kName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 3u) << "the size counts the terminating null";
    EXPECT_EQ(registry::readString(kName), std::optional<std::string>("12"));

    ASSERT_TRUE(registry::writeString(kName, "7"));
    EXPECT_EQ(registry::readString(kName), std::optional<std::string>("7")) << "a shorter value replaces it";
}

TEST_F(RegistryWin32, ValuesThatAreNotThereOrDoNotFit)
{
    EXPECT_EQ(registry::readString(kName), std::nullopt);

    storeRaw(REG_SZ, std::string("34", 2));
    EXPECT_EQ(registry::readString(kName), std::optional<std::string>("34")) << "stored without its null";

    storeRaw(REG_SZ, std::string(""));
    EXPECT_EQ(registry::readString(kName), std::nullopt) << "an empty value is no value";

    storeRaw(REG_SZ, std::string(300, '9') + '\0');
    EXPECT_EQ(registry::readString(kName), std::nullopt) << "longer than the 256-byte buffer";
}
