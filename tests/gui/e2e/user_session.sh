#!/usr/bin/env bash
# A user's first session with the real tovix on a virtual X desktop (window manager and
# tray host running), driven only by keyboard and mouse: menu and dialog mnemonics, Tab,
# typing into fields, windows found by their titles. After each step the outcome is
# checked on disk and in the log, and the screen is photographed; the photographs end up
# side by side on one contact sheet for review.
#   user_session.sh <tovix program> <screenshot folder> <contact sheet>
# Exit status 77 (skipped) only when the virtual desktop cannot be set up.
set -uo pipefail

program="$1"
shots="$2"
sheet="$3"
source "$(dirname "$0")/x_session.sh"
require_x_tools montage
started=$SECONDS

app="Vesk Realtime Backup"
home="$work/home"
config="$home/.config/tovix/Tovix.TVX"
backup="$work/backup"
log="$backup/TovixLog.txt"
source_folder="$home/Documents"
mirror="$backup$source_folder"

fail() {
  echo "FAIL after $((SECONDS - started)) s: $*" >&2
  shot "failure" >/dev/null 2>&1
  [ -f "$log" ] && grep -v "	コピー	" "$log" | tail -n 15 >&2
  grep -v "^ALSA" "$work/stdout.log" 2>/dev/null | tail -n 30 >&2
  [ -f "$log" ] && cp "$log" "$shots/failure-log.txt"
  exit 1
}

step=0
shot() {
  # The last change is painted before the photograph.
  sleep 0.5
  step=$((step + 1))
  local file
  file="$shots/$(printf '%02d' "$step")-$1.png"
  import -window root "$file" && echo "$((SECONDS - started)) s: screenshot $file"
}

note() { echo "$((SECONDS - started)) s: $*"; }
log_has() { grep -q -- "$1" "$log" 2>/dev/null; }
# No pass is running: the last pass start in the log has its end after it. Asked only
# once a pass has been seen at work.
pass_over() {
  grep -E "^i	[^	]*	[^	]*	(バックアップ開始|世代バックアップファイルを削除|完了)	" "$log" | tail -n 1 | grep -q "	完了	"
}
settle() { wait_for 60 pass_over || fail "a pass did not end"; }
log_count() { grep -c -- "$1" "$log" 2>/dev/null; }
setting() { tr -d '\r' <"$config" | grep -q -x -- "$1"; }
# The newest visible window with exactly this title (a countdown box adds "  [n]").
window_named() { xdotool search --onlyvisible --name "^$1( +\[[0-9]+\])?\$" 2>/dev/null | tail -n 1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# Gives a window the keyboard focus and types keys into it.
keys_to() {
  local window="$1"
  shift
  xdotool windowactivate --sync "$window" 2>/dev/null
  xdotool key --clearmodifiers --delay 60 "$@"
}

# Opens a menu of the main window by its mnemonic and types the keys of an item. The
# keys are sent again after Escape when no popup opened (a key typed while the window
# was still taking the focus is lost).
menu() {
  local mnemonic="$1" attempt
  shift
  for ((attempt = 0; attempt < 3; attempt++)); do
    keys_to "$frame" "alt+$mnemonic"
    if wait_for 3 'popup_open'; then
      xdotool key --delay 100 "$@"
      return 0
    fi
    xdotool key Escape
  done
  fail "the menu alt+$mnemonic did not open"
}
# A Qt popup is an override-redirect window of the program; a tooltip is one too, but a
# single line high.
popup_open() {
  local window info
  for window in $(xdotool search --onlyvisible --pid "$tovix" 2>/dev/null); do
    info="$(xwininfo -id "$window" 2>/dev/null)"
    grep -q "Override Redirect State: yes" <<<"$info" &&
      [ "$(awk '/^ *Height:/ {print $2}' <<<"$info")" -gt 40 ] && return 0
  done
  return 1
}

# Answers the box with this title by pressing keys in it; waits for it first.
answer_box() {
  local title="$1" box
  shift
  wait_for 20 'has_window "$title"' || fail "no window \"$title\""
  box="$(window_named "$title")"
  keys_to "$box" "$@"
  wait_for 10 '! xwininfo -id "$box" 2>/dev/null | grep -q IsViewable' || fail "\"$title\" did not close"
}

mkdir -p "$shots" "$home/bin" "$source_folder" "$backup"
rm -f "$shots"/*.png "$shots/failure-log.txt"
# The desktop's launcher: it records what the program asks it to open.
cat >"$home/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$@" >>"$work/opened.txt"
EOF
chmod +x "$home/bin/xdg-open"
# Where a graphical compare tool is installed the program starts it: the first one it
# tries stands in for it here and records what it was given.
compare_tool=""
if command -v meld kompare kdiff3 >/dev/null 2>&1; then
  compare_tool="$home/bin/meld"
  printf '#!/bin/sh\necho "$@" >>"%s/compared.txt"\n' "$work" >"$compare_tool"
  chmod +x "$compare_tool"
fi

start_x_session 1024x768

# ---- First start: no settings file yet.
HOME="$home" PATH="$home/bin:$PATH" XDG_CONFIG_HOME="" XDG_DATA_HOME="" "$program" >"$work/stdout.log" 2>&1 &
tovix=$!
pids+=($tovix)
wait_for 30 'has_window "Tovix.TVX - $app"' || fail "the main window is not shown"
frame="$(window_named "Tovix.TVX - $app")"
[ -f "$config" ] || fail "the template was not copied to $config"
grep -q "^No0=#" "$config" || fail "the settings file does not hold the template's sample setting"
# Without a destination the program opens its manual and says what to set up first.
wait_for 20 'grep -q "tovix.htm" "$work/opened.txt" 2>/dev/null' || fail "the manual was not opened"
wait_for 20 'has_window "$app"' || fail "no notice about the missing destination"
shot first-start-no-destination
answer_box "$app" Return
wait_for 10 '[ "$(xwininfo -children -id "$tray" | grep -c "child")" -gt 0 ]' || fail "no tray icon"
# The user makes the window larger.
xdotool windowsize --sync "$frame" 1000 600 windowmove --sync "$frame" 0 28 2>/dev/null

# ---- General settings: the destination typed in, a log file beside it, short intervals
# and the slowest processing speed (so that a large copy lasts long enough to pause it).
menu b g
wait_for 20 'has_window "一般設定 - .*Tovix.TVX"' || fail "the general settings did not open"
dialog="$(window_named "一般設定 - .*Tovix.TVX")"
keys_to "$dialog" alt+b ctrl+a
xdotool type --delay 20 "$backup"
# Destination, its "..", the free-space warning, then the processing speed.
xdotool key --delay 60 Tab Tab Tab End
# The "display / log" group: its first field, then Tab to the log file box.
xdotool key --delay 60 alt+d Tab Tab Tab Tab Tab space
# The "advanced" group starts with the detection interval, then the delay.
xdotool key --delay 60 alt+a ctrl+a 1 Tab ctrl+a 1
# The start-up options group: its sixth box asks no confirmation at exit; the user wants one.
xdotool key --delay 60 alt+o Tab Tab Tab Tab Tab space
shot general-settings
xdotool key Return
wait_for 10 '! has_window "一般設定 - .*Tovix.TVX"' || fail "the general settings did not close"
setting "BakCopyPath=$backup" || fail "the destination was not saved"
setting "LogFile=$log" || fail "the log file was not proposed beside the destination"
setting "BakWait=3" || fail "the processing speed was not saved"
setting "FileChkInterval=1" || fail "the detection interval was not saved"
setting "BakDelayTime=1" || fail "the delay was not saved"
setting "cp=0" || fail "the exit confirmation was not switched on"
# A new destination restarts the monitoring, which now writes the log.
wait_for 20 'log_has "バックアップ処理可能な状態です"' || fail "monitoring did not restart ready"
shot ready-with-destination

# ---- File settings: a source folder is added (from the template's sample setting, which
# stays unused by its leading "#"), its path typed into the folder chooser; OK restarts
# the monitoring with it.
note "source folder"
echo "old" >"$source_folder/notes.txt"
menu b f
wait_for 20 'has_window "ファイル設定 - .*Tovix.TVX"' || fail "the file settings did not open"
dialog="$(window_named "ファイル設定 - .*Tovix.TVX")"
keys_to "$dialog" alt+a
answer_box "$app" alt+y
# The chooser's title is the toolkit's own: it is found as the window that took the focus.
wait_for 20 'chooser="$(xdotool getactivewindow 2>/dev/null)"; [ -n "$chooser" ] && [ "$chooser" != "$dialog" ]' ||
  fail "no folder chooser for the new source"
keys_to "$chooser" ctrl+a
xdotool type --delay 20 "$source_folder"
shot add-source-folder
xdotool key Return
wait_for 10 '[ "$(xdotool getactivewindow 2>/dev/null)" = "$dialog" ]' || fail "the folder chooser did not close"
shot file-settings
keys_to "$dialog" Return
wait_for 10 '! has_window "ファイル設定 - .*Tovix.TVX"' || fail "the file settings did not close"
setting "Files=2" || fail "the new file setting was not saved"
setting "No1=$source_folder" || fail "the new source folder was not saved"
wait_for 20 'log_has "^i.*設定	$source_folder"' || fail "the new source folder is not monitored"
wait_for 20 '[ "$(log_count "バックアップ処理可能な状態です")" -ge 2 ]' || fail "monitoring did not restart ready"

# ---- Files written in the source are backed up and reported.
note "writing files"
echo "first" >"$source_folder/first.txt"
mkdir -p "$source_folder/sub"
echo "deeper" >"$source_folder/sub/deeper.txt"
wait_for 20 '[ -f "$mirror/sub/deeper.txt" ] && [ -f "$mirror/first.txt" ] && [ -f "$mirror/notes.txt" ]' ||
  fail "new files were not backed up"
settle
cmp -s "$source_folder/sub/deeper.txt" "$mirror/sub/deeper.txt" || fail "a backup differs from its source"
wait_for 10 'log_has "^F.*コピー.*deeper.txt"' || fail "the copy was not reported"
# A changed file keeps its previous backup as a generation file.
sleep 2.1
echo "newer" >"$source_folder/notes.txt"
wait_for 20 'grep -q newer "$mirror/notes.txt"' || fail "a changed file was not backed up again"
settle
ls "$mirror" | grep -q '^notes\.\$1\.txt$' || fail "no generation file of the changed file: $(ls "$mirror")"
shot rows-after-writing

# ---- A backup edited in place, so newer than its source, is never overwritten: the next
# pass reports it in the error list, which the user emptied before. The user selects the
# row and opens its properties.
note "newer backup"
menu v e
echo "edited in the backup" >>"$mirror/first.txt"
touch -d "@$(($(stat -c %Y "$source_folder/first.txt") + 60))" "$mirror/first.txt"
echo "another" >"$source_folder/another.txt"
wait_for 20 'log_has "^E.*バックアップ先のファイルのほうが最新です	$source_folder/first.txt"' ||
  fail "the newer backup was not reported"
settle
grep -q "edited in the backup" "$mirror/first.txt" || fail "the newer backup was overwritten"
keys_to "$frame" alt+e Home space ctrl+r
wait_for 10 'has_window "プロパティ"' || fail "the properties did not open"
properties="$(window_named "プロパティ")"
shot newer-backup-properties
# Compare: an installed graphical compare tool gets both files, else the program's own
# compare window shows them.
keys_to "$properties" alt+w
if [ -n "$compare_tool" ]; then
  wait_for 10 'grep -qF "$source_folder/first.txt $mirror/first.txt" "$work/compared.txt"' ||
    fail "the compare tool was not given both files"
else
  wait_for 10 'has_window "比較 - first.txt"' || fail "the compare window did not open"
  shot compare-window
  answer_box "比較 - first.txt" Escape
fi
# The user decides for the source: it is copied over the backup, after a question.
keys_to "$properties" alt+c
answer_box "$app" alt+y
wait_for 10 'cmp -s "$source_folder/first.txt" "$mirror/first.txt"' || fail "the source was not copied over the backup"
log_has "^F.*マニュアルコピー	$source_folder/first.txt" || fail "the manual copy was not reported"
answer_box "プロパティ" Return

# ---- A large copy is paused from the menu bar and continued in the pause window.
note "large copy"
head -c 120M /dev/zero >"$work/large.bin"
mv "$work/large.bin" "$source_folder/large.bin"
# A file this large is copied only when the user agrees.
wait_for 20 'has_window "$app"' || fail "no question before the large copy"
shot large-copy-question
answer_box "$app" Return
copying() { ls -l "/proc/$tovix/fd" 2>/dev/null | grep -q "$source_folder/large.bin"; }
wait_for 20 copying || fail "the large file was not being copied"
keys_to "$frame" alt+p
wait_for 10 'log_has "バックアップ一時停止中"' || fail "the pause was not reported"
wait_for 10 'has_window "$app"' || fail "no pause window"
# The copy stands still while paused: the source is read no further.
read_position() {
  local fd
  fd="$(ls -l "/proc/$tovix/fd" | awk -v f="$source_folder/large.bin" '$NF == f {print $9; exit}')"
  awk '/^pos:/ {print $2}' "/proc/$tovix/fdinfo/$fd" 2>/dev/null
}
before="$(read_position)"
[ -n "$before" ] || fail "the large copy ended before the pause"
shot pause-during-large-copy
sleep 1.5
[ "$(read_position)" = "$before" ] || fail "the copy went on during the pause"
[ -f "$mirror/large.bin" ] && fail "the large backup appeared during the pause"
# " 続行 " is the window's only button: Tab gives it the focus.
answer_box "$app" Tab space
wait_for 60 '[ -f "$mirror/large.bin" ]' || fail "the copy did not go on after the pause"
settle
cmp -s "$source_folder/large.bin" "$mirror/large.bin" || fail "the large backup is incomplete"
rm -f "$source_folder/large.bin"

# Waits $1 seconds (several polls and delays) and fails if the file $2 turns up.
stays_away() {
  local file="$2"
  wait_for "$1" '[ -e "$file" ]' && fail "$file was backed up $3"
  return 0
}

# ---- Hold: changes are seen but not backed up until the hold ends.
note "hold"
menu b h
wait_for 10 'log_has "バックアップ処理は保留中です"' || fail "Hold was not reported"
echo "held" >"$source_folder/held.txt"
stays_away 4 "$mirror/held.txt" "under Hold"
shot hold

# Hold off: what was seen meanwhile is backed up now.
menu b h
wait_for 20 '[ -f "$mirror/held.txt" ]' || fail "the change seen under Hold was not backed up after it"
settle

# ---- A backup removed behind the program's back is not noticed by the monitoring of the
# source. The chosen folder is backed up, first in test mode, which reports the copy it
# would make and writes nothing, then for real.
rm "$mirror/sub/deeper.txt"
run_chosen_backup() {
  menu b b
  wait_for 10 'has_window "指定フォルダをバックアップ"' || fail "the folder backup dialog did not open"
  chooser="$(window_named "指定フォルダをバックアップ")"
  # The settings list by its mnemonic; the space bar chooses the line.
  keys_to "$chooser" alt+s space "$@"
}
run_chosen_backup alt+t
shot test-backup-chosen-folder
xdotool key Return
wait_for 20 'log_has "^T.*deeper.txt"' || fail "the test run did not report the missing backup"
settle
log_has "^i.*指定フォルダをバックアップ" || fail "the manual backup was not reported"
[ -e "$mirror/sub/deeper.txt" ] && fail "the test run wrote the backup"
run_chosen_backup
xdotool key Return
wait_for 20 '[ -f "$mirror/sub/deeper.txt" ]' || fail "the chosen folder was not backed up"
settle

# ---- Disabled: no polling, no backup; enabled again, the change is found.
note "disabled"
menu b o Return
wait_for 10 'log_has "バックアップ処理は禁止中です"' || fail "Disable was not reported"
echo "while disabled" >"$source_folder/disabled.txt"
stays_away 4 "$mirror/disabled.txt" "while disabled"
shot disabled
menu b o Return
wait_for 20 '[ -f "$mirror/disabled.txt" ]' || fail "the change made while disabled was not backed up after it"
settle

# ---- Generation files deleted: into the desktop's trash.
note "delete generations"
[ -f "$mirror/notes.\$1.txt" ] || fail "the generation file is missing before the deletion"
menu b d
wait_for 10 'has_window "世代バックアップファイルを削除"' || fail "the generation deletion dialog did not open"
chooser="$(window_named "世代バックアップファイルを削除")"
keys_to "$chooser" alt+s space
shot delete-generations
xdotool key Return
wait_for 20 '[ ! -e "$mirror/notes.\$1.txt" ]' || fail "the generation file was not deleted"
settle
[ -f "$mirror/notes.txt" ] || fail "the deletion took the current backup"
find "$home/.local/share/Trash/files" -name 'notes.$1.txt*' 2>/dev/null | grep -q . ||
  fail "the generation file is not in the trash"
log_has "世代バックアップファイルを削除" || fail "the deletion was not reported"

# ---- The backup state of the chosen folder (Ctrl+T, no menu item) opens its window;
# looking changes nothing on disk.
note "backup state"
tree_state() { find "$backup" "$source_folder" -printf '%p %s %T@ %m\n' | grep -v TovixLog | sort; }
before="$(tree_state)"
keys_to "$frame" ctrl+t
wait_for 10 'has_window "選択フォルダのバックアップ状態"' || fail "the backup state dialog did not open"
keys_to "$(window_named "選択フォルダのバックアップ状態")" alt+s space Return
state_title="バックアップ状態 - $source_folder : .*"
wait_for 20 'has_window "$state_title"' || fail "the backup state window did not open"
settle
shot backup-state
keys_to "$(window_named "$state_title")" alt+c
wait_for 10 '! has_window "$state_title"' || fail "the backup state window did not close"
[ "$(tree_state)" = "$before" ] || fail "looking at the backup state changed files"

# ---- Exit from the tray icon's menu, confirmed.
note "exit"
read -r tray_x tray_y < <(xwininfo -id "$tray" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x+110, y+12}')
# On a busy machine the menu may close again as the window manager activates the main
# window, or take its keyboard grab only after its key came: then it is opened again.
for attempt in 1 2 3; do
  has_window "$app" && break
  # The pointer leaves the icon after the click, so that its tooltip does not come up.
  popup_open || xdotool mousemove "$tray_x" "$tray_y" click 3 mousemove 400 300
  wait_for 10 popup_open || fail "the tray icon's menu did not open"
  sleep 0.3
  xdotool key x
  wait_for 5 'has_window "$app"' && break
  popup_open && xdotool key Escape
done
wait_for 10 'has_window "$app"' || fail "no exit question"
shot exit-question
answer_box "$app" Return
wait_for 30 '! kill -0 "$tovix" 2>/dev/null' || fail "the program did not end after Exit"
wait "$tovix"
status=$?
check_exit_status "$status" "$work/stdout.log"
grep -q "^\[CwFrameWnd\]" "$config" || fail "the window placement was not saved"
grep "^E	" "$log" | grep -v "バックアップ先のファイルのほうが最新です	$source_folder/first.txt" &&
  fail "unexpected errors in the session"

# One sheet with every step, in order, for review.
montage -label '%t' "$shots"/[0-9]*.png -tile 4x -geometry 480x360+6+6 -pointsize 14 -background '#303030' \
  -fill white -title "Tovix: a user's first session" "$sheet" || fail "no contact sheet"
echo "contact sheet $sheet"
echo "PASS: a user's session in $((SECONDS - started)) s"
