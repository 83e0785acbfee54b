#!/usr/bin/env bash
# Starts the real desktop program under a virtual X server with a test cartridge, checks
# that a window titled "Velmar" shows a picture that is not blank, closes it with SIGTERM
# (which acts as Exit) and checks that the battery RAM was written.
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
SDL_AUDIODRIVER=dummy "$velmar" --data-dir "$work/data" "$rom" 2>"$work/velmar.log" &
pid=$!
# Wait for the window, then give the game a moment to draw.
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Velmar"'; then break; fi
    sleep 0.1
done
xwininfo -root -tree | grep -q '"Velmar"' || { echo "desktop-smoke: no window titled Velmar" >&2; kill "$pid"; exit 1; }
sleep 5 # the firmware shows its splash first, then the cartridge starts
import -window root "$work/screen.png"
kill -TERM "$pid"
wait "$pid"
INNER
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 800x600x24" "$work/session.sh" "$PWD/$velmar" "$PWD/$rom" "$work"

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
echo "desktop-smoke: window shown ($colours colours), closed cleanly, battery RAM written"
