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
        <source>Binary files (*.bin)</source>
        <translation>Двоичные файлы (*.bin)</translation>
    </message>
    <message>
        <source>Any file (*.*)</source>
        <translation>Любой файл (*.*)</translation>
    </message>
    <message>
        <source>Images (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)</source>
        <translation>Образы (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)</translation>
    </message>
</context>
<context>
    <name>TPortChooser</name>
    <message>
        <source>%1 (absent)</source>
        <translation>%1 (отсутствует)</translation>
    </message>
    <message>
        <source>All ports</source>
        <translation>Все порты</translation>
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
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>File changed, image re-read</source>
        <translation>Файл изменён, образ перечитан</translation>
    </message>
    <message>
        <source>All devices</source>
        <translation>Все устройства</translation>
    </message>
    <message>
        <source>Expect</source>
        <translation>Ожидать</translation>
    </message>
    <message>
        <source>The image file &quot;%1&quot; is empty: nothing to program</source>
        <translation>Файл образа &quot;%1&quot; пуст: программировать нечего</translation>
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
    <message>
        <source>%1: no answer, given up</source>
        <translation>%1: нет ответа, порт оставлен</translation>
    </message>
    <message>
        <source>%1: cannot open: %2</source>
        <translation>%1: не удаётся открыть: %2</translation>
    </message>
    <message>
        <source>%1 bytes, %2 s, %3</source>
        <translation>%1 байт, %2 с, %3</translation>
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
    <name>filter</name>
    <message>
        <source>port filter &quot;%1&quot; is not KEY=VALUE</source>
        <translation>фильтр портов &quot;%1&quot; не в виде КЛЮЧ=ЗНАЧЕНИЕ</translation>
    </message>
    <message>
        <source>port filter &quot;%1&quot;: unknown key &quot;%2&quot; (vid, pid, serial, name or driver)</source>
        <translation>фильтр портов &quot;%1&quot;: неизвестный ключ &quot;%2&quot; (vid, pid, serial, name или driver)</translation>
    </message>
    <message>
        <source>port filter &quot;%1&quot;: empty value</source>
        <translation>фильтр портов &quot;%1&quot;: пустое значение</translation>
    </message>
    <message>
        <source>port filter &quot;%1&quot;: %2 is four hexadecimal digits, as 0403</source>
        <translation>фильтр портов &quot;%1&quot;: %2 — это четыре шестнадцатеричные цифры, например 0403</translation>
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
    <message>
        <source>automatic</source>
        <translation>автоматически</translation>
    </message>
    <message>
        <source>binary</source>
        <translation>двоичный</translation>
    </message>
    <message>
        <source>Intel HEX</source>
        <translation>Intel HEX</translation>
    </message>
    <message>
        <source>S-record</source>
        <translation>S-record</translation>
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
    <message>
        <source>%1 entry &apos;%2&apos; is not NAME=PATH</source>
        <translation>%1: запись &apos;%2&apos; не в виде ИМЯ=ПУТЬ</translation>
    </message>
    <message>
        <source>%1 entry &apos;%2&apos; needs an absolute device path</source>
        <translation>%1: в записи &apos;%2&apos; нужен абсолютный путь к устройству</translation>
    </message>
    <message>
        <source>%1 entry &apos;%2&apos; has a path where the port name belongs</source>
        <translation>%1: в записи &apos;%2&apos; путь стоит на месте имени порта</translation>
    </message>
    <message>
        <source>%1 entry &apos;%2&apos; repeats a port name</source>
        <translation>%1: запись &apos;%2&apos; повторяет имя порта</translation>
    </message>
</context>
<context>
    <name>setup</name>
    <message>
        <source>you are in group %1 but this login session is not yet: log in again (or run `newgrp %1` in this shell)</source>
        <translation>вы состоите в группе %1, но этот сеанс ещё нет: войдите в систему заново (или выполните `newgrp %1` в этой оболочке)</translation>
    </message>
    <message>
        <source>add yourself to group %1: sudo usermod -aG %1 $USER, then log in again</source>
        <translation>добавьте себя в группу %1: sudo usermod -aG %1 $USER, затем войдите в систему заново</translation>
    </message>
    <message>
        <source>the device node does not exist</source>
        <translation>файла устройства нет</translation>
    </message>
    <message>
        <source>plug the adapter in, or correct ORVIX_PORTS if it names this port</source>
        <translation>подключите адаптер или исправьте ORVIX_PORTS, если порт задан там</translation>
    </message>
    <message>
        <source>cannot be opened for reading and writing: %1</source>
        <translation>не открывается для чтения и записи: %1</translation>
    </message>
    <message>
        <source>no permission to open it (group %1, mode %2)</source>
        <translation>нет прав на открытие (группа %1, права %2)</translation>
    </message>
    <message>
        <source>ask the administrator for read and write access to %1</source>
        <translation>попросите администратора дать права на чтение и запись %1</translation>
    </message>
    <message>
        <source>in use by %1</source>
        <translation>занят: %1</translation>
    </message>
    <message>
        <source>end that program or close the port in it</source>
        <translation>завершите эту программу или закройте в ней порт</translation>
    </message>
    <message>
        <source>FTDI latency timer is %1 ms and the driver refused low-latency mode (%2): each block&apos;s reply waits that long</source>
        <translation>таймер задержки FTDI равен %1 мс, а драйвер отказал в режиме низкой задержки (%2): ответ на каждый блок ждёт столько же</translation>
    </message>
    <message>
        <source>the udev rules in %1 set it at plug-in: %2, then replug the adapter</source>
        <translation>правила udev в %1 задают его при подключении: %2, затем переподключите адаптер</translation>
    </message>
    <message>
        <source>set it at plug-in with the udev rule %1 in %2, then %3 and replug the adapter</source>
        <translation>задайте его при подключении правилом udev %1 в %2, затем %3 и переподключите адаптер</translation>
    </message>
    <message>
        <source>keep it off the adapter with the udev rule %1 (with your adapter&apos;s ids) in %2, then %4 and replug; or stop it: sudo systemctl stop ModemManager (disable to keep it stopped)</source>
        <translation>отстраните его от адаптера правилом udev %1 (с кодами вашего адаптера) в %2, затем %4 и переподключите адаптер; или остановите его: sudo systemctl stop ModemManager (disable, чтобы не запускался снова)</translation>
    </message>
    <message>
        <source>keep it off the adapter with the udev rule %1 (with your adapter&apos;s ids) in %2 (%3 writes it), then %4 and replug; or stop it: sudo systemctl stop ModemManager (disable to keep it stopped)</source>
        <translation>отстраните его от адаптера правилом udev %1 (с кодами вашего адаптера) в %2 (его запишет %3), затем %4 и переподключите адаптер; или остановите его: sudo systemctl stop ModemManager (disable, чтобы не запускался снова)</translation>
    </message>
    <message>
        <source>keep it off the adapter with the udev rule %1 in %2, then %4 and replug; or stop it: sudo systemctl stop ModemManager (disable to keep it stopped)</source>
        <translation>отстраните его от адаптера правилом udev %1 в %2, затем %4 и переподключите адаптер; или остановите его: sudo systemctl stop ModemManager (disable, чтобы не запускался снова)</translation>
    </message>
    <message>
        <source>keep it off the adapter with the udev rule %1 in %2 (%3 writes it), then %4 and replug; or stop it: sudo systemctl stop ModemManager (disable to keep it stopped)</source>
        <translation>отстраните его от адаптера правилом udev %1 в %2 (его запишет %3), затем %4 и переподключите адаптер; или остановите его: sudo systemctl stop ModemManager (disable, чтобы не запускался снова)</translation>
    </message>
    <message>
        <source>ModemManager is running (%1): it sends AT commands to every new serial port and may hold it</source>
        <translation>работает ModemManager (%1): он посылает AT-команды в каждый новый последовательный порт и может занять его</translation>
    </message>
    <message>
        <source>brltty is installed and its udev rules (%1) claim USB-serial bridges (%2): it takes such an adapter over and its port vanishes</source>
        <translation>установлен brltty, и его правила udev (%1) забирают мосты USB-serial (%2): он захватывает такой адаптер, и его порт пропадает</translation>
    </message>
    <message>
        <source>without a braille display remove it: sudo apt remove brltty; to keep it, stop it claiming adapters: sudo systemctl mask brltty-udev.service, then replug the adapter</source>
        <translation>если брайлевского дисплея нет, удалите его: sudo apt remove brltty; чтобы оставить, запретите ему забирать адаптеры: sudo systemctl mask brltty-udev.service, затем переподключите адаптер</translation>
    </message>
    <message>
        <source>no serial port found: %1 is set to &quot;%2&quot;, which names no COM port and replaces the machine&apos;s own</source>
        <translation>последовательных портов нет: %1 задана как &quot;%2&quot;, там нет ни одного COM-порта, а она заменяет порты машины</translation>
    </message>
    <message>
        <source>unset %1 to use the machine&apos;s serial ports, or give it entries such as COM1=/dev/ttyUSB0</source>
        <translation>уберите %1, чтобы работать с портами машины, или задайте в ней записи вида COM1=/dev/ttyUSB0</translation>
    </message>
    <message>
        <source>no serial port found</source>
        <translation>последовательных портов нет</translation>
    </message>
    <message>
        <source>connect the adapter and look for its driver: lsmod | grep -E &apos;ftdi_sio|ch341|cp210x|pl2303|cdc_acm&apos; and sudo dmesg | grep -i tty</source>
        <translation>подключите адаптер и проверьте его драйвер: lsmod | grep -E &apos;ftdi_sio|ch341|cp210x|pl2303|cdc_acm&apos; и sudo dmesg | grep -i tty</translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation>занят другой программой</translation>
    </message>
    <message>
        <source>close the program that has the port open (a terminal, an IDE&apos;s serial monitor)</source>
        <translation>закройте программу, открывшую порт (терминал, монитор порта в среде разработки)</translation>
    </message>
    <message>
        <source>the port does not exist</source>
        <translation>порта нет</translation>
    </message>
    <message>
        <source>plug the adapter in; Device Manager, Ports (COM &amp; LPT) lists the ports</source>
        <translation>подключите адаптер; порты перечислены в Диспетчере устройств, раздел «Порты (COM и LPT)»</translation>
    </message>
    <message>
        <source>cannot be opened (%1)</source>
        <translation>не открывается (%1)</translation>
    </message>
    <message>
        <source>FTDI latency timer is %1 ms: each block&apos;s reply waits that long</source>
        <translation>таймер задержки FTDI равен %1 мс: ответ на каждый блок ждёт столько же</translation>
    </message>
    <message>
        <source>Device Manager, Ports (COM &amp; LPT), %1, Properties, Port Settings, Advanced: set &quot;Latency Timer (msec)&quot; to 1</source>
        <translation>Диспетчер устройств, «Порты (COM и LPT)», %1, «Свойства», «Параметры порта», «Дополнительно»: задайте &quot;Latency Timer (msec)&quot; равным 1</translation>
    </message>
    <message>
        <source>connect the adapter and see in Device Manager whether its driver is installed (an unknown device or a yellow mark means it is not)</source>
        <translation>подключите адаптер и проверьте в Диспетчере устройств, установлен ли его драйвер (неизвестное устройство или жёлтый значок — не установлен)</translation>
    </message>
</context>
</TS>
