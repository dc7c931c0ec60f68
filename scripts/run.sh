#!/usr/bin/env bash
# Builds the agent and starts it with a demo Agent.ini beside the executable.
# With a display it opens its window; without one it runs headless and
# mirrors its event log to this terminal. Stop it with Ctrl+C.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" run | tail -n 1)"
bin="$dir/bin"

cat > "$bin/Agent.ini" <<'INI'
; Demo configuration written by scripts/run.sh.
[Set]
Port=COM2:9600,N,8,1
MaxCache=110
ReadUct=1
SendUct=1
UctFile=DATA.NEW
[Log]
Com_In=1
Com_PureIn=1
Com_Out=0
Com_LocOut=1
TCP/IP_In=1
TCP/IP_Out=1
Extent=0
[Timer]
Interval=100
MaxTick=9
MaxError=6
MaxErrorTick=600
INI

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  export AGENT_LOG_STDERR=1
  echo "No display: running headless, the event log follows. Ctrl+C stops the agent." >&2
fi
cd "$bin"
exec ./Agent
