<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ErrorBox</name>
    <message>
        <source>Unknown error</source>
        <translation>Неизвестная ошибка</translation>
    </message>
</context>
<context>
    <name>TOpenDialog</name>
    <message>
        <source>Images (*.bin *.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot)</source>
        <translation>Образы (*.bin *.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot)</translation>
    </message>
    <message>
        <source>Binary files (*.bin)</source>
        <translation>Двоичные файлы (*.bin)</translation>
    </message>
    <message>
        <source>Any file (*.*)</source>
        <translation>Любой файл (*.*)</translation>
    </message>
</context>
<context>
    <name>TfmMain</name>
    <message>
        <source>Programmer &quot;Orvix&quot;</source>
        <translation>Программатор &quot;Orvix&quot;</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Начальный</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Конечный</translation>
    </message>
    <message>
        <source>Device No.</source>
        <translation>№ Устройства</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Загрузить</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>All devices</source>
        <translation>Все устройства</translation>
    </message>
    <message>
        <source>Expect</source>
        <translation>Ожидать</translation>
    </message>
</context>
<context>
    <name>TfrmGang</name>
    <message>
        <source>Exchange</source>
        <translation>Обмен</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Выполнено</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Прервать</translation>
    </message>
    <message>
        <source>Again</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message numerus="yes">
        <source>Programmed: %1 of %n</source>
        <translation>
            <numerusform>%1 из %n устройства запрограммированы</numerusform>
            <numerusform>%1 из %n устройств запрограммированы</numerusform>
            <numerusform>%1 из %n устройств запрограммированы</numerusform>
        </translation>
    </message>
    <message>
        <source>Found %1 of %2</source>
        <translation>Найдено %1 из %2</translation>
    </message>
</context>
<context>
    <name>TfrmTrans</name>
    <message>
        <source>Exchange</source>
        <translation>Обмен</translation>
    </message>
    <message>
        <source>Undefined</source>
        <translation>Неопределен</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Прервать</translation>
    </message>
    <message>
        <source>Sending handshake packets</source>
        <translation>Посылка пакетов согласования</translation>
    </message>
    <message>
        <source>Programming</source>
        <translation>Программирование</translation>
    </message>
    <message>
        <source>No answer from the device</source>
        <translation>Нет ответа от устройства</translation>
    </message>
    <message>
        <source>Checksum not confirmed</source>
        <translation>Нет подтверждения контрольной суммы</translation>
    </message>
    <message>
        <source>Programming finished</source>
        <translation>Программирование завершено</translation>
    </message>
    <message>
        <source>Programming stopped</source>
        <translation>Прграммирование прервано</translation>
    </message>
</context>
<context>
    <name>exchange</name>
    <message>
        <source>unknown error</source>
        <translation>неизвестная ошибка</translation>
    </message>
</context>
<context>
    <name>image</name>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>Не удается открыть файл &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>Stream read error</source>
        <translation>Ошибка чтения потока</translation>
    </message>
    <message>
        <source>Cannot open file &quot;%1&quot;. Not a regular file</source>
        <translation>Не удается открыть файл &quot;%1&quot;. Это не обычный файл</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is an ELF file (a linker&apos;s output), not an image: convert it first, for example with objcopy -O ihex &quot;%1&quot; image.hex</source>
        <translation>&quot;%1&quot; — файл ELF (вывод компоновщика), а не образ: сначала преобразуйте его, например: objcopy -O ihex &quot;%1&quot; image.hex</translation>
    </message>
    <message>
        <source>File &quot;%1&quot; is too large: %2 bytes, the device takes at most 65536 bytes</source>
        <translation>Файл &quot;%1&quot; слишком велик: %2 байт, устройство принимает не более 65536 байт</translation>
    </message>
    <message>
        <source>Out of memory while expanding memory stream</source>
        <translation>Недостаточно памяти при расширении потока в памяти</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: &apos;%3&apos; is not a hexadecimal digit</source>
        <translation>%1:%2: неверная запись: &apos;%3&apos; — не шестнадцатеричная цифра</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: byte %3 is not a hexadecimal digit</source>
        <translation>%1:%2: неверная запись: байт %3 — не шестнадцатеричная цифра</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: an odd number of hexadecimal digits</source>
        <translation>%1:%2: неверная запись: нечётное число шестнадцатеричных цифр</translation>
    </message>
    <message>
        <source>%1:%2: record at %3 lies outside the device&apos;s addresses 0000–FFFF</source>
        <translation>%1:%2: запись по адресу %3 лежит вне адресов устройства 0000–FFFF</translation>
    </message>
    <message>
        <source>%1:%2: record at %3 lies outside the device&apos;s addresses 0000–FFFF (its last byte would be at %4)</source>
        <translation>%1:%2: запись по адресу %3 лежит вне адресов устройства 0000–FFFF (её последний байт пришёлся бы на %4)</translation>
    </message>
    <message>
        <source>%1:%2: record puts %3 at %4, where line %5 put %6</source>
        <translation>%1:%2: запись помещает %3 по адресу %4, куда строка %5 поместила %6</translation>
    </message>
    <message>
        <source>%1:%2: the file holds no data: nothing to program</source>
        <translation>%1:%2: в файле нет данных: программировать нечего</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: it does not start with &apos;:&apos;</source>
        <translation>%1:%2: неверная запись: она начинается не с &apos;:&apos;</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: too short for a record</source>
        <translation>%1:%2: неверная запись: слишком коротка для записи</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: its length field says %3 data bytes, the line holds %4</source>
        <translation>%1:%2: неверная запись: поле длины говорит о %3 байтах данных, в строке их %4</translation>
    </message>
    <message>
        <source>%1:%2: bad checksum: the record has %3, its bytes give %4</source>
        <translation>%1:%2: неверная контрольная сумма: в записи %3, по её байтам выходит %4</translation>
    </message>
    <message>
        <source>%1:%2: unknown record type %3</source>
        <translation>%1:%2: неизвестный тип записи %3</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: a type %3 record carries %4 data bytes, not %5</source>
        <translation>%1:%2: неверная запись: запись типа %3 несёт %4 байт данных, а не %5</translation>
    </message>
    <message>
        <source>%1:%2: no end-of-file record (type 01) after the last line: the file may be cut short</source>
        <translation>%1:%2: после последней строки нет записи конца файла (тип 01): файл, возможно, обрезан</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: it does not start with &apos;S&apos;</source>
        <translation>%1:%2: неверная запись: она начинается не с &apos;S&apos;</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: no count</source>
        <translation>%1:%2: неверная запись: нет счётчика</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: its count says %3 bytes follow, the line holds %4</source>
        <translation>%1:%2: неверная запись: счётчик говорит о %3 байтах, в строке их %4</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: a count of %3 leaves no room for an S%4 record&apos;s %5-byte address and checksum</source>
        <translation>%1:%2: неверная запись: при счётчике %3 в записи S%4 нет места для %5-байтного адреса и контрольной суммы</translation>
    </message>
    <message>
        <source>%1:%2: malformed record: an S%3 record carries no data, this one %4 bytes</source>
        <translation>%1:%2: неверная запись: запись S%3 не несёт данных, а эта несёт %4 байт</translation>
    </message>
    <message>
        <source>%1:%2: count record says %3 data records, the file has %4 before it</source>
        <translation>%1:%2: запись-счётчик говорит о %3 записях данных, а в файле перед ней %4</translation>
    </message>
    <message>
        <source>%1:%2: no termination record (S7, S8 or S9) after the last line: the file may be cut short</source>
        <translation>%1:%2: после последней строки нет завершающей записи (S7, S8 или S9): файл, возможно, обрезан</translation>
    </message>
</context>
<context>
    <name>serial</name>
    <message>
        <source>Unable to open com port</source>
        <translation>Не удается открыть COM-порт</translation>
    </message>
    <message>
        <source>WriteFile function failed</source>
        <translation>Ошибка функции WriteFile</translation>
    </message>
    <message>
        <source>ReadFile function failed</source>
        <translation>Ошибка функции ReadFile</translation>
    </message>
    <message>
        <source>Invalid Async parameter</source>
        <translation>Неверный параметр Async</translation>
    </message>
    <message>
        <source>PurgeComm function failed</source>
        <translation>Ошибка функции PurgeComm</translation>
    </message>
    <message>
        <source>Unable to get async status</source>
        <translation>Не удается получить состояние Async</translation>
    </message>
    <message>
        <source>SetCommState function failed</source>
        <translation>Ошибка функции SetCommState</translation>
    </message>
    <message>
        <source>SetCommTimeouts failed</source>
        <translation>Ошибка SetCommTimeouts</translation>
    </message>
    <message>
        <source>SetupComm function failed</source>
        <translation>Ошибка функции SetupComm</translation>
    </message>
    <message>
        <source>ClearCommError function failed</source>
        <translation>Ошибка функции ClearCommError</translation>
    </message>
    <message>
        <source>GetCommModemStatus function failed</source>
        <translation>Ошибка функции GetCommModemStatus</translation>
    </message>
    <message>
        <source>EscapeCommFunction function failed</source>
        <translation>Ошибка функции EscapeCommFunction</translation>
    </message>
    <message>
        <source>TransmitCommChar function failed</source>
        <translation>Ошибка функции TransmitCommChar</translation>
    </message>
    <message>
        <source>Cannot set property while connected</source>
        <translation>Нельзя менять свойство, пока порт открыт</translation>
    </message>
    <message>
        <source>EnumPorts function failed</source>
        <translation>Ошибка функции EnumPorts</translation>
    </message>
    <message>
        <source>Failed to store settings</source>
        <translation>Не удалось сохранить настройки</translation>
    </message>
    <message>
        <source>Failed to load settings</source>
        <translation>Не удалось загрузить настройки</translation>
    </message>
    <message>
        <source>Link (un)registration failed</source>
        <translation>Ошибка регистрации (отмены регистрации) связи</translation>
    </message>
    <message>
        <source>Cannot change led state if SerialPort is selected</source>
        <translation>Нельзя менять состояние индикатора, если выбран SerialPort</translation>
    </message>
    <message>
        <source>Cannot wait for event if event thread is created</source>
        <translation>Нельзя ждать событие, если создан поток событий</translation>
    </message>
    <message>
        <source>WaitForEvent method failed</source>
        <translation>Ошибка метода WaitForEvent</translation>
    </message>
    <message>
        <source>A component is linked to OnRxBuf event</source>
        <translation>К событию OnRxBuf привязан компонент</translation>
    </message>
    <message>
        <source>Registry error</source>
        <translation>Ошибка реестра</translation>
    </message>
</context>
</TS>
