# The desktop the end-to-end runs share: a virtual X screen, the openbox window manager
# and the trayer tray host, with a scratch folder and the helpers the runs poll with.
# Sourced, not run:
#   source x_session.sh
#   require_x_tools [more tools...]   exits 77 (skipped) when one is missing
#   start_x_session [WxH]             sets DISPLAY and tray (the tray host's window)
# Everything started here and recorded in pids is ended when the sourcing script exits,
# and the scratch folder $work is removed.

work="$(mktemp -d)"
pids=()
x_session_cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap x_session_cleanup EXIT

# The virtual screen, its window manager or its tray host did not come up: the test
# machine cannot run this test, which says nothing about the program.
skip() {
  echo "skipped: $*"
  exit 77
}

require_x_tools() {
  local tool
  for tool in Xvfb openbox trayer xdotool import xwininfo xprop "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# Polls a condition (a shell command) for up to $1 seconds.
wait_for() {
  local seconds="$1" i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    eval "$@" && return 0
    sleep 0.1
  done
  return 1
}

start_x_session() {
  local geometry="${1:-1024x768}"
  # A free display number, chosen by the server itself.
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${geometry}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  exec 3>&-
  wait_for 10 '[ -s "$work/display" ]' || skip "Xvfb did not start"
  export DISPLAY=":$(cat "$work/display")"

  openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  # The tray host docks itself through the window manager: start it once openbox manages
  # the screen, and once more if the first one died in the race anyway (seen on a busy
  # machine).
  wait_for 20 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || skip "openbox did not start"
  start_tray_host
  if ! wait_for 20 'xwininfo -root -tree | grep -q "\"panel\""'; then
    # A tray host that never showed its panel still owns the tray: a second one would
    # only say that another tray runs.
    kill "$tray_host" 2>/dev/null
    wait "$tray_host" 2>/dev/null
    start_tray_host
    wait_for 20 'xwininfo -root -tree | grep -q "\"panel\""' || skip "trayer did not start: $(tail -n 5 "$work/trayer.log")"
  fi
  tray="$(xwininfo -root -tree | awk '/"panel"/ {print $1; exit}')"
}

start_tray_host() {
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
    --transparent false --tint 0x303030 >>"$work/trayer.log" 2>&1 &
  tray_host=$!
  pids+=($!)
}

# The program's exit status, read from `wait`. A leak checker whose own tracer crashed
# after the program had ended (seen under a heavy parallel load) says nothing about the
# program: that is reported, not counted as the program's failure.
check_exit_status() {
  local status="$1" output="$2"
  [ "$status" -eq 0 ] && return 0
  if grep -q "LeakSanitizer has encountered a fatal error" "$output" 2>/dev/null; then
    echo "note: the leak checker failed after the program ended (status $status); leaks unchecked in this run"
    return 0
  fi
  fail "exit status $status"
}
