#include "device/device_errors.h"

#include "base/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

using Messages = std::vector<std::wstring>;

// The folder that holds Doravine_LANG: the test run names it, a direct run finds it in the tree.
std::wstring languageDataFolder()
{
    if (const char* data = std::getenv("DORAVINE_DATA"))
        return (std::filesystem::path(data) / "Doravine_LANG").wstring() + L"/";
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "data" / "Doravine_LANG")
               .wstring() +
           L"/";
}

class DeviceErrors : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setCurrentLanguage(kLanguagePolish);
        decoder.buildErrorModules();
    }
    void TearDown() override { setCurrentLanguage(kLanguagePolish); }

    Messages decode(uint8_t e0, uint8_t e1, uint8_t e2, uint8_t e3) const
    {
        const uint8_t bytes[4] = {e0, e1, e2, e3};
        return decoder.decodeErrors(bytes);
    }

    CLPGDeviceErr decoder;
};

} // namespace

TEST_F(DeviceErrors, DecodesTheFourBytesIntoAFlatListInModuleAndBitOrder)
{
    EXPECT_TRUE(decode(0, 0, 0, 0).empty());
    EXPECT_EQ(decode(0x00, 0x03, 0x00, 0x00),
              (Messages{L"Błąd odczytu sygnału - zamienione przewody sygnałowe",
                        L"Błąd liczby ząbków - wybrano zły rodzaj koła"}));
    EXPECT_EQ(decode(0x00, 0x00, 0x00, 0x01), (Messages{L"Nieznany kod błędu = 0x1"}));
    EXPECT_EQ(decode(0x81, 0x00, 0x01, 0x80),
              (Messages{L"Błąd zapisu do pamięci EEPROM", L"Błąd sumy kontrolnej w pamięci EEPROM",
                        L"Błąd - zbyt niskie napięcie zasilania", L"Nieznany kod błędu = 0x80"}));
    // A second start keeps one set and decodes the same.
    decoder.buildErrorModules();
    EXPECT_EQ(decoder.errorModuleCount(), kErrorModuleCount);
    EXPECT_EQ(decode(0x01, 0, 0, 0), (Messages{L"Błąd zapisu do pamięci EEPROM"}));
}

TEST_F(DeviceErrors, ModulesTheirBitsAndUnknownCodes)
{
    const Messages eeprom = decoder.decodeErrorModule(0, 0xFF);
    ASSERT_EQ(eeprom.size(), 8u);
    EXPECT_EQ(eeprom[0], L"Błąd zapisu do pamięci EEPROM");
    EXPECT_EQ(eeprom[2], L"Błąd ustawienia adresu pamięci EEPROM");
    EXPECT_EQ(eeprom[3], L"ERROR_EEPROM_FORMAT");
    EXPECT_EQ(eeprom[6], L"Błędny typ struktury pamięci EEPROM");
    EXPECT_EQ(eeprom[7], L"Błąd sumy kontrolnej w pamięci EEPROM");
    for (const auto& text : eeprom)
        EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << "no NUL may travel inside a message";

    EXPECT_EQ(decoder.decodeErrorModule(2, 0x06),
              (Messages{L"Nieznany kod błędu = 0x2", L"Nieznany kod błędu = 0x4"}));
    EXPECT_EQ(
        decoder.decodeErrorModule(1, 0xF4),
        (Messages{L"Nieznany kod błędu = 0x4", L"Nieznany kod błędu = 0x10", L"Nieznany kod błędu = 0x20",
                  L"Nieznany kod błędu = 0x40", L"Nieznany kod błędu = 0x80"}));
    EXPECT_EQ(decoder.decodeErrorModule(4, 0x00), (Messages{L"Nieznany kod modułu"}));
    EXPECT_EQ(decoder.decodeErrorModule(100, 0x01), (Messages{L"Nieznany kod modułu"}));
    EXPECT_EQ(CLPGDeviceErr().decodeErrorModule(0, 0x01), (Messages{L"Nieznany kod modułu"})) << "unbuilt";

    const wchar_t* names[] = {L"EEPROM", L"SYGNAŁ", L"GAP1", L"GAP2", L"Nieznany kod błędu"};
    for (int module = 0; module < 5; ++module)
        EXPECT_EQ(decoder.errorModuleName(module), names[module]);
    // Destroyed through the base, as the list does.
    std::unique_ptr<CDeviceErrorBase> gap2 = std::make_unique<CGAP2Error>();
    EXPECT_TRUE(gap2->messages().empty());
    EXPECT_EQ(gap2->decodeByte(0x01), (Messages{L"Nieznany kod błędu = 0x1"}));
}

TEST_F(DeviceErrors, TextsFollowTheLanguageOnlyAfterTheRebuild)
{
    openLanguageFiles(languageDataFolder());
    ASSERT_NE(languageFileName(kLanguageEnglish), nullptr);

    setCurrentLanguage(kLanguageEnglish);
    const std::wstring english = translateText(L"Błąd zapisu do pamięci EEPROM");
    ASSERT_NE(english, L"Błąd zapisu do pamięci EEPROM") << "the English file must translate the EEPROM text";

    // Built in Polish: the texts stay as they were built until the rebuild.
    EXPECT_EQ(decode(0x01, 0, 0, 0), (Messages{L"Błąd zapisu do pamięci EEPROM"}));
    decoder.rebuildErrorModules();
    EXPECT_EQ(decoder.errorModuleCount(), kErrorModuleCount);
    EXPECT_EQ(decode(0x01, 0, 0, 0), (Messages{english}));
    EXPECT_EQ(decode(0, 0, 0, 0x02), (Messages{translateText(L"Nieznany kod błędu") + L" = 0x2"}));
    EXPECT_EQ(decoder.errorModuleName(1), translateText(L"SYGNAŁ"));

    setCurrentLanguage(kLanguagePolish);
    decoder.rebuildErrorModules();
    EXPECT_EQ(decode(0x01, 0, 0, 0), (Messages{L"Błąd zapisu do pamięci EEPROM"}));
}

TEST_F(DeviceErrors, RebuildWhileAnotherThreadDecodes)
{
    std::thread reader([this] {
        for (int i = 0; i < 2000; ++i) {
            const auto messages = decode(0, 0x03, 0, 0);
            ASSERT_EQ(messages.size(), 2u);
        }
    });
    for (int i = 0; i < 200; ++i)
        decoder.rebuildErrorModules();
    reader.join();
}
