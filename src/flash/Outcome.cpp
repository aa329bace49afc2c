#include "flash/Outcome.h"

namespace tamsivo {
namespace {

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kOutcomes.size(); ++i) {
        if (static_cast<std::size_t>(kOutcomes[i].outcome) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InOrder(), "RowOf finds a row by its outcome's number");

} // namespace

const OutcomeRow* RowWithKey(std::string_view key) {
    for (const OutcomeRow& row : kOutcomes) {
        if (key == row.key) {
            return &row;
        }
    }
    return nullptr;
}

std::string OutcomeText(const OutcomeRow& row, std::string_view portName,
                        std::string_view packageName, PackageError packageError,
                        std::string (*piece)(std::string_view)) {
    const auto own = [piece](std::string_view text) {
        return piece != nullptr ? piece(text) : std::string(text);
    };
    std::string text = own(row.textBefore);
    if (row.insert == OutcomeInsert::PortName) {
        text += portName;
    } else if (row.insert == OutcomeInsert::PackageName) {
        text += packageName;
    }
    text += own(row.textAfter);
    if (row.outcome == Outcome::PackageError) {
        text += own(PackageErrorReason(packageError));
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
