#pragma once

#include "flash/PackageError.h"
#include "text/Cp1251Literal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tamsivo {

// How a run ended. Every program and the run log name it through the one table below.
enum class Outcome : std::uint8_t {
    PortError,
    NoEcho,
    ChecksumError,
    LineError,
    SignatureError,
    AdapterSyncError,
    NoAnswer,
    Done,
    FileError,
    BadAnswer,
    PackageError,
    InternalError,
    LinkError,
    Cancelled, // stopped by the user; the run itself says nothing of it
};

// Where the keyboard focus goes after the dialog shows an outcome.
enum class OutcomeFocus { Unchanged, StartButton, ExitButton };

// Which name goes between the two pieces of an outcome's text.
enum class OutcomeInsert { None, PortName, PackageName };

// The dialog's notifications are window messages numbered from the first user message.
inline constexpr unsigned kFirstUserMessage = 0x0400;

// Everything an outcome is, in one row.
struct OutcomeRow {
    Outcome outcome;
    const char* key;       // the JSON "result" of tamsivo-flash and the run log's "outcome"
    unsigned notification; // the dialog's window message; 0: the dialog tells it itself
    int exitCode;          // of tamsivo-flash; scripts test it, so it never changes meaning
    const char* meaning;   // tamsivo-flash's words for the exit code, English
    const char* caption;   // the dialog's title, Windows-1251, as are the texts below
    const char* textBefore;
    OutcomeInsert insert;
    const char* textAfter; // a refused package's reason follows (PackageErrorReason)
    OutcomeFocus focus;
};

namespace outcome_rows {
inline constexpr const char* kError = kCp1251<"ОШИБКА">;
} // namespace outcome_rows

// In the order of Outcome. Numbers 13 and 14 above the first user message are this program's
// own: a malformed package and a failure of the program itself.
inline constexpr std::array<OutcomeRow, 14> kOutcomes = {{
    {Outcome::PortError, "port_error", kFirstUserMessage + 2, 7,
     "serial port cannot be opened, or no free port", outcome_rows::kError,
     kCp1251<"Ошибка инициализации порта ">, OutcomeInsert::PortName, ".",
     OutcomeFocus::StartButton},
    {Outcome::NoEcho, "no_echo", kFirstUserMessage + 4, 8,
     "no echo from the adapter (K-line not connected?)", outcome_rows::kError,
     kCp1251<"Отсутствует 'эхо'-ответ. Убедитесь, что Вы подключились по К-линии.">,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged},
    {Outcome::ChecksumError, "checksum_error", kFirstUserMessage + 5, 9,
     "checksum error (resend requests exhausted)", outcome_rows::kError,
     kCp1251<"Ошибка контрольной суммы. Вероятно файл ">, OutcomeInsert::PackageName,
     kCp1251<" поврежден.">, OutcomeFocus::Unchanged},
    {Outcome::LineError, "line_error", kFirstUserMessage + 6, 10,
     "line error (resend requests exhausted, or the stream out of step)", outcome_rows::kError,
     kCp1251<"Ошибка на линии передачи данных. Проверьте все соединения.">, OutcomeInsert::None,
     "", OutcomeFocus::Unchanged},
    {Outcome::SignatureError, "signature_error", kFirstUserMessage + 7, 11,
     "package signature refused", outcome_rows::kError,
     kCp1251<"Ошибка сигнатуры файла. Файл ">, OutcomeInsert::PackageName,
     kCp1251<" не является корректным файлом микропрограммы.">, OutcomeFocus::Unchanged},
    {Outcome::AdapterSyncError, "adapter_sync_error", kFirstUserMessage + 8, 12,
     "adapter out of sync", outcome_rows::kError,
     "Velomast is out of sync. Please reset the Velomast and the target device.",
     OutcomeInsert::None, "", OutcomeFocus::Unchanged},
    {Outcome::NoAnswer, "no_answer", kFirstUserMessage + 9, 13,
     "no answer from the on-board computer", outcome_rows::kError,
     kCp1251<"Нет ответа от бортового компьютера. Проверьте все подключения.">,
     OutcomeInsert::None, "", OutcomeFocus::Unchanged},
    {Outcome::Done, "done", kFirstUserMessage + 10, 0,
     "success (flashed; --check: package valid; --list-ports)", kCp1251<"ВЫПОЛНЕНО">,
     kCp1251<"Обновление выполнено успешно!">, OutcomeInsert::None, "",
     OutcomeFocus::ExitButton},
    {Outcome::FileError, "file_error", kFirstUserMessage + 11, 6,
     "package file cannot be opened or read", outcome_rows::kError,
     kCp1251<"Ошибка открытия файла микропрограммы ">, OutcomeInsert::PackageName, ".",
     OutcomeFocus::Unchanged},
    {Outcome::BadAnswer, "bad_answer", kFirstUserMessage + 12, 14,
     "unknown answer from the on-board computer", outcome_rows::kError,
     kCp1251<"Нераспознаный ответ БК. Обновление прервано.">, OutcomeInsert::None, "",
     OutcomeFocus::Unchanged},
    {Outcome::PackageError, "package_error", kFirstUserMessage + 13, 5, "package malformed",
     outcome_rows::kError, kCp1251<"Неверный формат файла микропрограммы ">,
     OutcomeInsert::PackageName, ": ", OutcomeFocus::StartButton},
    {Outcome::InternalError, "internal_error", kFirstUserMessage + 14, 17, "internal error",
     outcome_rows::kError,
     kCp1251<"Внутренняя ошибка программы. Обновление не выполнено, повторите попытку.">,
     OutcomeInsert::None, "", OutcomeFocus::StartButton},
    {Outcome::LinkError, "link_error", kFirstUserMessage + 15, 15,
     "link failure reported by the on-board computer", kCp1251<"ОШИБКА СВЯЗИ">,
     kCp1251<"Обратитесь в техподдержку">, OutcomeInsert::None, "", OutcomeFocus::StartButton},
    {Outcome::Cancelled, "cancelled", 0, 16, "cancelled by Ctrl+C (or SIGTERM, SIGHUP)",
     kCp1251<"ОТМЕНА">, kCp1251<"Обновление отменено пользователем">, OutcomeInsert::None, "",
     OutcomeFocus::StartButton},
}};

constexpr const OutcomeRow& RowOf(Outcome outcome) {
    return kOutcomes[static_cast<std::size_t>(outcome)];
}

// The row whose key is `key`, or nullptr.
const OutcomeRow* RowWithKey(std::string_view key);

// The outcome's text with the port or the package name put in; a refused package's reason is
// appended. The names are spelt as the texts are: Windows-1251 for the dialog. `piece` turns
// each of the table's own pieces into that spelling (UTF-8 for tamsivo-flash).
std::string OutcomeText(const OutcomeRow& row, std::string_view portName,
                        std::string_view packageName, PackageError packageError,
                        std::string (*piece)(std::string_view) = nullptr);

// The reason of a refused package, as a Windows-1251 phrase ("файл пуст").
const char* PackageErrorReason(PackageError error);

} // namespace tamsivo
