// Every text the flasher shows of a run, in one place: the window's own words for the run's
// states and outcomes, and the flasher's lines around them, so that a translation has one file
// to read.
#pragma once

namespace orvix {

// The window's texts, exactly as the window shows them (the misspelling of kTextAborted too).
inline constexpr char kTextNegotiation[] = "Посылка пакетов согласования";
inline constexpr char kTextProgramming[] = "Программирование";
inline constexpr char kTextChecksumError[] = "Error CS!";
inline constexpr char kTextNoAnswer[] = "Нет ответа от устройства";
inline constexpr char kTextNoChecksumConfirmation[] = "Нет подтверждения контрольной суммы";
inline constexpr char kTextFinished[] = "Программирование завершено";
inline constexpr char kTextAborted[] = "Прграммирование прервано";

// The lines around them: each {} takes the next value in turn (the order is the caller's, so a
// translation keeps it). The figures of a run, after its result text. Seconds and rates take a decimal comma, as the
// Russian lines around them; addresses and the checksum are hexadecimal, as the window's.
// "0000-4E1F, 20000 байт за 3,9 с (5,1 КБ/с), контрольная сумма 1495 подтверждена"
inline constexpr char kTextFiguresFinished[] =
    "{}-{}, {} байт за {} с ({} КБ/с), контрольная сумма {} подтверждена";
// A run that did not finish: what went out, and for how long.
inline constexpr char kTextFiguresUnfinished[] =
    "{}-{}, {} байт: отправлено блоков {} за {} с, контрольная сумма {}";
inline constexpr char kTextFiguresUnconfirmed[] =
    "{}-{}, {} байт: отправлено блоков {} за {} с, контрольная сумма {} не подтверждена";
inline constexpr char kTextUnansweredBlock[] = "{}: нет ответа на блок {}";
inline constexpr char kTextUnansweredChecksum[] = "{}: нет ответа на контрольную сумму";
inline constexpr char kTextPortsPinged[] = "Опрошено портов: {}, {} с";
// A gang port's result line: "COM3: Программирование завершено (3,9 с, 1495)".
inline constexpr char kTextGangResult[] = "{}: {} ({} с, {})";
inline constexpr char kTextLineLost[] = "{}: связь потеряна: {}";

}  // namespace orvix
