#!/usr/bin/env bash
# Builds the agent and the exchange simulator, starts the simulator on a
# pseudo-terminal and the agent with a demo Agent.ini whose Port leads to it.
# With a display the agent opens its window; without one it runs headless and
# mirrors its event log to this terminal. The simulator prints every request
# and reply here and takes commands typed on this terminal ("help" lists
# them). Stop with Ctrl+C or by closing the agent; the simulator stops with it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" run | tail -n 1)"
bin="$dir/bin"

link_dir="$(mktemp -d "${TMPDIR:-/tmp}/tarvo-exchange.XXXXXX")"
link="$link_dir/exchange"
# The terminal stays the simulator's input (a background job would get none).
"$bin/exchange-sim" --scenario "$root/sim/demo.scenario" "$link" <&0 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -rf "$link_dir"' EXIT
for _ in $(seq 100); do
  [ -L "$link" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run: the exchange simulator did not start" >&2; exit 1; }
  sleep 0.1
done

cat > "$bin/Agent.ini" <<INI
; Demo configuration written by scripts/run.sh: the exchange is exchange-sim.
[Set]
Port=$link:9600,N,8,1
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
./Agent
