// What the exchange window and the main window's status bar say about a run: the program's own
// texts, letter for letter, the misspelt stop text included, since users and their notes know
// them that way.
#pragma once

namespace orvix {

inline constexpr char kTextNegotiation[] = "Посылка пакетов согласования";
inline constexpr char kTextProgramming[] = "Программирование";
inline constexpr char kTextChecksumError[] = "Error CS!";
inline constexpr char kTextNoAnswer[] = "Нет ответа от устройства";
inline constexpr char kTextNoChecksumConfirmation[] = "Нет подтверждения контрольной суммы";
inline constexpr char kTextFinished[] = "Программирование завершено";
inline constexpr char kTextAborted[] = "Прграммирование прервано";

}  // namespace orvix
