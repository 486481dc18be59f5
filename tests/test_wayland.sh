#!/usr/bin/env bash
# Reel on a Wayland session: a headless weston of the test's own, with
# XWayland (`xwayland`) or without an X server at all (`native`). Runs the
# test program on it, then starts `reel --play` as the desktop would and
# checks that it chose its platform, said so once, and took its files.
#
# Usage: test_wayland.sh xwayland|native TEST_PROGRAM REEL MEDIA_DIR
set -euo pipefail
mode=$1 program=$2 reel=$3 media=$4
case $mode in
  xwayland) expected=xcb extra=(--xwayland) ;;
  native) expected=wayland extra=() ;;
  *) echo "usage: ${0##*/} xwayland|native TEST_PROGRAM REEL MEDIA_DIR" >&2; exit 2 ;;
esac

XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
chmod 700 "$XDG_RUNTIME_DIR"
socket=reel-test-$$
weston_pid=
stop() {
  [[ -n $weston_pid ]] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$XDG_RUNTIME_DIR"
}
trap stop EXIT

weston --backend=headless-backend.so --socket="$socket" --idle-time=0 "${extra[@]}" \
  --log="$XDG_RUNTIME_DIR/weston.log" &
weston_pid=$!
for ((i = 0; i < 200; i++)); do
  [[ -S $XDG_RUNTIME_DIR/$socket ]] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$XDG_RUNTIME_DIR/weston.log" >&2; exit 1; }
  sleep 0.05
done
[[ -S $XDG_RUNTIME_DIR/$socket ]] || { echo "weston did not start" >&2; exit 1; }

unset DISPLAY QT_QPA_PLATFORM
if [[ $mode == xwayland ]]; then
  # Weston starts Xwayland when the first X client comes, on the display it names.
  for ((i = 0; i < 200; i++)); do
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$XDG_RUNTIME_DIR/weston.log")
    [[ -n $DISPLAY ]] && break
    sleep 0.05
  done
  [[ -n $DISPLAY ]] || { echo "weston started no X server" >&2; exit 1; }
  export DISPLAY
fi
export WAYLAND_DISPLAY=$socket
export REEL_EXPECT_PLATFORM=$expected REEL_TEST_MEDIA=$media REEL_MPV_OPTIONS=ao=null

"$program"

# The command as the desktop entry runs it, on its own session bus.
files=$(mktemp -d)
trap 'stop; rm -rf "$files"' EXIT
ln -s "$media/mpeg4_mp3.mp4" "$files/one.mp4"
ln -s "$media/mpeg4_mp3.mp4" "$files/two.mp4"
XDG_CONFIG_HOME=$files dbus-run-session -- bash -c '
  "$1" --play "$2/one.mp4" "$2/two.mp4" 2>"$2/log" &
  player=$!
  for ((i = 0; i < 300; i++)); do
    listed=$(dbus-send --session --print-reply --dest=org.reelplayer.Reel /org/reelplayer/Reel \
      org.reelplayer.Reel.Entries 2>/dev/null | grep -c "array of bytes" || true)
    [[ $listed == 2 ]] && break
    kill -0 $player 2>/dev/null || break
    sleep 0.1
  done
  kill -0 $player 2>/dev/null || { echo "reel ended early" >&2; cat "$2/log" >&2; exit 1; }
  kill $player
  [[ $listed == 2 ]] || { echo "reel listed $listed files" >&2; exit 1; }
' check "$reel" "$files"
said=$(grep -c "Wayland session" "$files/log" || true)
[[ $said == 1 ]] || { echo "the choice was logged $said times:" >&2; cat "$files/log" >&2; exit 1; }
grep -q "$([[ $mode == native ]] && echo "on Wayland itself" || echo "through XWayland (xcb)")" "$files/log" ||
  { echo "reel chose otherwise:" >&2; cat "$files/log" >&2; exit 1; }
echo "reel on weston ($mode): ran on $expected"
