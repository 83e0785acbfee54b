#!/usr/bin/env bash
# Plays the test game with music (HQ2x on) in the desktop program through a real sound server
# and reports how smoothly it is paced: the sound stream's rewinds (each an audible click),
# the frame rate and how far the sound writer leads the player (the latency from emulation to
# the sound device), with the CPU the program and the sound server take. It starts its own
# PulseAudio with a null sink (which plays in real time, on the system clock) and a virtual X
# server with a window manager, so it runs the same on a desktop, a server or CI (as root too).
#
# Usage: scripts/pacing-check.sh [--seconds N] [--max-rewinds N] [--max-fps-error F]
#                                [--region ntsc|pal] [--program FILE] [BUILD_DIR]
#   --seconds N         how long the game plays (default 300)
#   --max-rewinds N     fail when the stream rewinds more often
#   --max-fps-error F   fail when the frame rate is further than F from 60 (50 on PAL)
#   --region R          the console's region (default ntsc)
#   --program FILE      the desktop program to measure (default BUILD_DIR/src/frontend/velmar)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=300 max_rewinds="" max_fps_error="" program="" region=ntsc
while [[ $# -gt 0 ]]; do
    case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --max-rewinds) max_rewinds=$2; shift 2 ;;
    --max-fps-error) max_fps_error=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --region) region=$2; shift 2 ;;
    -*) echo "pacing-check: unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[[ "$region" == ntsc || "$region" == pal ]] || { echo "pacing-check: --region ntsc or pal" >&2; exit 2; }
rate_wanted=$([[ "$region" == pal ]] && echo 50 || echo 60)
build=${1:-build/default}
program=${program:-$build/src/frontend/velmar}
rom="$build/tests/roms/game_scene.sms"
[[ -x "$program" && -f "$rom" ]] || { echo "pacing-check: build $build first" >&2; exit 1; }
for tool in pulseaudio pactl pidstat openbox xvfb-run; do
    command -v "$tool" >/dev/null || { echo "pacing-check: $tool missing (scripts/deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pulse_pid=""
cleanup() {
    [[ -n "$pulse_pid" ]] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A private sound server: its own runtime, state and socket, no configuration read, no
# autospawn, never exiting while idle. As root PulseAudio warns but runs in this mode.
mkdir -p "$work/home" "$work/run" "$work/data"
printf '[GENERAL_OPTIONS]\nREGION=%s\n' "$region" >"$work/data/Velmar.ini"
chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" PULSE_SERVER="unix:$work/pulse.sock"
pulseaudio --daemonize=no -n --exit-idle-time=-1 --use-pid-file=no --realtime=yes \
    --high-priority=yes --log-target=file:"$work/pulse.log" \
    -L "module-null-sink sink_name=pacing_null rate=44100" \
    -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" &
pulse_pid=$!
for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "pacing-check: the sound server did not start" >&2; cat "$work/pulse.log" >&2; exit 1; }

cat >"$work/session.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
program=$1 rom=$2 work=$3 seconds=$4 pulse_pid=$5
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
SDL_AUDIODRIVER=pulseaudio "$program" --stats --data-dir "$work/data" "$rom" \
    >"$work/velmar.out" 2>"$work/velmar.log" &
pid=$!
# The CPU after a few seconds of play, when the stream runs; the server's with it.
settle=$(( seconds > 20 ? 5 : 2 ))
sleep "$settle"
pidstat -t -p "$pid,$pulse_pid" "$(( seconds - settle - 1 ))" 1 >"$work/pidstat.txt" 2>&1 || true
pactl list sink-inputs >"$work/sink-inputs.txt" 2>&1 || true
sleep 1
kill -TERM "$pid"
wait "$pid"
kill "$wm" 2>/dev/null || true
INNER
chmod +x "$work/session.sh"
(( seconds >= 8 )) || { echo "pacing-check: --seconds must be at least 8" >&2; exit 2; }
xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$(realpath "$program")" \
    "$PWD/$rom" "$work" "$seconds" "$pulse_pid"

stats=$(grep '^fps:' "$work/velmar.log" || true)
[[ -n "$stats" ]] || { echo "pacing-check: the program printed no figures" >&2; cat "$work/velmar.log" >&2; exit 1; }
rate=$(sed -E 's/.*\(([0-9.]+) per second\).*/\1/' <<<"$stats")
rewinds=$(sed -E 's/.*sound rewinds: ([0-9]+).*/\1/' <<<"$stats")
device=$(sed -E 's/.*sound device: ([a-z]+).*/\1/' <<<"$stats")
lead=$(sed -nE 's/.*sound lead: (.*)$/\1/p' <<<"$stats")
server=$(sed -nE 's/^[[:space:]]*(Buffer Latency: .*|Sink Latency: .*)$/\1/p' "$work/sink-inputs.txt" | paste -sd, -)

echo "pacing-check: ${seconds} s of game_scene with HQ2x through PulseAudio's null sink ($region)"
echo "  frame rate:        $rate per second"
echo "  sound rewinds:     $rewinds"
echo "  sound lead:        ${lead:-n/a} (emulation to device)"
echo "  server latency:    ${server:-n/a}"
echo "  CPU (% of a core, pidstat -t; process, threads, then the server):"
awk '/^Average:/ && $0 !~ /Command/ {printf "    %-18s %6s\n", $NF, $(NF-2)}' "$work/pidstat.txt"

status=0
[[ "$device" == yes ]] || { echo "pacing-check: the program did not open the sound device" >&2; status=1; }
if [[ -n "$max_rewinds" ]] && (( rewinds > max_rewinds )); then
    echo "pacing-check: $rewinds rewinds, more than $max_rewinds" >&2
    status=1
fi
if [[ -n "$max_fps_error" ]] &&
    ! awk -v r="$rate" -v w="$rate_wanted" -v e="$max_fps_error" 'BEGIN { d = r - w; if (d < 0) d = -d; exit !(d <= e) }'; then
    echo "pacing-check: frame rate $rate is further than $max_fps_error from $rate_wanted" >&2
    status=1
fi
exit "$status"
