#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"
#include "text/Cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace tamsivo {
namespace {

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

TEST(Cp1251, LiteralsAreCompiledAsWindows1251) {
    // The build turns every narrow literal into Windows-1251 whatever the source encoding.
    EXPECT_EQ(std::string("ОШИБКА"), "\xCE\xD8\xC8\xC1\xCA\xC0");
    EXPECT_EQ(std::string("СОМ"), "\xD1\xCE\xCC");
}

TEST(Cp1251, EveryByteSurvivesBothRoundTrips) {
    const std::string bytes = AllBytes();
    EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(bytes)), bytes);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(bytes)), bytes);
}

TEST(Cp1251, MapsTheLettersTheProgramShows) {
    EXPECT_EQ(Cp1251ToUtf16("\xC0\xFF\xA8\xB8\xB9"), u"АяЁё№");
    EXPECT_EQ(Cp1251ToUtf8("\xD1\xCE\xCC HET"), "\xD0\xA1\xD0\x9E\xD0\x9C HET");
    // Characters outside the code page, and broken UTF-8, become '?' instead of vanishing.
    EXPECT_EQ(Utf16ToCp1251(u"a\u4E2Db\U0001F600c"), "a?b?c");
    EXPECT_EQ(Utf8ToCp1251("a\x80z\xE2\x82"), "a?z??");
}

TEST(FlashOutcome, EveryEndingNotificationHasItsTexts) {
    for (unsigned message = WM_FLASH_SIZE; message <= WM_FLASH_LINK_ERROR; ++message) {
        const bool ending = message != WM_FLASH_SIZE && message != WM_FLASH_PROGRESS;
        const FlashOutcome* outcome = FindOutcome(message);
        ASSERT_EQ(outcome != nullptr, ending) << message;
        if (outcome) {
            EXPECT_EQ(outcome->message, message);
            EXPECT_NE(std::string(outcome->caption), "");
            EXPECT_NE(std::string(outcome->textBefore), "");
        }
    }
    EXPECT_EQ(FindOutcome(WM_FLASH_DONE)->focus, OutcomeFocus::ExitButton);
    EXPECT_EQ(FindOutcome(WM_FLASH_PORT_ERROR)->focus, OutcomeFocus::StartButton);
    EXPECT_EQ(FindOutcome(WM_FLASH_LINK_ERROR)->focus, OutcomeFocus::StartButton);
    EXPECT_EQ(FindOutcome(WM_FLASH_NO_ECHO)->focus, OutcomeFocus::Unchanged);
}

TEST(FlashOutcome, NamesArePutInUnchanged) {
    const std::string port = "COM3";
    const std::string package = "\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE0.enc"; // a Cyrillic name
    EXPECT_EQ(OutcomeText(*FindOutcome(WM_FLASH_PORT_ERROR), port, package),
              "Ошибка инициализации порта COM3.");
    EXPECT_EQ(OutcomeText(*FindOutcome(WM_FLASH_FILE_ERROR), port, package),
              "Ошибка открытия файла микропрограммы " + package + ".");
    EXPECT_EQ(OutcomeText(*FindOutcome(WM_FLASH_CHECKSUM_ERROR), port, package),
              "Ошибка контрольной суммы. Вероятно файл " + package + " поврежден.");
    EXPECT_EQ(OutcomeText(*FindOutcome(WM_FLASH_PACKAGE_ERROR), port, package,
                          static_cast<int>(PackageError::Empty)),
              "Неверный формат файла микропрограммы " + package + ": файл пуст.");
    EXPECT_EQ(OutcomeText(CancelledOutcome(), port, package), "Обновление отменено пользователем");
}

} // namespace
} // namespace tamsivo
