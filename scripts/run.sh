#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
#   scripts/run.sh [ARGS...]   the program, with ARGS (such as -tbq FILE)
#   scripts/run.sh --demo      the program on the demo server's sample archive, ready to search
set -euo pipefail
cd "$(dirname "$0")/.."
demo=false
if [ "${1:-}" = --demo ]; then
    demo=true
    shift
    [ $# -eq 0 ] || { echo "run.sh: --demo takes no other arguments" >&2; exit 2; }
fi
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target trawlbay trawlbay-cli trawlbay-demo-server
# Qt WebEngine refuses its sandbox when run as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
if ! $demo; then
    exec build/bin/trawlbay "$@"
fi

# The demo server on a free port, slowed down so that the transfers can be watched. Its first
# line is the host mapping that sends the sample's hosts to it; the rest is for the terminal.
# The queue file names the sample group and its messages; it is written afresh every time.
queue="$PWD/build/demo/harbour-sailors.tbq"
mkdir -p "$(dirname "$queue")"
exec 3< <(exec build/bin/trawlbay-demo-server --rate 1MB/s --write-queue "$queue")
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
read -r rules <&3 || true
[[ $rules == TRAWLBAY_CONNECT_TO=* ]] || { echo "run.sh: the demo server did not start" >&2; exit 1; }
export "${rules?}"
cat <&3 &
# The demo keeps settings of its own, so that it neither changes the user's download folder nor
# fills the user's history; its files go to build/demo/downloads unless another folder is chosen.
downloads="$PWD/build/demo/downloads/"
mkdir -p "$downloads"
export TRAWLBAY_SETTINGS="$PWD/build/demo/settings.json"
if [ ! -e "$TRAWLBAY_SETTINGS" ]; then
    folder=${downloads//\\/\\\\}
    printf '{\n    "Trawl Bay": {\n        "Settings": {\n            "DownloadFolder": "%s"\n        }\n    }\n}\n' \
        "${folder//\"/\\\"}" > "$TRAWLBAY_SETTINGS"
fi
build/bin/trawlbay -tbq "$queue"
