#include "flash/FlashOutcome.h"

#include "flash/FlashProtocol.h"
#include "text/Cp1251Literal.h"

#include <array>

namespace tamsivo {
namespace {

constexpr const char* kError = kCp1251<"ОШИБКА">;

// Every outcome a run can end with, as the dialog and the command-line flasher show it.
constexpr std::array<FlashOutcome, 13> kOutcomes = {{
    {WM_FLASH_PORT_ERROR, kError, kCp1251<"Ошибка инициализации порта ">, OutcomeInsert::PortName,
     ".", OutcomeFocus::StartButton, "port_error"},
    {WM_FLASH_NO_ECHO, kError,
     kCp1251<"Отсутствует 'эхо'-ответ. Убедитесь, что Вы подключились по К-линии.">,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "no_echo"},
    {WM_FLASH_CHECKSUM_ERROR, kError, kCp1251<"Ошибка контрольной суммы. Вероятно файл ">,
     OutcomeInsert::PackageName, kCp1251<" поврежден.">, OutcomeFocus::Unchanged, "checksum_error"},
    {WM_FLASH_LINE_ERROR, kError,
     kCp1251<"Ошибка на линии передачи данных. Проверьте все соединения.">, OutcomeInsert::None, "",
     OutcomeFocus::Unchanged, "line_error"},
    {WM_FLASH_SIGNATURE_ERROR, kError, kCp1251<"Ошибка сигнатуры файла. Файл ">,
     OutcomeInsert::PackageName, kCp1251<" не является корректным файлом микропрограммы.">,
     OutcomeFocus::Unchanged, "signature_error"},
    {WM_FLASH_ADAPTER_SYNC_ERROR, kError,
     "Velomast is out of sync. Please reset the Velomast and the target device.",
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "adapter_sync_error"},
    {WM_FLASH_NO_ANSWER, kError,
     kCp1251<"Нет ответа от бортового компьютера. Проверьте все подключения.">, OutcomeInsert::None,
     "", OutcomeFocus::Unchanged, "no_answer"},
    {WM_FLASH_DONE, kCp1251<"ВЫПОЛНЕНО">, kCp1251<"Обновление выполнено успешно!">,
     OutcomeInsert::None, "", OutcomeFocus::ExitButton, "done"},
    {WM_FLASH_FILE_ERROR, kError, kCp1251<"Ошибка открытия файла микропрограммы ">,
     OutcomeInsert::PackageName, ".", OutcomeFocus::Unchanged, "file_error"},
    {WM_FLASH_BAD_ANSWER, kError, kCp1251<"Нераспознаный ответ БК. Обновление прервано.">,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged, "bad_answer"},
    // The reason is appended from PackageErrorReason.
    {WM_FLASH_PACKAGE_ERROR, kError, kCp1251<"Неверный формат файла микропрограммы ">,
     OutcomeInsert::PackageName, ": ", OutcomeFocus::StartButton, "package_error"},
    {WM_FLASH_LINK_ERROR, kCp1251<"ОШИБКА СВЯЗИ">, kCp1251<"Обратитесь в техподдержку">,
     OutcomeInsert::None, "", OutcomeFocus::StartButton, "link_error"},
    {WM_FLASH_INTERNAL_ERROR, kError,
     kCp1251<"Внутренняя ошибка программы. Обновление не выполнено, повторите попытку.">,
     OutcomeInsert::None, "", OutcomeFocus::StartButton, "internal_error"},
}};

constexpr FlashOutcome kCancelled = {0,
                                     kCp1251<"ОТМЕНА">,
                                     kCp1251<"Обновление отменено пользователем">,
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
        return kCp1251<"недопустимый символ в тексте">;
    case PackageError::TooLarge:
        return kCp1251<"размер больше 2 Мбайт">;
    case PackageError::Empty:
        return kCp1251<"файл пуст">;
    case PackageError::FrameOverrun:
        return kCp1251<"кадры не совпадают с длиной файла">;
    case PackageError::TruncatedByte:
        return kCp1251<"текст обрывается на половине байта">;
    case PackageError::None:
        break;
    }
    return kCp1251<"неизвестная ошибка">;
}

} // namespace tamsivo
