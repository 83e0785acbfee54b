#!/usr/bin/env bash
# Fails when an include crosses the layers the wrong way:
#   src/core      standard library only: nothing from machine/, platform/, files/, frontend/
#   src/machine   the platform interfaces, never a backend (platform/<sub>/) nor Qt, SDL or
#                 FFmpeg headers
#   src/platform/<backend>   never the machine or the front end
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
# check FOLDER REGEX WHY: every #include line under FOLDER matching REGEX is a violation.
check() {
    local folder=$1 pattern=$2 why=$3
    [ -d "$folder" ] || return 0
    local hits
    hits=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.inl' --include='*.inc' \
        "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)" "$folder" || true)
    if [ -n "$hits" ]; then
        echo "layering: $why" >&2
        echo "$hits" >&2
        status=1
    fi
}

check src/core 'machine/|platform/|files/|frontend/' \
    "src/core must not include the machine, the platform, the files or the front end"
check src/machine 'platform/(null|chrono|ffmpeg|qt|sdl)/|files/|frontend/|Q[A-Za-z]+(\.h)?[>"]|Qt[A-Za-z]*/|SDL|libav' \
    "src/machine may include the platform interfaces only, no backend, toolkit or library headers"
for backend in src/platform/*/; do
    check "$backend" 'machine/|frontend/|files/' \
        "a platform backend must not include the machine, the files or the front end"
done

[ $status -eq 0 ] && echo "layering: ok"
exit $status
