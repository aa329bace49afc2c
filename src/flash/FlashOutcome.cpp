#include "flash/FlashOutcome.h"

#include "flash/FlashProtocol.h"
#include "text/Cp1251Literal.h"

#include <array>

namespace tamsivo {
namespace {

constexpr const char* kError = "ОШИБКА"_cp1251;

// Every outcome a run can end with, as the dialog and the command-line flasher show it.
constexpr std::array<FlashOutcome, 13> kOutcomes = {{
    {WM_FLASH_PORT_ERROR, kError, "Ошибка инициализации порта "_cp1251, OutcomeInsert::PortName,
     ".", OutcomeFocus::StartButton, "port_error"},
    {WM_FLASH_NO_ECHO, kError,
     "Отсутствует 'эхо'-ответ. Убедитесь, что Вы подключились по К-линии."_cp1251,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "no_echo"},
    {WM_FLASH_CHECKSUM_ERROR, kError, "Ошибка контрольной суммы. Вероятно файл "_cp1251,
     OutcomeInsert::PackageName, " поврежден."_cp1251, OutcomeFocus::Unchanged, "checksum_error"},
    {WM_FLASH_LINE_ERROR, kError,
     "Ошибка на линии передачи данных. Проверьте все соединения."_cp1251, OutcomeInsert::None, "",
     OutcomeFocus::Unchanged, "line_error"},
    {WM_FLASH_SIGNATURE_ERROR, kError, "Ошибка сигнатуры файла. Файл "_cp1251,
     OutcomeInsert::PackageName, " не является корректным файлом микропрограммы."_cp1251,
     OutcomeFocus::Unchanged, "signature_error"},
    {WM_FLASH_ADAPTER_SYNC_ERROR, kError,
     "Velomast is out of sync. Please reset the Velomast and the target device.",
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "adapter_sync_error"},
    {WM_FLASH_NO_ANSWER, kError,
     "Нет ответа от бортового компьютера. Проверьте все подключения."_cp1251, OutcomeInsert::None,
     "", OutcomeFocus::Unchanged, "no_answer"},
    {WM_FLASH_DONE, "ВЫПОЛНЕНО"_cp1251, "Обновление выполнено успешно!"_cp1251, OutcomeInsert::None,
     "", OutcomeFocus::ExitButton, "done"},
    {WM_FLASH_FILE_ERROR, kError, "Ошибка открытия файла микропрограммы "_cp1251,
     OutcomeInsert::PackageName, ".", OutcomeFocus::Unchanged, "file_error"},
    {WM_FLASH_BAD_ANSWER, kError, "Нераспознаный ответ БК. Обновление прервано."_cp1251,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "bad_answer"},
    // The reason is appended from PackageErrorReason.
    {WM_FLASH_PACKAGE_ERROR, kError, "Неверный формат файла микропрограммы "_cp1251,
     OutcomeInsert::PackageName, ": ", OutcomeFocus::StartButton, "package_error"},
    {WM_FLASH_LINK_ERROR, "ОШИБКА СВЯЗИ"_cp1251, "Обратитесь в техподдержку"_cp1251,
     OutcomeInsert::None, "", OutcomeFocus::StartButton, "link_error"},
    {WM_FLASH_INTERNAL_ERROR, kError,
     "Внутренняя ошибка программы. Обновление не выполнено, повторите попытку."_cp1251,
     OutcomeInsert::None, "", OutcomeFocus::StartButton, "internal_error"},
}};

constexpr FlashOutcome kCancelled = {0,
                                     "ОТМЕНА"_cp1251,
                                     "Обновление отменено пользователем"_cp1251,
                                     OutcomeInsert::None,
                                     "",
                                     OutcomeFocus::StartButton,
                                     "cancelled"};

} // namespace

const FlashOutcome* FindOutcome(unsigned message) {
    for (const FlashOutcome& outcome : kOutcomes) {
        if (outcome.message == message) {
            return &outcome;
        }
    }
    return nullptr;
}

const FlashOutcome& CancelledOutcome() {
    return kCancelled;
}

std::string OutcomeText(const FlashOutcome& outcome, const std::string& portName,
                        const std::string& packageName, long long lParam) {
    std::string text = outcome.textBefore;
    if (outcome.insert == OutcomeInsert::PortName) {
        text += portName;
    } else if (outcome.insert == OutcomeInsert::PackageName) {
        text += packageName;
    }
    text += outcome.textAfter;
    if (outcome.message == WM_FLASH_PACKAGE_ERROR) {
        text += PackageErrorReason(static_cast<PackageError>(lParam));
        text += '.';
    }
    return text;
}

const char* PackageErrorReason(PackageError error) {
    switch (error) {
    case PackageError::InvalidCharacter:
        return "недопустимый символ в тексте"_cp1251;
    case PackageError::TooLarge:
        return "размер больше 2 Мбайт"_cp1251;
    case PackageError::Empty:
        return "файл пуст"_cp1251;
    case PackageError::FrameOverrun:
        return "кадры не совпадают с длиной файла"_cp1251;
    case PackageError::TruncatedByte:
        return "текст обрывается на половине байта"_cp1251;
    case PackageError::None:
        break;
    }
    return "неизвестная ошибка"_cp1251;
}

} // namespace tamsivo
