<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
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
    <name>flash</name>
    <message>
        <source>no serial port to ping</source>
        <translation>нет последовательных портов для опроса</translation>
    </message>
    <message>
        <source>port %1: %2</source>
        <translation>порт %1: %2</translation>
    </message>
    <message>
        <source>no answer, given up</source>
        <translation>нет ответа, опрос прекращён</translation>
    </message>
    <message>
        <source>%1: cannot open: %2</source>
        <translation>%1: не удаётся открыть: %2</translation>
    </message>
    <message>
        <source>cannot write the frame log &quot;%1&quot;: %2</source>
        <translation>не удаётся записать журнал кадров &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>cannot write the frame log: %1</source>
        <translation>не удаётся записать журнал кадров: %1</translation>
    </message>
    <message>
        <source>image &quot;%1&quot; is empty: nothing to program</source>
        <translation>образ &quot;%1&quot; пуст: программировать нечего</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot;: %2</source>
        <translation>не удаётся прочитать &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>%1: %2, addresses %3-%4</source>
        <translation>%1: %2, адреса %3-%4</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n device(s) programmed</source>
        <comment>%1: how many were programmed; %n: of how many</comment>
        <translation>
            <numerusform>%1 из %n устройства запрограммированы</numerusform>
            <numerusform>%1 из %n устройств запрограммированы</numerusform>
            <numerusform>%1 из %n устройств запрограммированы</numerusform>
        </translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>неизвестная ошибка</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>серийный номер %1</translation>
    </message>
    <message>
        <source>driver %1</source>
        <translation>драйвер %1</translation>
    </message>
    <message>
        <source>no port matches --port-filter %1; ports seen:%2</source>
        <translation>ни один порт не подходит под --port-filter %1; найдены порты:%2</translation>
    </message>
    <message>
        <source>none</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>cannot list the serial ports: %1</source>
        <translation>не удаётся получить список последовательных портов: %1</translation>
    </message>
    <message>
        <source>no such port: %1; ports:%2</source>
        <translation>нет такого порта: %1; порты:%2</translation>
    </message>
    <message numerus="yes">
        <source>nothing to fix: %n port(s) checked</source>
        <comment>%n: how many ports</comment>
        <translation>
            <numerusform>исправлять нечего: проверен %n порт</numerusform>
            <numerusform>исправлять нечего: проверено %n порта</numerusform>
            <numerusform>исправлять нечего: проверено %n портов</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>help</name>
    <message>
        <source>  -d, --device N     device number 0..255 (decimal, or hexadecimal with 0x),
                     default 0
  -p, --port NAME    ping only this port: a name that --list-ports prints, or
                     on Linux a device path
      --port-filter KEY=VALUE
                     ping, list or check only the ports that match; KEY is
                     vid, pid (hex), serial, driver or name (a shell pattern:
                     &apos;COM1*&apos;). Repeat it: different keys must all match, a
                     repeated key is an alternative
  -b, --baud RATE    line speed: 1200 2400 4800 9600 19200 38400 57600 (default)
                     115200 230400 460800 921600
      --reset LINE   hold dtr or rts off, then on, on each port before its first
                     ping, to reset a board into its boot loader; needs --port
                     or --port-filter
      --reset-ms MS  how long --reset holds the line off: 1..10000, default 100
      --long         with --list-ports: a table with USB ids, serial number,
                     description and by-id path
      --json         one JSON object a line on stdout: the run&apos;s events (see
                     docs/json-output.md), the ports of --list-ports, the
                     findings of --check and its summary
      --all          every device that answers gets the image, all at once (a
                     production line); one line per port as its run ends, then
                     how many were programmed
      --expect N     with --all: stop looking once N devices answered (1..4096)
      --check        inspect the machine and the ports, one line per problem
                     with what to do (exit 0: nothing to fix, 1: something)
      --log FILE     write the frame log to FILE, in the out.txt line format
                     (CR LF line ends)
  -w, --wait SEC     give up when no device has answered within SEC seconds,
                     to 10 ms (default: wait until interrupted); with --all:
                     look for devices this long, from the start
  -f, --format FMT   the image file&apos;s format: auto (default), bin, ihex or srec
  -q, --quiet        print only errors and the final result (--all: and each
                     port&apos;s result)
  -h, --help         usage;  --version  version
</source>
        <translation>  -d, --device N     номер устройства 0..255 (десятичный или шестнадцатеричный
                     с 0x), по умолчанию 0
  -p, --port NAME    опрашивать только этот порт: имя, которое выводит
                     --list-ports, или в Linux путь к устройству
      --port-filter KEY=VALUE
                     опрашивать, выводить или проверять только подходящие
                     порты; KEY: vid, pid (шестнадцатеричные), serial, driver
                     или name (шаблон оболочки: &apos;COM1*&apos;). Можно повторять:
                     разные ключи должны совпасть все, повторённый ключ -
                     это вариант
  -b, --baud RATE    скорость линии: 1200 2400 4800 9600 19200 38400 57600
                     (по умолчанию) 115200 230400 460800 921600
      --reset LINE   перед первым опросом каждого порта снять и снова выставить
                     dtr или rts, чтобы сбросить плату в загрузчик; требует
                     --port или --port-filter
      --reset-ms MS  сколько --reset держит линию снятой: 1..10000, по
                     умолчанию 100
      --long         с --list-ports: таблица с кодами USB, серийным номером,
                     описанием и путём by-id
      --json         по объекту JSON на строку в stdout: события
                     программирования (см. docs/json-output.md), порты
                     --list-ports, находки --check и итог
      --all          образ получает каждое ответившее устройство, все сразу
                     (производственная линия); по строке на порт по мере
                     окончания, затем сколько запрограммировано
      --expect N     с --all: закончить поиск, когда ответят N устройств
                     (1..4096)
      --check        проверить машину и порты, по строке на каждую проблему
                     с тем, что делать (код 0: исправлять нечего, 1: есть что)
      --log FILE     писать журнал кадров в FILE в формате строк out.txt
                     (концы строк CR LF)
  -w, --wait SEC     прекратить, если ни одно устройство не ответило за SEC
                     секунд, с точностью 10 мс (по умолчанию: ждать до
                     прерывания); с --all: столько искать устройства от начала
  -f, --format FMT   формат файла образа: auto (по умолчанию), bin, ihex
                     или srec
  -q, --quiet        выводить только ошибки и итог (--all: и итог каждого
                     порта)
  -h, --help         справка;  --version  версия
</translation>
    </message>
    <message>
        <source>Formats: auto takes the file&apos;s extension (.bin binary; .hex .ihx .ihex Intel
HEX; .s19 .s28 .s37 .srec .mot .s S-record), else its first line if that is a
valid record, else binary. An ELF file is refused unless --format bin asks for
its raw bytes.
Range: a binary from 0000 up to its last byte, as in the window; an Intel HEX
or S-record file from its lowest to its highest address, gaps filled with FF,
started lower where the last 128-byte block would otherwise run past FFFF. Both
are shown before the run.
Environment (Linux): ORVIX_PORTS, the serial device map
&quot;COM1=/dev/ttyUSB0;COM7=/dev/pts/3&quot;.
</source>
        <translation>Форматы: auto выбирает по расширению файла (.bin двоичный; .hex .ihx .ihex
Intel HEX; .s19 .s28 .s37 .srec .mot .s S-record), иначе по первой строке, если
это верная запись, иначе двоичный. Файл ELF отвергается, если только --format
bin не просит его байты как есть.
Диапазон: у двоичного файла от 0000 до последнего байта, как в окне; у Intel
HEX и S-record от наименьшего до наибольшего адреса, пропуски заполнены FF,
с началом ниже, если иначе последний 128-байтный блок вышел бы за FFFF. Оба
показываются перед программированием.
Окружение (Linux): ORVIX_PORTS, карта последовательных устройств
&quot;COM1=/dev/ttyUSB0;COM7=/dev/pts/3&quot;.
</translation>
    </message>
    <message>
        <source>Every port is pinged at once (on Linux the soft limit of open descriptors is
raised to the hard limit first). A port that cannot be opened is skipped and,
unless --quiet, named once on stderr with the cause:
  orvix-flash: COM7 (/dev/ttyUSB3): cannot open: Permission denied
and for the first port refused for lack of permission, which group to join;
for a port another program holds, that program&apos;s PID and command.
When no port is left to ping, every port given up on is named before the final
text. Output that can no longer be written (a closed pipe, a full disk) is
dropped: the run goes on to its end and the exit status still tells the
outcome. On a terminal the progress bar fits its width, also after a resize.
</source>
        <translation>Все порты опрашиваются одновременно (в Linux мягкий предел открытых
дескрипторов сначала поднимается до жёсткого). Порт, который не открывается,
пропускается и, без --quiet, один раз называется в stderr с причиной:
  orvix-flash: COM7 (/dev/ttyUSB3): не удаётся открыть: Permission denied
а для первого порта, закрытого из-за прав, - в какую группу вступить; для
порта, занятого другой программой, - PID и команда этой программы.
Когда опрашивать больше нечего, перед итоговым текстом называются все
оставленные порты. Вывод, который больше не записать (закрытый канал, полный
диск), отбрасывается: программирование идёт до конца, и код выхода всё равно
сообщает итог. В терминале полоса хода занимает его ширину, и после изменения
размера тоже.
</translation>
    </message>
    <message>
        <source>With --all, the runs go on side by side while the other ports are still
pinged, until --expect devices answered or --wait is over; the frame log
(--log) is for a single run.
</source>
        <translation>С --all программирование идёт параллельно, пока остальные порты ещё
опрашиваются, до ответа --expect устройств или до конца --wait; журнал кадров
(--log) - только для одиночного программирования.
</translation>
    </message>
    <message>
        <source>Exit status:
  0   programming finished (--all: on every device that answered, and at
      least --expect)
  1   the device stopped answering (a frame unanswered twice in a row, or the
      checksum not confirmed; --all: on any device); --check found something
      to fix; the ports cannot be listed
  2   stopped by SIGINT, SIGTERM or SIGHUP (stopped exactly like the stop
      button; --all: every run)
  3   no device answered: within --wait, or on any port left to ping; or no
      port matches --port-filter; or --port names no port of the machine;
      --all: fewer than --expect devices answered, and none failed
  64  usage error (unknown option, bad device number, --baud, --reset,
      --port-filter or --expect, missing IMAGE, a word after --list-ports,
      --check or --version, --reset without --port or --port-filter, --all
      without --wait or --expect, or with --log, --list-ports or --check)
  66  the image cannot be used: missing or unreadable, empty, larger than
      65536 bytes, an ELF file, or a damaged, cut-short or out-of-range Intel
      HEX or S-record file
  73  the frame log (--log) cannot be written
  78  ORVIX_PORTS has a bad entry (a configuration error)
</source>
        <translation>Код выхода:
  0   программирование завершено (--all: на каждом ответившем устройстве, и
      их не меньше --expect)
  1   устройство перестало отвечать (кадр дважды подряд без ответа или
      контрольная сумма не подтверждена; --all: на любом устройстве); --check
      нашёл, что исправить; список портов не получить
  2   прервано сигналом SIGINT, SIGTERM или SIGHUP (точно как кнопкой
      прерывания; --all: всё программирование)
  3   ни одно устройство не ответило: за --wait или ни на одном порту из
      оставшихся; или ни один порт не подходит под --port-filter; или --port
      называет порт, которого на машине нет; --all: ответило меньше --expect
      устройств, и ни одно не отказало
  64  ошибка запуска (неизвестный параметр, неверный номер устройства,
      --baud, --reset, --port-filter или --expect, не указан IMAGE, слово
      после --list-ports, --check или --version, --reset без --port или
      --port-filter, --all без --wait или --expect, или с --log, --list-ports
      или --check)
  66  образ нельзя использовать: файла нет или он не читается, пуст, больше
      65536 байт, это файл ELF, или файл Intel HEX или S-record повреждён,
      обрезан или выходит за диапазон
  73  журнал кадров (--log) не записать
  78  в ORVIX_PORTS неверная запись (ошибка настройки)
</translation>
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
    <name>run</name>
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
        <source>%1-%2, %3 bytes in %4 s (%5 KB/s), checksum %6 confirmed</source>
        <translation>%1-%2, %3 байт за %4 с (%5 КБ/с), контрольная сумма %6 подтверждена</translation>
    </message>
    <message>
        <source>%1-%2, %3 bytes: %4 blocks sent in %5 s, checksum %6</source>
        <translation>%1-%2, %3 байт: отправлено блоков %4 за %5 с, контрольная сумма %6</translation>
    </message>
    <message>
        <source>%1-%2, %3 bytes: %4 blocks sent in %5 s, checksum %6 not confirmed</source>
        <translation>%1-%2, %3 байт: отправлено блоков %4 за %5 с, контрольная сумма %6 не подтверждена</translation>
    </message>
    <message>
        <source>%1: no answer to block %2</source>
        <translation>%1: нет ответа на блок %2</translation>
    </message>
    <message>
        <source>%1: no answer to the checksum</source>
        <translation>%1: нет ответа на контрольную сумму</translation>
    </message>
    <message>
        <source>Ports pinged: %1, %2 s</source>
        <translation>Опрошено портов: %1, %2 с</translation>
    </message>
    <message>
        <source>%1: %2 (%3 s, %4)</source>
        <translation>%1: %2 (%3 с, %4)</translation>
    </message>
    <message>
        <source>%1: connection lost: %2</source>
        <translation>%1: связь потеряна: %2</translation>
    </message>
</context>
<context>
    <name>serial</name>
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
<context>
    <name>usage</name>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>option %1 takes no value</source>
        <translation>параметр %1 не принимает значения</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>параметру %1 нужно значение</translation>
    </message>
    <message>
        <source>bad device number &quot;%1&quot;: give 0..255, decimal or 0x hexadecimal</source>
        <translation>неверный номер устройства &quot;%1&quot;: укажите 0..255, десятичный или шестнадцатеричный с 0x</translation>
    </message>
    <message>
        <source>empty port name</source>
        <translation>пустое имя порта</translation>
    </message>
    <message>
        <source>empty log file name</source>
        <translation>пустое имя файла журнала</translation>
    </message>
    <message>
        <source>bad --wait value &quot;%1&quot;: give seconds, 0 or more</source>
        <translation>неверное значение --wait &quot;%1&quot;: укажите секунды, 0 или больше</translation>
    </message>
    <message>
        <source>bad --format value &quot;%1&quot;: give auto, bin, ihex or srec</source>
        <translation>неверное значение --format &quot;%1&quot;: укажите auto, bin, ihex или srec</translation>
    </message>
    <message>
        <source>bad --expect value &quot;%1&quot;: give a number of devices, 1 to %2</source>
        <translation>неверное значение --expect &quot;%1&quot;: укажите число устройств от 1 до %2</translation>
    </message>
    <message>
        <source>bad --baud value &quot;%1&quot;: give one of %2</source>
        <translation>неверное значение --baud &quot;%1&quot;: укажите одно из %2</translation>
    </message>
    <message>
        <source>bad --reset value &quot;%1&quot;: give dtr or rts</source>
        <translation>неверное значение --reset &quot;%1&quot;: укажите dtr или rts</translation>
    </message>
    <message>
        <source>bad --reset-ms value &quot;%1&quot;: give milliseconds, 1 to %2</source>
        <translation>неверное значение --reset-ms &quot;%1&quot;: укажите миллисекунды от 1 до %2</translation>
    </message>
    <message>
        <source>bad --port-filter &quot;%1&quot;: %2</source>
        <translation>неверный --port-filter &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>more than one IMAGE: &quot;%1&quot; and &quot;%2&quot;</source>
        <translation>больше одного IMAGE: &quot;%1&quot; и &quot;%2&quot;</translation>
    </message>
    <message>
        <source>--long and --json exclude each other</source>
        <translation>--long и --json исключают друг друга</translation>
    </message>
    <message>
        <source>--check and --list-ports exclude each other</source>
        <translation>--check и --list-ports исключают друг друга</translation>
    </message>
    <message>
        <source>--port and --port-filter exclude each other: give one port or filters</source>
        <translation>--port и --port-filter исключают друг друга: укажите один порт или фильтры</translation>
    </message>
    <message>
        <source>--long goes with --list-ports</source>
        <translation>--long используется с --list-ports</translation>
    </message>
    <message>
        <source>--all goes with a run, not with --list-ports or --check</source>
        <translation>--all используется с программированием, а не с --list-ports или --check</translation>
    </message>
    <message>
        <source>--log goes with a single run, not --all</source>
        <translation>--log используется с одиночным программированием, а не с --all</translation>
    </message>
    <message>
        <source>--expect goes with --all</source>
        <translation>--expect используется с --all</translation>
    </message>
    <message>
        <source>--reset-ms goes with --reset</source>
        <translation>--reset-ms используется с --reset</translation>
    </message>
    <message>
        <source>--reset needs --port or --port-filter: only ports chosen are reset</source>
        <translation>--reset требует --port или --port-filter: сбрасываются только выбранные порты</translation>
    </message>
    <message>
        <source>stray word &quot;%1&quot;: %2 takes no IMAGE</source>
        <translation>лишнее слово &quot;%1&quot;: %2 не принимает IMAGE</translation>
    </message>
    <message>
        <source>--all needs --wait SEC or --expect N: when is discovery over?</source>
        <translation>--all требует --wait SEC или --expect N: когда заканчивать поиск?</translation>
    </message>
    <message>
        <source>missing IMAGE</source>
        <translation>не указан IMAGE</translation>
    </message>
    <message>
        <source>Usage: </source>
        <translation>Запуск: </translation>
    </message>
    <message>
        <source>Try &apos;orvix-flash --help&apos; for more.</source>
        <translation>Подробнее: &apos;orvix-flash --help&apos;.</translation>
    </message>
    <message>
        <source>bad command line: %1</source>
        <translation>неверная командная строка: %1</translation>
    </message>
</context>
</TS>
