# The Windows packages under Wine, sourced by scripts/wine-tests.sh after the window tests, whose
# display, window and far-end helpers it uses. scripts/package-windows.sh makes the installer
# and the zip; then, in a fresh Wine prefix of their own:
#   - a silent install (/S) puts the zip's files and the uninstaller into Program Files\Orvix, a
#     Start-menu entry for orvix.exe, and the uninstall entry (name, version, publisher, icon,
#     size) into the registry's 64-bit view, and leaves the PATH alone;
#   - the installed orvix-flash.exe programs orvix-devsim from a console;
#   - the installed orvix.exe programs it through "Загрузить" and keeps its ini in the user's
#     %APPDATA%\Orvix: its folder is made read-only first, as Program Files is to a user on
#     Windows (under Wine, run as root here, it can be written, and the ini would go beside it);
#   - a silent uninstall leaves none of the installed files, shortcuts or registry keys, and the
#     user's ini stays;
#   - orvix.exe from the unpacked zip keeps its ini beside itself;
#   - the installer and the uninstaller walked through page by page with Enter, choosing the PATH
#     for the current user on the options page: the folder is on the user's PATH, then off it.
# Screenshots of every page: build-win/wine-install/. Prints "wine-install: ..." last.

install_prefix=$work/install-prefix
install_locked=""

# Lets the install folder be written again, so that the uninstaller and the clean-up can
# remove it, and stops the prefix's Wine server.
stop_install_helpers() {
  [[ -n $install_locked ]] && { chattr -i "$install_locked" 2>/dev/null; chmod u+w "$install_locked" 2>/dev/null; }
  install_locked=""
  [[ -d $install_prefix ]] && WINEPREFIX=$install_prefix wineserver -k >/dev/null 2>&1
}

# Makes folder $1 read-only to this user as Windows makes Program Files to one who is not an
# administrator: permission bits bind a user, the immutable flag binds root too.
lock_folder() {
  if [[ $(id -u) -eq 0 ]]; then chattr +i "$1" 2>/dev/null || return 1
  else chmod a-w "$1" || return 1
  fi
  install_locked=$1
}

# The data of value $2 under registry key $1, in the 64-bit view; fails when there is none.
reg_value() {
  wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { $1 = $2 = ""; sub(/^ +/, ""); print; found = 1 }
                      END { exit !found }'
}

reg_key_exists() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

# Takes one page of a walk through window $2: a screenshot named $1, then Enter.
next_page() {
  sleep 1.5
  shot "$1" "$2"
  xdotool windowactivate --sync "$2" >/dev/null 2>&1
  xdotool key --window "$2" Return 2>/dev/null  # a last page may close by itself
}

# The user's PATH as the registry holds it (empty when unset).
user_path() { reg_value 'HKCU\Environment' PATH || reg_value 'HKCU\Environment' Path; }

run_install_tests() {
  echo "== wine: the installer and the zip"
  if [[ $window_built -eq 0 ]]; then
    echo "wine-install: SKIPPED: no orvix.exe, the program the packages are for (${ORVIX_WINE_WINDOW_SKIPPED:-no Qt for Windows; scripts/windows-qt.sh builds it})"
    return 1
  fi
  local started=$SECONDS
  if ! "$root/scripts/package-windows.sh" >"$logs/package-windows.txt" 2>&1; then
    fail "scripts/package-windows.sh failed (log: $logs/package-windows.txt)"
    return
  fi
  sed -n 's/^package-windows: /   /p' "$logs/package-windows.txt"
  local setup zip version
  setup=$(ls "$root/$win_build"/packages/orvix-*-win64-setup.exe 2>/dev/null)
  zip=$(ls "$root/$win_build"/packages/orvix-*-win64.zip 2>/dev/null)
  if [[ ! -f $setup || ! -f $zip ]]; then
    fail "scripts/package-windows.sh made no installer or zip (log: $logs/package-windows.txt)"
    return
  fi
  version=${zip##*/orvix-}
  version=${version%-win64.zip}
  "$root/scripts/bootstrap.sh" winwindow || { fail "the window tools did not install"; return; }

  local -x LC_ALL=C.UTF-8 WINEPREFIX=$install_prefix
  # winemenubuilder would copy the Start-menu entries into this machine's own menu.
  local -x WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  shots=$root/$win_build/wine-install
  rm -rf "$shots"
  mkdir -p "$shots"
  if ! start_display; then
    fail "no free X display among ${ORVIX_X_DISPLAYS:-80 81 82 83 84} (log: $logs/xvfb.txt)"
    return
  fi
  openbox --sm-disable >"$logs/install-openbox.txt" 2>&1 &
  window_pids+=($!)
  for _ in $(seq 50); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.2; done
  mkdir -p "$install_prefix"
  if ! timeout 300 wineboot -i </dev/null >"$logs/install-wineboot.txt" 2>&1; then
    fail "wineboot -i failed in the fresh prefix (log: $logs/install-wineboot.txt)"
    return
  fi
  wineserver -w
  wine reg add 'HKLM\Software\Wine\Ports' /v COM14 /d "$work/links/com14" /f \
    </dev/null >>"$logs/install-setup.txt" 2>&1
  wineserver -k >/dev/null 2>&1
  wineserver -w
  setsid wineserver -p 120 </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  note "a fresh prefix on display $DISPLAY; $(basename "$setup"), $(basename "$zip")"

  local dir="$install_prefix/drive_c/Program Files/Orvix" dir_win='C:\Program Files\Orvix'
  local uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvix'
  local portable=$work/Портативный/orvix-$version-win64
  mkdir -p "${portable%/*}"
  (cd "${portable%/*}" && cmake -E tar xf "$zip") ||
    { fail "the zip does not unpack"; return; }

  # The silent install.
  timeout 180 wine "$setup" /S </dev/null >"$logs/install.txt" 2>&1
  local status=$? expected actual differ=""
  expected=$( (cd "$portable" && find . -type f; echo ./Uninstall.exe) | sort)
  actual=$(cd "$dir" 2>/dev/null && find . -type f | sort)
  while read -r file; do
    cmp -s "$portable/$file" "$dir/$file" || differ+=" ${file#./}"
  done < <(cd "$portable" && find . -type f)
  if [[ $status -eq 0 && $expected == "$actual" && -z $differ &&
        -f $portable/orvix.exe && -f $portable/orvix-flash.exe && -f $portable/README.txt &&
        -f $portable/docs/json-output.md && -f $portable/LICENSE.txt ]]; then
    pass "/S installs the zip's programs and documents and Uninstall.exe into $dir_win"
  else
    fail "/S: exit $status; installed '$(echo $actual)', the zip's and Uninstall.exe" \
      "'$(echo $expected)'${differ:+, differing:$differ}"
  fi

  local link target=""
  link=$(find "$install_prefix/drive_c" -path '*/Start Menu/Programs/Orvix/Orvix.lnk' | head -n 1)
  [[ -n $link ]] && target=$(strings -a "$link" | grep -xF "$dir_win\\orvix.exe")
  if [[ -n $target ]]; then
    pass "the Start menu holds Orvix\\Orvix.lnk, which starts the installed orvix.exe"
  else
    fail "no Start-menu shortcut to the installed orvix.exe (found '${link:-nothing}')"
  fi

  local size_kib estimated
  size_kib=$(du -sk --apparent-size "$dir" 2>/dev/null | cut -f1)
  estimated=$(reg_value "$uninstall_key" EstimatedSize)
  [[ $estimated == 0x* ]] && estimated=$((estimated))
  if [[ $(reg_value "$uninstall_key" DisplayName) == Orvix &&
        $(reg_value "$uninstall_key" DisplayVersion) == "$version" &&
        $(reg_value "$uninstall_key" Publisher) == "Orvix developers" &&
        $(reg_value "$uninstall_key" DisplayIcon) == "$dir_win\\orvix.exe" &&
        $(reg_value "$uninstall_key" UninstallString) == "\"$dir_win\\Uninstall.exe\"" &&
        -n $estimated && $((estimated * 10)) -ge $((size_kib * 8)) &&
        $estimated -le $size_kib ]] &&
     ! reg_key_exists 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Orvix'
  then
    pass "the uninstall entry: Orvix $version by Orvix developers, orvix.exe's icon, $estimated KiB"
  else
    fail "the uninstall entry (64-bit view): $(wine reg query "$uninstall_key" </dev/null 2>&1 |
      tr -d '\r' | grep REG_ | tr -s ' ' | tr '\n' ';') folder $size_kib KiB"
  fi

  local options=$root/$win_build/packages/_CPack_Packages/win64/NSIS/NSIS.InstallOptions.ini
  local states
  states=$(awk -F= '/^\[Field/ { field = $0 } /^State=/ { printf "%s%s ", field, $2 }' "$options")
  if [[ $states == "[Field 2]1 [Field 3]0 [Field 4]0 [Field 5]0 " ]] &&
     [[ $(user_path) != *Orvix* ]] &&
     [[ $(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH) \
        != *Orvix* ]] &&
     ! (cd "$work" && wine cmd /c orvix-flash --version </dev/null >"$logs/path-silent.txt" 2>&1)
  then
    pass "the PATH is left alone: the options page's default, and all /S does"
  else
    fail "the PATH after /S: user '$(user_path)', options page $states" \
      "(orvix-flash from another folder: $(tr -d '\r' <"$logs/path-silent.txt" | head -n 1))"
  fi

  # orvix-flash.exe from a console, by its full name.
  local image=$work/installed-image.bin image_win memory=$work/installed-memory.bin
  head -c 20000 /dev/urandom >"$image"
  image_win=$(winepath -w "$image" 2>/dev/null </dev/null) || image_win=$image
  rm -f "$work/links/com14"
  if start_far_end flash_pty installed-devsim "$devsim" --name COM14 --device 5 --timeout 120 \
       --save "$memory"; then
    local sim_pid=${far_ends[-1]} flash_status sim_status printed
    ln -s "$flash_pty" "$work/links/com14"
    printed=$(wine "$dir/orvix-flash.exe" --version </dev/null 2>&1 | tr -d '\r')
    # As typed into a console: the program's full name, quoted for its spaces.
    printf '"%s\\orvix-flash.exe" --device 5 --wait 60 "%s"\r\n' "$dir_win" "$image_win" \
      >"$work/flash.bat"
    (cd "$work" && timeout 180 wine cmd /c flash.bat </dev/null >"$logs/installed-orvix-flash.txt" 2>&1)
    flash_status=$?
    wait "$sim_pid"
    sim_status=$?
    far_ends=()
    if [[ $flash_status -eq 0 && $sim_status -eq 0 && $printed == *"$version"* ]] &&
       cmp -s "$image" "$memory"; then
      pass "the installed orvix-flash.exe ($printed) programs the simulator from cmd"
    else
      fail "installed orvix-flash.exe: exit $flash_status, simulator $sim_status, --version" \
        "'$printed' (logs: $logs/installed-*)"
    fi
  else
    fail "orvix-devsim did not start"
  fi

  # The installed window program, its folder read-only as for a user on Windows.
  local user_ini="" user_ini_copy=$work/user-ini-copy locked=0
  lock_folder "$dir" && locked=1
  head -c 30000 /dev/urandom >"$image"
  if window_programs_device "$dir" "$image" installed-; then
    user_ini=$(find "$install_prefix/drive_c/users" -path '*/AppData/Roaming/Orvix/orvix.ini' |
      head -n 1)
    if [[ $locked -eq 0 ]]; then
      skipped=$((skipped + 1))
      note "skip where the ini goes: $dir cannot be made read-only here (chattr +i refused)"
      user_ini=""
    elif [[ -n $user_ini && $(head -n 1 "$user_ini") == $'[TfmMain]\r' && ! -e $dir/orvix.ini ]]
    then
      pass "with its folder read-only, the installed orvix.exe keeps its ini in %APPDATA%\\Orvix"
      cp "$user_ini" "$user_ini_copy"
    else
      fail "the installed orvix.exe's ini: '${user_ini:-none in %APPDATA%\\Orvix}'$(
        [[ -e $dir/orvix.ini ]] && echo ", and one beside it")"
      user_ini=""
    fi
  fi
  chattr -i "$dir" 2>/dev/null
  chmod u+w "$dir" 2>/dev/null
  install_locked=""
  # Unlocked, the program wrote its ini beside itself, which the uninstaller rightly leaves.
  [[ $locked -eq 0 ]] && rm -f "$dir/orvix.ini"

  # The silent uninstall: it copies itself away and returns at once, so its end is awaited.
  timeout 60 wine "$dir/Uninstall.exe" /S </dev/null >"$logs/uninstall.txt" 2>&1
  for _ in $(seq 120); do [[ -e $dir ]] || break; sleep 0.5; done
  local left=""
  [[ -e $dir ]] && left+=" files: $(ls -A "$dir" | tr '\n' ' ')"
  [[ -n $(find "$install_prefix/drive_c" -path '*/Start Menu/Programs/Orvix*') ]] &&
    left+=" the Start-menu folder"
  reg_key_exists "$uninstall_key" && left+=" the uninstall entry"
  reg_key_exists 'HKLM\Software\Orvix developers' && left+=" HKLM\\Software\\Orvix developers"
  [[ -n $user_ini ]] && ! cmp -s "$user_ini" "$user_ini_copy" && left+=" (and the user's ini is gone)"
  if [[ -z $left ]]; then
    pass "/S uninstalls every file, shortcut and key$([[ -n $user_ini ]] &&
      echo "; the user's orvix.ini stays")"
  else
    fail "after the silent uninstall:$left"
  fi

  # The zip's folder: the window program keeps its ini beside itself.
  (cd "$portable" && exec wine orvix.exe </dev/null >"$logs/portable-orvix.txt" 2>&1) &
  local app_pid=$! main
  if main=$(wait_for_window "$window_caption" 90); then
    sleep 1
    click "$main" 332 76
    if wait_for_exit "$app_pid" 30 && [[ $(head -n 1 "$portable/orvix.ini" 2>/dev/null) == \
         $'[TfmMain]\r' ]] && { [[ -z $user_ini ]] || cmp -s "$user_ini" "$user_ini_copy"; }; then
      pass "orvix.exe from the unpacked zip keeps its ini beside itself"
    else
      fail "the zip's orvix.exe: ini beside it '$(ls "$portable"/*.ini 2>/dev/null)'" \
        "(log: $logs/portable-orvix.txt)"
      kill "$app_pid" 2>/dev/null
    fi
  else
    fail "the zip's orvix.exe showed no window (log: $logs/portable-orvix.txt)"
    kill "$app_pid" 2>/dev/null
  fi

  walk_installer_pages "$setup" "$version" "$dir" "$dir_win"
  stop_install_helpers
  stop_window_helpers
  unset DISPLAY
  note "screenshots: $shots; the packages' part took $((SECONDS - started)) s"
}

# The installer as a user sees it: every page taken with Enter but the options page, where the
# PATH for the current user is picked (the third of its choices, two steps down). Then the
# uninstaller the same way.
walk_installer_pages() {
  local setup=$1 version=$2 dir=$3 dir_win=$4 window page
  (cd "$work" && exec wine "$setup" </dev/null >"$logs/install-pages.txt" 2>&1) &
  local setup_pid=$!
  if ! window=$(wait_for_window "Orvix Setup" 60); then
    fail "the installer showed no window titled 'Orvix Setup'"
    shot installer-missing root
    kill "$setup_pid" 2>/dev/null
    return
  fi
  for page in 1-welcome 2-license; do next_page "installer-$page" "$window"; done
  sleep 1.5
  shot installer-3-options "$window"
  xdotool key --window "$window" Down Down
  next_page installer-3-options-chosen "$window"
  for page in 4-folder 5-start-menu; do next_page "installer-$page" "$window"; done
  for _ in $(seq 60); do [[ -f $dir/Uninstall.exe ]] && break; sleep 0.5; done
  next_page installer-6-finish "$window"
  wait_for_exit "$setup_pid" 30 || kill "$setup_pid" 2>/dev/null
  local path
  path=$(user_path)
  if [[ ${path,,} == *"${dir_win,,}"* ]] &&
     (cd "$work" && wine cmd /c orvix-flash --version </dev/null 2>&1 | grep -qF "$version"); then
    pass "the installer's pages, the PATH chosen for the user: orvix-flash runs by its name"
  else
    fail "after the walk through the installer: the user's PATH '$path'"
  fi

  (cd "$work" && exec wine "$dir/Uninstall.exe" </dev/null >"$logs/uninstall-pages.txt" 2>&1) &
  if window=$(wait_for_window "Orvix Uninstall" 60); then
    next_page uninstaller-1-confirm "$window"
    for _ in $(seq 60); do [[ -e $dir ]] || break; sleep 0.5; done
    next_page uninstaller-2-finish "$window"
  else
    shot uninstaller-missing root
  fi
  path=$(user_path)
  if [[ ! -e $dir && ${path,,} != *"${dir_win,,}"* ]]; then
    pass "the uninstaller's pages remove the files and take the folder off the user's PATH"
  else
    fail "after the walk through the uninstaller: $([[ -e $dir ]] && echo "$dir is still there, ")" \
      "the user's PATH '$path'"
  fi
}

install_passed=$passed install_failed=$failed
if run_install_tests || [[ $passed -gt $install_passed || $failed -gt $install_failed ]]; then
  echo "wine-install: $((passed - install_passed)) passed, $((failed - install_failed)) failed"
fi
stop_install_helpers
stop_window_helpers
