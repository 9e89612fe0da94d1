# The window program under Wine, sourced by scripts/wine-tests.sh once its Wine prefix, COM port
# map ($work/links/comN), far-end helpers and counters are set up. On an Xvfb display with a
# window manager it runs the placement record's test program, then orvix.exe as a user would:
#   - the main window appears with its caption, the image named on the command line loaded;
#   - "Загрузить" programs orvix-devsim on a COM port whose far end is a pseudo-terminal, and the
#     simulator's memory equals the image; the exchange window shows while it runs;
#   - "Выход" closes it and the ini file beside the executable holds the nine keys;
#   - a placement written the way the Linux build writes it puts the window there, and is saved
#     back as it was read;
#   - with two simulators answering on COM13 and COM14, "Порт" set to COM13 programs that one
#     alone, and the choice is in the ini file's [Port] section.
# Screenshots: build-win/wine-window/*.png (for people to look at). Prints "wine-window: ..." last.
# Displays are taken from ORVIX_X_DISPLAYS (numbers, default "80 81 82 83 84"): the first free one.

window_caption='Программатор "Orvix"'
exchange_caption='Обмен'
window_pids=()

stop_window_helpers() { stop_all window_pids; }

# Starts Xvfb on the first free display of the list and sets DISPLAY.
start_display() {
  local n
  for n in ${ORVIX_X_DISPLAYS:-80 81 82 83 84}; do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$logs/xvfb.txt" 2>&1 &
    window_pids+=($!)
    for _ in $(seq 100); do
      [[ -e /tmp/.X11-unix/X$n ]] && { export DISPLAY=:$n; return 0; }
      kill -0 "${window_pids[-1]}" 2>/dev/null || break
      sleep 0.1
    done
  done
  return 1
}

# The id of the top-level window whose title is exactly $1, empty when there is none.
window_id() {
  wmctrl -l 2>/dev/null | awk -v title="$1" '{
    id = $1; $1 = $2 = $3 = ""; sub(/^ +/, ""); if ($0 == title) print id }' | head -n 1
}

# The titles of the top-level windows other than the main one (error boxes, for one).
other_windows() {
  wmctrl -l | awk -v title="$window_caption" '{
    id = $1; $1 = $2 = $3 = ""; sub(/^ +/, ""); if ($0 != title) print "\"" $0 "\"" }'
}

# Waits up to $2 seconds for the window titled $1 and prints its id.
wait_for_window() {
  local id
  for _ in $(seq $(($2 * 5))); do
    id=$(window_id "$1")
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; its status is left in window_status.
wait_for_exit() {
  for _ in $(seq $(($2 * 5))); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; window_status=$?; return 0; }
    sleep 0.2
  done
  return 1
}

# A click into the client area of window $1 at client point $2,$3.
click() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# A screenshot of the screen, or of window $2 with its frame cut out of one. ImageMagick's own
# window capture can wait for ever on a window that goes away meanwhile, so the screen is taken.
shot() {
  local crop=()
  if [[ $2 != root ]]; then
    local geometry
    geometry=$(xwininfo -frame -id "$2" 2>/dev/null | awk '
      /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
      /Width:/ { w = $NF } /Height:/ { h = $NF }
      END { if (w != "") printf "%dx%d+%d+%d", w, h, x, y }')
    [[ -n $geometry ]] && crop=(-crop "$geometry" +repage)
  fi
  timeout 20 import -window root "${crop[@]}" "$shots/$1.png" 2>/dev/null
}

# Top-left corner of window $1's client area on the screen.
client_origin() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    END { if (x != "") print x, y }'
}

# Top-left corner of window $1's frame (the window manager's decoration) on the screen.
frame_origin() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X/ { ax = $NF } /Absolute upper-left Y/ { ay = $NF }
    /Relative upper-left X/ { rx = $NF } /Relative upper-left Y/ { ry = $NF }
    END { if (ax != "") print ax - rx, ay - ry }'
}

# Starts the Linux build's window program in folder $1 and leaves its window id in
# linux_window and its process in linux_pid.
run_linux_window() {
  (cd "$1" && QT_QPA_PLATFORM=xcb exec ./orvix </dev/null >>"$logs/linux-orvix.txt" 2>&1) &
  linux_pid=$!
  linux_window=$(wait_for_window "$window_caption" 30) && sleep 1 && return 0
  kill "$linux_pid" 2>/dev/null
  return 1
}

close_linux_window() {
  click "$1" 332 76
  wait_for_exit "$linux_pid" 30 || kill "$linux_pid" 2>/dev/null
}

ini_value() {
  tr -d '\r' <"$1" | sed -n "s/^$2=//p" | head -n 1
}

# orvix.exe in folder $1 as a user meets it, with the image $2 (a Linux path) named on its
# command line: its main window comes up with the image loaded (no error box), "Загрузить" opens
# the exchange window and programs orvix-devsim on COM14 until the simulator's memory equals the
# image, "Выход" ends it. $3 starts the names of its screenshots and logs. Leaves the main
# window's id in main_window and its client area's place in first_origin; returns non-zero when
# the program did not come up or did not end, where the caller stops.
window_programs_device() {
  local dir=$1 image=$2 tag=$3 memory=$work/${3}window-memory.bin image_win
  image_win=$(winepath -w "$image" 2>/dev/null </dev/null) || image_win=$image
  rm -f "$work/links/com14" "$memory"
  if ! start_far_end window_pty "${tag}devsim-window" "$devsim" --name COM14 --device 0 \
       --realtime --timeout 180 --save "$memory"; then
    fail "orvix-devsim did not start"
    return 1
  fi
  local sim_pid=${far_ends[-1]}
  ln -s "$window_pty" "$work/links/com14"

  (cd "$dir" && exec wine orvix.exe "$image_win" </dev/null >"$logs/${tag}orvix-window.txt" 2>&1) &
  local app_pid=$!
  if ! main_window=$(wait_for_window "$window_caption" 90); then
    fail "no window captioned '$window_caption' within 90 s (log: $logs/${tag}orvix-window.txt)"
    shot "${tag}no-main-window" root
    kill "$app_pid" 2>/dev/null
    return 1
  fi
  pass "the main window appears captioned '$window_caption'"
  sleep 1
  shot "${tag}main-window" "$main_window"
  local others
  others=$(other_windows)
  if [[ -z $others ]]; then
    pass "the image named on the command line loads without an error box"
  else
    fail "other windows beside the main one after the start: $others"
    shot "${tag}start-error" root
  fi
  first_origin=$(client_origin "$main_window")

  click "$main_window" 52 76
  local exchange
  if exchange=$(wait_for_window "$exchange_caption" 30); then
    sleep 1
    shot "${tag}exchange-window" "$exchange"
    shot "${tag}exchange-screen" root
    pass "'Загрузить' opens the exchange window '$exchange_caption'"
  else
    fail "'Загрузить' opened no window captioned '$exchange_caption'"
    shot "${tag}no-exchange-window" root
  fi

  if wait_for_exit "$sim_pid" 150; then
    local sim_status=$window_status
    far_ends=()
    if [[ $sim_status -eq 0 ]] && cmp -s "$image" "$memory"; then
      pass "the device's memory equals the 30000-byte image"
    else
      fail "simulator exit $sim_status, memory $(cmp -s "$image" "$memory" &&
        echo equal || echo differs) (log: $logs/${tag}devsim-window.txt)"
    fi
  else
    fail "the simulator was not programmed within 150 s"
  fi
  for _ in $(seq 50); do [[ -z $(window_id "$exchange_caption") ]] && break; sleep 0.2; done
  sleep 1
  shot "${tag}main-window-after-run" "$main_window"

  click "$main_window" 332 76
  if wait_for_exit "$app_pid" 30; then
    pass "'Выход' ends the program (exit $window_status)"
  else
    fail "'Выход' did not end the program within 30 s"
    kill "$app_pid" 2>/dev/null
    return 1
  fi
}

# orvix.exe in folder $1 with the image $2: the port chooser set to COM13 while devices answer on
# COM13 and COM14 programs COM13's alone; the choice lands in orvix.ini's own section.
window_programs_chosen_port() {
  local dir=$1 image=$2 image_win n
  image_win=$(winepath -w "$image" 2>/dev/null </dev/null) || image_win=$image
  local -A sims=()
  for n in 13 14; do
    rm -f "$work/links/com$n" "$work/chosen-memory$n.bin"
    if ! start_far_end chosen_pty "devsim-chosen$n" "$devsim" --name "COM$n" --device 0 \
         --timeout 120 --save "$work/chosen-memory$n.bin"; then
      fail "orvix-devsim did not start on COM$n"
      return 1
    fi
    sims[$n]=${far_ends[-1]}
    ln -s "$chosen_pty" "$work/links/com$n"
  done
  (cd "$dir" && exec wine orvix.exe "$image_win" </dev/null >"$logs/orvix-window-chosen.txt" 2>&1) &
  local app_pid=$!
  local main
  if ! main=$(wait_for_window "$window_caption" 90); then
    fail "no main window for the port chooser's check (log: $logs/orvix-window-chosen.txt)"
    kill "$app_pid" 2>/dev/null
    return 1
  fi
  sleep 1
  # Open the list, find the port by typing its name, take it with Enter.
  click "$main" 145 106
  sleep 1
  shot chooser-open root
  xdotool type --delay 50 COM13
  xdotool key Return
  sleep 1
  shot chooser-com13 "$main"
  click "$main" 52 76
  if wait_for_exit "${sims[13]}" 90; then
    local sim_status=$window_status
    if [[ $sim_status -eq 0 ]] && cmp -s "$image" "$work/chosen-memory13.bin"; then
      pass "'Порт' set to COM13: the device on COM13 holds the image"
    else
      fail "COM13's simulator exit $sim_status (log: $logs/devsim-chosen13.txt)"
    fi
  else
    fail "the device on COM13 was not programmed within 90 s"
    shot chooser-no-run root
  fi
  sleep 2
  if kill -0 "${sims[14]}" 2>/dev/null && [[ ! -s $work/chosen-memory14.bin ]] &&
     ! grep -q 'checksum' "$logs/devsim-chosen14.txt"; then
    pass "the device on COM14 was left alone"
  else
    fail "COM14 was written to as well (log: $logs/devsim-chosen14.txt)"
  fi
  click "$main" 332 76
  wait_for_exit "$app_pid" 30 || kill "$app_pid" 2>/dev/null
  if [[ $(tr -d '\r' <"$dir/orvix.ini" | sed -n '/^\[Port\]/,/^\[/s/^Name=//p') == COM13 ]]; then
    pass "the choice is remembered in orvix.ini, section [Port]"
  else
    fail "orvix.ini has no [Port] Name=COM13: $(tr '\r\n' '| ' <"$dir/orvix.ini")"
  fi
  stop_far_ends
  rm -f "$work/links/com13" "$work/links/com14"
}

run_window_tests() {
  local exe=$root/$win_build/app/orvix.exe started=$SECONDS
  echo "== wine: orvix.exe, the window program"
  if [[ $window_built -eq 0 || ! -f $exe ]]; then
    echo "wine-window: SKIPPED: ${ORVIX_WINE_WINDOW_SKIPPED:-orvix.exe was not built (no Qt for \
Windows; scripts/windows-qt.sh builds it)}"
    return 1
  fi
  "$root/scripts/bootstrap.sh" winwindow || { fail "the window tools did not install"; return; }
  # Wine turns the Unix command line into the Windows one in the locale's character set: the
  # Cyrillic file name below must arrive as UTF-8 is read.
  local -x LC_ALL=C.UTF-8
  shots=$root/$win_build/wine-window
  rm -rf "$shots"
  mkdir -p "$shots"

  if ! start_display; then
    fail "no free X display among ${ORVIX_X_DISPLAYS:-80 81 82 83 84} (log: $logs/xvfb.txt)"
    return
  fi
  openbox --sm-disable >"$logs/openbox.txt" 2>&1 &
  window_pids+=($!)
  for _ in $(seq 50); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.2; done
  note "display $DISPLAY with openbox"

  # Wine's desktop process takes the display it starts with: start the server again on this one.
  wineserver -k >/dev/null 2>&1
  wineserver -w
  setsid wineserver -p 120 </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1

  run_gtest placement_win_tests "$root/$win_build/tests/placement/placement_win_tests.exe"

  # Cyrillic folder and file names: the program must open them as the user typed them.
  local app=$work/Программатор image=$work/Прошивки/образ.bin
  mkdir -p "$app" "${image%/*}"
  cp "$exe" "$app/orvix.exe"
  head -c 30000 /dev/urandom >"$image"

  window_programs_device "$app" "$image" "" || return
  local app_pid main others

  local ini=$app/orvix.ini keys expected_keys
  expected_keys="FormVersion Flags ShowCmd PixelsPerInch MinMaxPos(1024x768) MinMaxPos NormPos(1024x768) NormPos Visible"
  keys=$(tr -d '\r' <"$ini" 2>/dev/null | sed -n 's/^\([^=[]*\)=.*/\1/p' | tr '\n' ' ')
  if [[ "$(head -n 1 "$ini" 2>/dev/null)" == $'[TfmMain]\r' && "${keys% }" == "$expected_keys" &&
        $(ini_value "$ini" Visible) == 0 && $(grep -c $'\r$' "$ini") -eq 10 ]]; then
    pass "orvix.ini beside the executable holds [TfmMain] and its nine keys, in CR LF lines"
  else
    fail "orvix.ini: $(tr '\r' '|' <"$ini" 2>/dev/null | tr '\n' ' ')"
  fi

  # Both builds read each other's files: the Linux build opens where this file says, then
  # writes a file of its own (LF lines) with the window moved, which orvix.exe follows.
  local linux_app=$work/linux
  mkdir -p "$linux_app"
  if ! cmake --build "$root/$linux_build" -j"$jobs" --target orvix >"$logs/linux-orvix-build.txt" 2>&1; then
    fail "the Linux window program did not build (log: $logs/linux-orvix-build.txt)"
  else
    cp "$root/$linux_build/app/orvix" "$linux_app/orvix"
    local norm left top right bottom
    norm=$(ini_value "$ini" NormPos)
    IFS=, read -r left top right bottom <<<"$norm"
    cp "$ini" "$linux_app/orvix.ini"
    run_linux_window "$linux_app" && local linux_main=$linux_window || linux_main=""
    if [[ -n $linux_main && "$(frame_origin "$linux_main")" == "$left $top" ]]; then
      pass "the Linux build opens at the place orvix.exe saved ($norm)"
    else
      fail "the Linux build's frame is at '$(frame_origin "$linux_main")', orvix.exe saved $norm"
    fi
    [[ -n $linux_main ]] && close_linux_window "$linux_main"

    rm -f "$linux_app/orvix.ini"
    if run_linux_window "$linux_app"; then
      wmctrl -i -r "$linux_window" -e 0,60,40,-1,-1
      sleep 1
      close_linux_window "$linux_window"
    fi
    local moved
    moved=$(ini_value "$linux_app/orvix.ini" NormPos 2>/dev/null)
    if [[ -z $moved ]]; then
      fail "the Linux build wrote no NormPos"
    else
      cp "$linux_app/orvix.ini" "$ini"
      # "/l" this time: the frame-log switch, not an image file to open.
      (cd "$app" && exec wine orvix.exe /l </dev/null >"$logs/orvix-window-2.txt" 2>&1) &
      app_pid=$!
      if main=$(wait_for_window "$window_caption" 90); then
        sleep 1
        shot main-window-moved root
        others=$(other_windows)
        if [[ -z $others ]]; then
          pass "'/l' is taken as the frame-log switch, not as an image to open"
        else
          fail "other windows beside the main one after starting with '/l': $others"
        fi
        local mleft mtop x0 y0 x1 y1
        IFS=, read -r mleft mtop _ <<<"$moved"
        read -r x0 y0 <<<"$first_origin"
        read -r x1 y1 <<<"$(client_origin "$main")"
        if [[ -n $x1 && $((x0 - x1)) -eq $((left - mleft)) && $((y0 - y1)) -eq $((top - mtop)) ]]; then
          pass "orvix.exe opens where the Linux build's file says ($moved)"
        else
          fail "orvix.exe's client at $x1,$y1 for $moved; it was at $x0,$y0 for $norm"
        fi
        # The close box this time, as a user would.
        wmctrl -c "$window_caption"
        # The main window's size is fixed, so its frame is the window system's own: the place
        # comes back as the Linux build wrote it, the size as orvix.exe saved it the first time.
        local expected_norm="$mleft,$mtop,$((mleft + right - left)),$((mtop + bottom - top))"
        if wait_for_exit "$app_pid" 30 && [[ $(ini_value "$ini" NormPos) == "$expected_norm" &&
              $(grep -c $'\r' "$ini") -eq 0 ]]; then
          pass "closing saves that place back ($expected_norm), keeping the file's LF lines"
        else
          fail "after closing: NormPos '$(ini_value "$ini" NormPos)', expected '$expected_norm'"
          kill "$app_pid" 2>/dev/null
        fi
      else
        fail "the second start showed no main window (log: $logs/orvix-window-2.txt)"
        kill "$app_pid" 2>/dev/null
      fi
    fi
  fi

  window_programs_chosen_port "$app" "$image"

  wineserver -k >/dev/null 2>&1
  stop_window_helpers
  unset DISPLAY
  note "screenshots: $shots; the window part took $((SECONDS - started)) s"
}

# The part's own counts: what it added to the run's.
window_passed=$passed window_failed=$failed
if run_window_tests || [[ $passed -gt $window_passed || $failed -gt $window_failed ]]; then
  echo "wine-window: $((passed - window_passed)) passed, $((failed - window_failed)) failed"
fi
stop_window_helpers
