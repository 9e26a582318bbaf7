#!/usr/bin/env bash
# The real tovix on a virtual X display with a window manager and a tray host: it starts
# on a generated settings file, shows its window and its tray icon, backs up a new file,
# stops backing up under Hold and Disable chosen from the menu, opens the Backup menu
# from the tray, pauses a running pass in the pause window, and ends with status 0 through
# Exit. Screenshots of each step are saved for review.
#   gui_end_to_end.sh <tovix program> <screenshot folder>
# Exit status 77 (skipped) when Xvfb, openbox, trayer, xdotool or import is missing or
# does not start.
set -uo pipefail

program="$1"
shots="$2"
source "$(dirname "$0")/x_session.sh"
require_x_tools

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/tovix.log" ] && grep -v "	コピー	" "$work/tovix.log" | tail -n 12 >&2
  [ -f "$work/stdout.log" ] && grep -v "^ALSA" "$work/stdout.log" | tail -n 30 >&2
  exit 1
}

log_has() { grep -q -- "$1" "$work/tovix.log" 2>/dev/null; }
shot() { import -window root "$shots/$1.png" && echo "screenshot $shots/$1.png"; }

mkdir -p "$shots" "$work/src" "$work/bak" "$work/config"
echo "first" >"$work/src/first.txt"
settings="$work/e2e.TVX"
printf '%s\r\n' "[Setting]" "BakCopyPath=$work/bak" "FileChkInterval=1" "BakDelayTime=1" "DispDetailInfo=1" \
  "LogFile=$work/tovix.log" "Recycle2=$work/recycle" "[Startup]" "cp=0" "[Backup]" "Files=1" "No0=$work/src" \
  "Sub0=1" >"$settings"

start_x_session

XDG_CONFIG_HOME="$work/config" "$program" -i "$settings" >"$work/stdout.log" 2>&1 &
tovix=$!
pids+=($tovix)

wait_for 30 'log_has "バックアップ処理可能な状態です"' || fail "monitoring did not start"
frame="$(xdotool search --name "e2e.TVX - Vesk Realtime Backup" | head -n 1)"
[ -n "$frame" ] || fail "the main window is not shown"
# The tray host holds an embedded icon window.
wait_for 10 '[ "$(xwininfo -children -id "$tray" | grep -c "child")" -gt 0 ]' || fail "no tray icon"
echo "window $frame, tray icon in $tray"

backup="$work/bak$work/src"
echo "second" >"$work/src/second.txt"
wait_for 20 '[ -f "$backup/second.txt" ]' || fail "a new file was not backed up"
wait_for 10 'log_has "コピー.*second.txt"' || fail "the copy was not reported"
sleep 1
shot 1-main-window-with-rows

# Keys typed into the Backup menu. Two of its items share the mnemonic O (disable, open
# another settings file): the first press selects disable, Return chooses it.
menu() {
  xdotool windowactivate --sync "$frame" 2>/dev/null
  xdotool key --window "$frame" alt+b
  sleep 0.5
  xdotool key "$@"
  sleep 0.5
}

# Hold, chosen from the Backup menu: changes are not backed up.
menu h
wait_for 10 'log_has "バックアップ処理は保留中です"' || fail "Hold was not reported"
echo "held" >"$work/src/held.txt"
sleep 4
[ -f "$backup/held.txt" ] && fail "backed up under Hold"
# Disable as well, then Hold off: still nothing is backed up.
menu o Return
wait_for 10 'log_has "バックアップ処理は禁止中です"' || fail "Disable was not reported"
menu h
sleep 4
[ -f "$backup/held.txt" ] && fail "backed up while disabled"
shot 2-hold-and-disabled

# The tray's menu: the Backup popup at the icon.
read -r tray_x tray_y < <(xwininfo -id "$tray" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x+110, y+12}')
xdotool mousemove "$tray_x" "$tray_y" click 3
sleep 1
shot 3-tray-menu
xdotool key Escape
sleep 0.5

# Enabled again, a long pass over many files is paused.
menu o Return
wait_for 10 '[ "$(grep -c "バックアップ処理可能な状態です" "$work/tovix.log")" -ge 2 ]' || fail "enabling was not reported"
# The menu follows the state at the polls, so a pass that ends within a poll or two
# cannot be paused: a larger batch is tried then.
paused=""
batch=""
for round in 1 2 3; do
  batch="many$round"
  mkdir -p "$work/$batch"
  for i in $(seq 1 $((3000 * round))); do echo "$i" >"$work/$batch/f$i.txt"; done
  done_before="$(grep -c "	完了	" "$work/tovix.log")"
  mv "$work/$batch" "$work/src/$batch"
  for ((i = 0; i < 100; i++)); do
    sleep 0.2
    xdotool key --window "$frame" ctrl+p
    if log_has "バックアップ一時停止中"; then paused=1; break; fi
    # The pass ended without the pause.
    [ "$(grep -c "	完了	" "$work/tovix.log")" -gt "$done_before" ] && [ "$i" -gt 10 ] && break
  done
  [ -n "$paused" ] && break
done
[ -n "$paused" ] || fail "the pass could not be paused"
sleep 1
shot 4-pause-window
count="$(find "$backup/$batch" -type f 2>/dev/null | wc -l)"
sleep 2
[ "$(find "$backup/$batch" -type f 2>/dev/null | wc -l)" -eq "$count" ] || fail "the pass went on during the pause"
pause="$(xdotool search --name "^Vesk Realtime Backup$" | tail -n 1)"
xdotool windowactivate --sync "$pause" 2>/dev/null
xdotool key --window "$pause" Escape
wait_for 90 '[ "$(find "$backup/$batch" -type f | wc -l)" -eq $((3000 * round)) ]' || fail "the pass did not resume"

# Minimised, the window lives in the tray; a left click on the icon brings it back.
# A window in the task bar is among the window manager's clients; a hidden one is not.
viewable() { xwininfo -id "$frame" | grep -q "IsViewable"; }
managed() { xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$frame")\b"; }
managed || fail "the window manager does not list the main window"
xdotool windowminimize "$frame"
wait_for 10 '! managed' || fail "the minimised window was not hidden into the tray"
xdotool mousemove "$tray_x" "$tray_y" click 1
wait_for 10 'viewable' || fail "a left click on the tray icon did not bring the window back"

# Exit, with the question answered OK.
# The window has just come back from the tray: a key typed before it took the focus is
# lost, so the menu is tried again.
asked=""
for ((attempt = 0; attempt < 3; attempt++)); do
  menu x
  if wait_for 5 'xdotool search --name "^Vesk Realtime Backup$" >/dev/null'; then asked=1; break; fi
  xdotool key Escape Escape
done
[ -n "$asked" ] || fail "no exit question"
shot 5-exit-question
box="$(xdotool search --name "^Vesk Realtime Backup$" | tail -n 1)"
xdotool windowactivate --sync "$box" 2>/dev/null
xdotool key --window "$box" Return
for ((i = 0; i < 300; i++)); do kill -0 "$tovix" 2>/dev/null || break; sleep 0.1; done
kill -0 "$tovix" 2>/dev/null && fail "the program did not end after Exit"
wait "$tovix"
status=$?
check_exit_status "$status" "$work/stdout.log"
grep -q "CwFrameWnd" "$settings" || fail "the window placement was not saved"
echo "PASS: tovix under X with a window manager and a tray host"
