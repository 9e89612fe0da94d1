<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>devsim</name>
    <message>
        <source>%1: &apos;%2&apos; lacks its &apos;=VALUE&apos;</source>
        <translation>%1: в &apos;%2&apos; нет &apos;=ЗНАЧЕНИЕ&apos;</translation>
    </message>
    <message>
        <source>port name in the first line&apos;s map entry (default COM9)</source>
        <translation>имя порта в записи карты в первой строке (по умолчанию COM9)</translation>
    </message>
    <message>
        <source>play the device on this terminal instead of a new pseudo-terminal; the first line is then &apos;serving PATH&apos;</source>
        <translation>играть устройство на этом терминале вместо нового псевдотерминала; первая строка тогда &apos;serving PATH&apos;</translation>
    </message>
    <message>
        <source>answer only frames for device N, as a device on a shared line would (default: answer every number, replying with the number the host sent)</source>
        <translation>отвечать только на кадры для устройства N, как устройство на общей линии (по умолчанию: отвечать на любой номер, с номером, который прислал хост)</translation>
    </message>
    <message>
        <source>exit after the first completed run (the default)</source>
        <translation>выйти после первого завершённого программирования (по умолчанию)</translation>
    </message>
    <message>
        <source>keep serving after each completed run, printing its result line, until SIGINT, SIGTERM or --timeout</source>
        <translation>продолжать работу после каждого завершённого программирования, выводя строку его итога, до SIGINT, SIGTERM или --timeout</translation>
    </message>
    <message>
        <source>give up after SEC seconds</source>
        <translation>прекратить через SEC секунд</translation>
    </message>
    <message>
        <source>at the end, write the memory to FILE: the range the checksum covered when it matched, else the whole range written</source>
        <translation>в конце записать память в FILE: диапазон, покрытый контрольной суммой, если она совпала, иначе весь записанный диапазон</translation>
    </message>
    <message>
        <source>at the end, compare the memory with FILE (binary, Intel HEX or S-record, chosen as the flasher chooses) over the file&apos;s range; a difference exits with 1</source>
        <translation>в конце сравнить память с FILE (двоичный, Intel HEX или S-record, формат выбирается как у прошивальщика) в диапазоне файла; при различии код выхода 1</translation>
    </message>
    <message>
        <source>drop a partial frame from the host after MS milliseconds (default 500)</source>
        <translation>отбросить неполный кадр от хоста через MS миллисекунд (по умолчанию 500)</translation>
    </message>
    <message>
        <source>send no reply to the selected frames</source>
        <translation>не отвечать на выбранные кадры</translation>
    </message>
    <message>
        <source>reply to the selected frames with a wrong checksum byte</source>
        <translation>отвечать на выбранные кадры с неверным байтом контрольной суммы</translation>
    </message>
    <message>
        <source>reply to the selected frames with device number N (default: the host&apos;s number + 1)</source>
        <translation>отвечать на выбранные кадры с номером устройства N (по умолчанию: номер хоста + 1)</translation>
    </message>
    <message>
        <source>reply to the selected frames with command CMD (e.g. 1 or 3 to a block frame)</source>
        <translation>отвечать на выбранные кадры командой CMD (например, 1 или 3 на кадр блока)</translation>
    </message>
    <message>
        <source>instead of replying to the selected frames, send COUNT noise bytes (default 1) with stray 0xD1 bytes, the last one 0xD1, so the host starts a frame that never completes</source>
        <translation>вместо ответа на выбранные кадры послать COUNT байт шума (по умолчанию 1) со случайными байтами 0xD1, последний 0xD1, чтобы хост начал кадр, который никогда не закончится</translation>
    </message>
    <message>
        <source>send the replies to the selected frames (default: all) MS ms late</source>
        <translation>посылать ответы на выбранные кадры (по умолчанию: на все) с опозданием MS мс</translation>
    </message>
    <message>
        <source>send the reply to the selected frames twice, the second MS ms (default 2) after the first and in a write of its own (--twice ping: a device whose second answer crosses the hand-over)</source>
        <translation>посылать ответ на выбранные кадры дважды, второй через MS мс (по умолчанию 2) после первого и отдельной записью (--twice ping: устройство, чей второй ответ приходит во время передачи порта)</translation>
    </message>
    <message>
        <source>after each block frame the device is busy for MS ms, as a microcontroller writing its flash: bytes that arrive meanwhile are lost, and the block&apos;s reply goes out at its end</source>
        <translation>после каждого кадра блока устройство занято MS мс, как микроконтроллер, пишущий свою флеш-память: байты, пришедшие за это время, теряются, а ответ на блок уходит в конце</translation>
    </message>
    <message>
        <source>write every reply in pieces of BYTES bytes with MS ms between them (default 10)</source>
        <translation>писать каждый ответ кусками по BYTES байт с промежутком MS мс (по умолчанию 10)</translation>
    </message>
    <message>
        <source>send every received byte straight back, as a looped-back line does; with --silent the line is a plain loop with no device</source>
        <translation>отправлять каждый принятый байт сразу обратно, как закольцованная линия; с --silent линия - просто петля без устройства</translation>
    </message>
    <message>
        <source>the device hears and stores but never writes; frames are still counted</source>
        <translation>устройство слышит и запоминает, но никогда не пишет; кадры по-прежнему считаются</translation>
    </message>
    <message>
        <source>close the line when the block frame after the Nth arrives (0: at the first block)</source>
        <translation>закрыть линию, когда придёт кадр блока после N-го (0: на первом блоке)</translation>
    </message>
    <message>
        <source>hear nothing until MS ms after the start (no reply, nothing stored), as a board put into the fixture later</source>
        <translation>ничего не слышать первые MS мс от начала (без ответа, ничего не запоминается), как плата, вставленная в приспособление позже</translation>
    </message>
    <message>
        <source>pace the line at RATE baud, 10 bits a byte, both ways: a reply starts only once the frame&apos;s bytes would have crossed the line, and goes out at that rate</source>
        <translation>держать темп линии RATE бод, 10 бит на байт, в обе стороны: ответ начинается, лишь когда байты кадра прошли бы по линии, и уходит с этой скоростью</translation>
    </message>
    <message>
        <source>serve the line at the lowest real-time priority where allowed, so that a paced line keeps its time on a busy machine (for benchmarks)</source>
        <translation>обслуживать линию с наименьшим приоритетом реального времени, где это разрешено, чтобы линия с темпом держала время на занятой машине (для замеров)</translation>
    </message>
    <message>
        <source>show this text</source>
        <translation>показать этот текст</translation>
    </message>
    <message>
        <source>Usage: orvix-devsim [options]
Plays the programmer&apos;s device on a new pseudo-terminal. The first line printed is the
port map entry to use, e.g. COM9=/dev/pts/4 (for ORVIX_PORTS). The device answers pings,
stores written blocks in a 64 KiB memory, answers the checksum frame and checks it. At
the end it prints the memory range written and whether the checksum matched.
</source>
        <translation>Запуск: orvix-devsim [параметры]
Играет устройство программатора на новом псевдотерминале. Первая выведенная строка -
запись карты портов, например COM9=/dev/pts/4 (для ORVIX_PORTS). Устройство отвечает на
опрос, запоминает записанные блоки в памяти 64 КиБ, отвечает на кадр контрольной суммы и
проверяет её. В конце выводит записанный диапазон памяти и совпала ли контрольная сумма.
</translation>
    </message>
    <message>
        <source>SEL picks received frames: KIND:N (the Nth frame of that kind), KIND:N+ (the Nth and
every later one) or KIND (all of them). KIND is ping, block, checksum, any, or a command
number. Fault options may be repeated; the first rule that matches a frame applies.
Examples: --drop block:3  --drop checksum  --corrupt block:2+  --reply-command block=3

Exit status: 0 a run completed and its checksum matched; 1 it did not match, or the memory
differs from --expect; 2 no run completed (time-out, signal, hang-up, line failure);
3 --save failed; 64 bad usage or an --expect file that cannot be loaded.
With --serve the status is that of the last completed run.
</source>
        <translation>SEL выбирает принятые кадры: KIND:N (N-й кадр этого вида), KIND:N+ (N-й и все
следующие) или KIND (все). KIND: ping, block, checksum, any или номер команды.
Параметры сбоев можно повторять; применяется первое правило, подходящее к кадру.
Примеры: --drop block:3  --drop checksum  --corrupt block:2+  --reply-command block=3

Код выхода: 0 программирование завершено и контрольная сумма совпала; 1 не совпала или
память отличается от --expect; 2 ни одно программирование не завершилось (время вышло,
сигнал, обрыв, сбой линии); 3 --save не удался; 64 неверный запуск или файл --expect не
загружается. С --serve код - по последнему завершённому программированию.
</translation>
    </message>
    <message>
        <source>%1 needs %2</source>
        <translation>%1 требует %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs a value</source>
        <translation>&apos;%1&apos; требует значения</translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation>неизвестный параметр &apos;%1&apos;</translation>
    </message>
    <message>
        <source>wrote %1-%2 in %3 block frames</source>
        <translation>записано %1-%2 за кадров блоков: %3</translation>
    </message>
    <message>
        <source>nothing written</source>
        <translation>ничего не записано</translation>
    </message>
    <message>
        <source>; no checksum received</source>
        <translation>; контрольная сумма не получена</translation>
    </message>
    <message>
        <source>; checksum %1 matched (%2-%3)</source>
        <translation>; контрольная сумма %1 совпала (%2-%3)</translation>
    </message>
    <message>
        <source>; checksum %1 did not match (memory sums to %2)</source>
        <translation>; контрольная сумма %1 не совпала (сумма памяти %2)</translation>
    </message>
    <message>
        <source>nothing was written, %1 not saved</source>
        <translation>ничего не записано, %1 не сохранён</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удаётся записать %1: %2</translation>
    </message>
    <message>
        <source>saved %1-%2 to %3</source>
        <translation>%1-%2 сохранено в %3</translation>
    </message>
    <message>
        <source>memory equals %1 over %2</source>
        <translation>память совпадает с %1 в диапазоне %2</translation>
    </message>
    <message>
        <source>memory differs from %1 over %2: %3 bytes, the first at %4 (%5, the file has %6)</source>
        <translation>память отличается от %1 в диапазоне %2: байт: %3, первый по адресу %4 (%5, в файле %6)</translation>
    </message>
    <message>
        <source>run %1: %2</source>
        <translation>программирование %1: %2</translation>
    </message>
    <message>
        <source>%1 is empty</source>
        <translation>%1 пуст</translation>
    </message>
    <message>
        <source>no run completed within %1 s</source>
        <translation>ни одно программирование не завершилось за %1 с</translation>
    </message>
    <message>
        <source>hung up as asked, after %1 block frames</source>
        <translation>линия закрыта, как просили, после кадров блоков: %1</translation>
    </message>
    <message>
        <source>no complete run: %1</source>
        <translation>нет завершённого программирования: %1</translation>
    </message>
    <message>
        <source>lost %1 bytes that arrived while busy after a block</source>
        <translation>потеряно байт, пришедших во время занятости после блока: %1</translation>
    </message>
    <message>
        <source>%1 (see --help)</source>
        <translation>%1 (см. --help)</translation>
    </message>
    <message>
        <source>frame selector &apos;%1&apos;</source>
        <translation>выбор кадров &apos;%1&apos;</translation>
    </message>
    <message>
        <source>frame selector &apos;%1&apos;: unknown kind &apos;%2&apos; (ping, block, checksum, any, or a command number)</source>
        <translation>выбор кадров &apos;%1&apos;: неизвестный вид &apos;%2&apos; (ping, block, checksum, any или номер команды)</translation>
    </message>
    <message>
        <source>%1: &apos;%2&apos; is not a number from %3 to %4</source>
        <translation>%1: &apos;%2&apos; - не число от %3 до %4</translation>
    </message>
    <message>
        <source>cannot read the settings of %1</source>
        <translation>не удаётся прочитать настройки %1</translation>
    </message>
    <message>
        <source>cannot set raw mode on %1</source>
        <translation>не удаётся включить сырой режим на %1</translation>
    </message>
    <message>
        <source>cannot open a pseudo-terminal</source>
        <translation>не удаётся открыть псевдотерминал</translation>
    </message>
    <message>
        <source>grantpt on a new pseudo-terminal failed</source>
        <translation>grantpt на новом псевдотерминале не удался</translation>
    </message>
    <message>
        <source>unlockpt on a new pseudo-terminal failed</source>
        <translation>unlockpt на новом псевдотерминале не удался</translation>
    </message>
    <message>
        <source>cannot name the slave of a new pseudo-terminal</source>
        <translation>не удаётся получить имя подчинённого нового псевдотерминала</translation>
    </message>
    <message>
        <source>cannot open %1</source>
        <translation>не удаётся открыть %1</translation>
    </message>
    <message>
        <source>cannot make the master of %1 non-blocking</source>
        <translation>не удаётся сделать ведущий %1 неблокирующим</translation>
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
</TS>
