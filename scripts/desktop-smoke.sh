#!/usr/bin/env bash
# Starts the real desktop program under a virtual X server with a window manager and a test
# cartridge, and works it as a user would: the title names the game; Full Screen and back,
# several times, through the menus by keyboard, must give the whole screen and then the
# window's own size again; Enter resumes the paused game; Esc hides the menu bar and the
# window shrinks by its height (and grows back). Then it checks that the window shows a
# picture that is not blank, closes it with SIGTERM (which acts as Exit) and checks that
# the battery RAM was written.
# Usage: scripts/desktop-smoke.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
velmar="$build/src/frontend/velmar"
rom="$build/tests/roms/battery.sms"
[[ -x "$velmar" && -f "$rom" ]] || { echo "desktop-smoke: build $build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/session.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
velmar=$1 rom=$2 work=$3
fail() { echo "desktop-smoke: $*" >&2; kill "$pid" 2>/dev/null; exit 1; }
openbox >/dev/null 2>&1 &
for _ in $(seq 1 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
SDL_AUDIODRIVER=dummy "$velmar" --data-dir "$work/data" "$rom" 2>"$work/velmar.log" &
pid=$!
wid=""
for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name '^Velmar' 2>/dev/null | head -1 || true)
    [[ -n "$wid" ]] && break
    sleep 0.1
done
[[ -n "$wid" ]] || fail "no window titled Velmar"
size() { xwininfo -id "$wid" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'; }
# Waits up to three seconds for the window to take the given size.
expect_size() {
    for _ in $(seq 1 30); do [[ $(size) == "$1" ]] && return 0; sleep 0.1; done
    fail "$2: the window is $(size), not $1"
}
title=$(xdotool getwindowname "$wid")
[[ "$title" == "Velmar - battery" ]] || fail "the title is \"$title\", not \"Velmar - battery\""
windowed=$(size)
screen=$(xwininfo -root | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
# Graphics > Video Mode > Full Screen or Windowed, by keyboard from the open File menu.
video_mode() {
    xdotool mousemove --window "$wid" 12 8 click 1
    sleep 0.3
    if [[ $1 == full ]]; then xdotool key Right Down Down Down Right Down Return; else xdotool key Right Down Down Down Right Return; fi
}
for round in 1 2 3 4; do
    video_mode full
    expect_size "$screen" "Full Screen, round $round"
    video_mode windowed
    expect_size "$windowed" "Windowed, round $round"
done
xdotool key Return # the menus paused the game; Enter on the logo resumes it
sleep 0.5
menu=$(( ${windowed#*x} - 384 ))
xdotool key Escape
expect_size "${windowed%x*}x384" "menu bar hidden ($menu pixels)"
xdotool key Escape
expect_size "$windowed" "menu bar shown again"
sleep 4 # the firmware shows its splash first, then the cartridge starts
import -window root "$work/screen.png"
kill -TERM "$pid"
wait "$pid"
INNER
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 800x600x24" "$work/session.sh" "$(realpath "$velmar")" "$(realpath "$rom")" "$work"

colours=$(convert "$work/screen.png" -format '%k' info:)
if (( colours < 3 )); then
    echo "desktop-smoke: the screen shows $colours colour(s): no picture" >&2
    exit 1
fi
head=$(head -c 4 "$work/data/RAM/battery.RAM" 2>/dev/null || true)
if [[ "$head" != "VLMR" ]]; then
    echo "desktop-smoke: the battery RAM was not written on exit" >&2
    exit 1
fi
echo "desktop-smoke: title, full screen and back four times, Enter, Esc; window shown" \
    "($colours colours), closed cleanly, battery RAM written"
