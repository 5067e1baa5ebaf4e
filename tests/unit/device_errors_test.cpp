#include "device/device_errors.h"

#include "base/language.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using Messages = std::vector<std::wstring>;

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
    const std::wstring unknown = L"Nieznany kod błędu = 0x";
    const struct {
        uint8_t bytes[4];
        Messages messages;
    } cases[] = {
        {{0, 0, 0, 0}, {}},
        {{0, 0x03, 0, 0},
         {L"Błąd odczytu sygnału - zamienione przewody sygnałowe", L"Błąd liczby ząbków - wybrano zły rodzaj koła"}},
        {{0, 0, 0, 0x01}, {unknown + L"1"}},
        {{0x81, 0, 0x01, 0x80},
         {L"Błąd zapisu do pamięci EEPROM", L"Błąd sumy kontrolnej w pamięci EEPROM",
          L"Błąd - zbyt niskie napięcie zasilania", unknown + L"80"}},
        {{0, 0xF4, 0x06, 0},
         {unknown + L"4", unknown + L"10", unknown + L"20", unknown + L"40", unknown + L"80", unknown + L"2",
          unknown + L"4"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decode(c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3]), c.messages);
    // A second start keeps one set and decodes the same.
    decoder.buildErrorModules();
    EXPECT_EQ(decoder.errorModuleCount(), kErrorModuleCount);
    EXPECT_EQ(decode(0x01, 0, 0, 0), (Messages{L"Błąd zapisu do pamięci EEPROM"}));
}

TEST_F(DeviceErrors, EveryEepromBitHasATextAndUnknownModulesSaySo)
{
    const Messages eeprom = decoder.decodeErrorModule(0, 0xFF);
    ASSERT_EQ(eeprom.size(), 8u);
    for (const auto& text : eeprom)
        EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << "no NUL may travel inside a message";
    EXPECT_EQ(decoder.decodeErrorModule(4, 0x00), (Messages{L"Nieznany kod modułu"}));
    EXPECT_EQ(decoder.decodeErrorModule(100, 0x01), (Messages{L"Nieznany kod modułu"}));
    EXPECT_EQ(CLPGDeviceErr().decodeErrorModule(0, 0x01), (Messages{L"Nieznany kod modułu"})) << "unbuilt";
    // Destroyed through the base, as the list does.
    std::unique_ptr<CDeviceErrorBase> gap2 = std::make_unique<CGAP2Error>();
    EXPECT_EQ(gap2->decodeByte(0x01), (Messages{L"Nieznany kod błędu = 0x1"}));
}

TEST_F(DeviceErrors, TextsFollowTheLanguageOnlyAfterTheRebuild)
{
    openLanguageFiles();

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
