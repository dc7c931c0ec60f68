#!/usr/bin/env bash
# Load benchmark of the agent's TCP gateway. Builds an optimised tree in
# build/bench, measures the benchmark's own minimal epoll server (this
# machine's ceiling) and then the agent against the exchange simulator, and
# prints one markdown table. See bench/README.md for the columns.
#
# Environment (all optional):
#   BENCH_SECONDS=10        measured seconds per load run
#   BENCH_IDLE_SECONDS=60   how long the idle agent's CPU use is watched
#   BENCH_TIMEOUT_MS=2000   an answer later than this counts as a timeout
#   BENCH_RATE=10000        open-loop offered requests per second (100 clients)
#   BENCH_MINIMAL_PORT=23456  port of the minimal server (loopback only)
#   BENCH_KEEP=1            keep the working directory with every log
#   BENCH_AGENT=path        measure this executable instead of the built Agent
#                           (another build; it must listen on port 1234)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build/bench"
bin="$dir/bin"
agent_port=1234 # fixed in the product

number_in() { # value min max name: accepts a whole number in range or exits
  if ! [[ "$1" =~ ^[0-9]+$ ]] || (( 10#$1 < $2 || 10#$1 > $3 )); then
    echo "bench: $4 must be a whole number from $2 to $3 (got '$1')" >&2
    exit 2
  fi
}
seconds="${BENCH_SECONDS:-10}";           number_in "$seconds" 1 3600 BENCH_SECONDS
idle_seconds="${BENCH_IDLE_SECONDS:-60}"; number_in "$idle_seconds" 1 3600 BENCH_IDLE_SECONDS
timeout_ms="${BENCH_TIMEOUT_MS:-2000}";   number_in "$timeout_ms" 1 600000 BENCH_TIMEOUT_MS
rate="${BENCH_RATE:-10000}";              number_in "$rate" 1 1000000 BENCH_RATE
minimal_port="${BENCH_MINIMAL_PORT:-23456}"; number_in "$minimal_port" 1 65535 BENCH_MINIMAL_PORT
clk_tck="$(getconf CLK_TCK)"

say() { echo "bench: $*" >&2; }

# ---- processes: every one started is remembered and ended on the way out ----

work="$(mktemp -d "${TMPDIR:-/tmp}/agent-bench.XXXXXX")"
pids=()

started() { pids+=("$1"); }

# Once reaped, a pid may be handed to a stranger: it leaves the list then.
forget() {
  local pid kept=()
  for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  pids=("${kept[@]}")
}

alive() { # pid: running (an exited child not yet reaped is a zombie, "Z")
  local stat
  stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 1
  stat="${stat##*) }"
  [ "${stat:0:1}" != Z ]
}

stop_pid() { # pid: asks it to end, then insists, then reaps it
  local pid="$1" i
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
  forget "$pid"
}

# A sleep that a signal cuts short: bash runs its traps only between
# commands, and a foreground sleep would hold them back until it ends.
pause() { # seconds
  local p
  sleep "$1" &
  p=$!
  started "$p"
  wait "$p" || true
  forget "$p"
}

stop_all() {
  local pid
  for pid in "${pids[@]}"; do stop_pid "$pid"; done
}

cleanup() {
  stop_all
  if [ "${BENCH_KEEP:-0}" = 1 ]; then
    say "logs kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- measuring a process ----------------------------------------------------

cpu_ticks() { # pid: user+sys clock ticks so far
  local stat
  stat="$(cat "/proc/$1/stat" 2>/dev/null)" || { echo 0; return; }
  stat="${stat##*) }" # the command name may hold spaces and parentheses
  read -r -a f <<<"$stat"
  echo $(( f[11] + f[12] )) # utime and stime, fields 14 and 15
}

peak_kib() { # pid: VmHWM in KiB
  awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

reset_peak() { # pid: restarts VmHWM from the current size so each run has its own peak
  echo 5 >"/proc/$1/clear_refs" 2>/dev/null || true
}

now_ns() { date +%s%N; }

# Inodes of the sockets listening on a TCP port (IPv4 or IPv6).
listening_inodes() { # port
  local hex
  hex="$(printf '%04X' "$1")"
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { print $10 }'
}

port_taken() { [ -n "$(listening_inodes "$1")" ]; }

# Whether process pid itself holds the listening socket, so a stranger's
# server on the same port is never measured by mistake.
listens_on() { # pid port
  local inode
  for inode in $(listening_inodes "$2"); do
    find "/proc/$1/fd" -lname "socket:\[$inode\]" 2>/dev/null | grep -q . && return 0
  done
  return 1
}

wait_listening() { # pid port: up to 10 s
  local i
  for i in $(seq 100); do
    alive "$1" || return 1
    listens_on "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}

field() { # "key=value ..." key: the value, or "-"
  local kv
  for kv in $1; do
    if [ "${kv%%=*}" = "$2" ]; then echo "${kv#*=}"; return; fi
  done
  echo "-"
}

seconds_of() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.2f", n / d }'; } # count divisor

# ---- results ----------------------------------------------------------------

# One row per measurement, in the order taken: rows[i] is "name", what[name]
# is "server | request | log | load", results[name] is "key=value ...": the
# generator's line plus the server's CPU time, wall time and peak memory.
rows=()
declare -A what=() results=()

add_row() { # name description result
  rows+=("$1")
  what[$1]="$2"
  results[$1]="$3"
}

usage_since() { # pid ticks0 ns0: cpu_s, wall_s and peak_kib since then
  echo "cpu_s=$(seconds_of $(($(cpu_ticks "$1") - $2)) "$clk_tck") wall_s=$(seconds_of $(($(now_ns) - $3)) 1e9) peak_kib=$(peak_kib "$1")"
}

# Runs the load generator against the server with pid and records a row.
measure() { # name description pid generator-args...
  local name="$1" description="$2" pid="$3" c0 t0 line gen
  shift 3
  reset_peak "$pid"
  c0="$(cpu_ticks "$pid")"; t0="$(now_ns)"
  "$bin/load_generator" --label "$name" --timeout-ms "$timeout_ms" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  gen=$!
  started "$gen"
  wait "$gen" || true
  forget "$gen"
  line="$(grep '^result ' "$work/$name.out" || true)"
  add_row "$name" "$description" "${line:-note=the load generator failed} $(usage_since "$pid" "$c0" "$t0")"
  say "$name: $(field "$line" throughput_rps) req/s, p99 $(field "$line" p99_us) us," \
    "errors $(field "$line" errors), timeouts $(field "$line" timeouts)"
}

# The three loads every server gets: closed loop at 100 and 1,000 clients,
# open loop at the fixed rate over 100 clients.
load_set() { # name-prefix "server | request | log" pid port request-hex
  local p="$1" d="$2" pid="$3" args=(--port "$4" --request "$5" --duration "$seconds")
  measure "$p-closed100" "$d | closed" "$pid" "${args[@]}" --clients 100
  measure "$p-closed1000" "$d | closed" "$pid" "${args[@]}" --clients 1000
  measure "$p-open" "$d | open ${rate}/s" "$pid" "${args[@]}" --clients 100 --mode open --rate "$rate"
}

# ---- build ------------------------------------------------------------------

"$root/scripts/setup.sh"
say "building in $dir"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DAGENT_TESTS=OFF -DAGENT_BENCH=ON >/dev/null
cmake --build "$dir" -j 2 --target minimal_server load_generator >&2
agent_missing=""
# The agent and the simulator are built too, but a failure there still lets
# the ceiling be measured.
if ! cmake --build "$dir" -j 2 --target Agent exchange-sim >&2; then
  agent_missing="the agent or exchange-sim did not build"
fi
agent_bin="${BENCH_AGENT:-$bin/Agent}"
for f in "$agent_bin" "$bin/exchange-sim"; do
  [ -x "$f" ] || agent_missing="$f is missing"
done

# ---- the machine's ceiling --------------------------------------------------

load_at_start="$(cut -d' ' -f1 /proc/loadavg)"

if port_taken "$minimal_port"; then
  say "port $minimal_port is taken; choose another with BENCH_MINIMAL_PORT"
  exit 1
fi
"$bin/minimal_server" --port "$minimal_port" --seconds 3600 >"$work/minimal.log" 2>&1 &
minimal_pid=$!
started "$minimal_pid"
wait_listening "$minimal_pid" "$minimal_port" || { say "the minimal server did not start"; exit 1; }
load_set minimal "minimal server | 001600 | -" "$minimal_pid" "$minimal_port" 001600
stop_pid "$minimal_pid"

# ---- the agent --------------------------------------------------------------

# Starts the simulator and the agent in a fresh directory; sets agent_pid.
start_agent() { # directory log-flags ("on" or "off")
  local adir="$1" on=0 i
  [ "$2" = on ] && on=1
  mkdir -p "$adir"
  cp "$agent_bin" "$adir/Agent"
  cp "$(dirname "$agent_bin")"/libagentkv.so* "$adir/" 2>/dev/null || true
  cat >"$adir/Agent.ini" <<INI
[Set]
Port=$adir/exchange:9600,N,8,1
[Log]
Com_In=$on
Com_PureIn=$on
Com_Out=0
Com_LocOut=0
TCP/IP_In=$on
TCP/IP_Out=0
Extent=0
INI
  "$bin/exchange-sim" "$adir/exchange" </dev/null >"$adir/sim.log" 2>&1 &
  started $!
  for i in $(seq 100); do [ -e "$adir/exchange" ] && break; sleep 0.1; done
  [ -e "$adir/exchange" ] || { say "exchange-sim made no link (see $adir/sim.log)"; return 1; }
  (cd "$adir" && QT_QPA_PLATFORM=offscreen exec ./Agent) >"$adir/agent.log" 2>&1 &
  agent_pid=$!
  started "$agent_pid"
  wait_listening "$agent_pid" "$agent_port" || { say "the agent is not listening on $agent_port (see $adir/agent.log)"; return 1; }
}

# One request, so that the agent holds what answers the rest; the line
# status needs a second to come back through the agent's own polling, which
# the request switched on.
prime() { # request-hex: succeeds once it was answered
  local line
  line="$("$bin/load_generator" --port "$agent_port" --request "$1" --clients 1 --duration 0 --warmup 0 \
    --timeout-ms 5000 --label prime 2>/dev/null | grep '^result ' || true)"
  pause 1
  [ "$(field "$line" completed)" = 1 ]
}

idle_row() { # pid: CPU over idle_seconds with no client, only the agent's own timers
  local c0 t0
  say "watching the idle agent for $idle_seconds s"
  pause 2 # start-up work is not idling
  c0="$(cpu_ticks "$1")"; t0="$(now_ns)"
  pause "$idle_seconds"
  add_row agent-idle "agent | none | on | idle, default timers" "idle=1 $(usage_since "$1" "$c0" "$t0")"
}

agent_rows() { # log-flags ("on" or "off")
  local flags="$1" kind request label
  if ! start_agent "$work/agent-log-$flags" "$flags"; then
    add_row "agent-$flags" "agent | - | $flags | -" "note=did not start"
    stop_all
    return
  fi
  [ "$flags" = on ] && idle_row "$agent_pid"
  for kind in linestatus:001600 cached:000000; do
    request="${kind#*:}"
    label="agent | $([ "${kind%%:*}" = linestatus ] && echo "line status" || echo "cached read") $request | $flags"
    if ! alive "$agent_pid"; then
      add_row "agent-$flags-${kind%%:*}" "$label | -" "note=the agent has exited"
    elif ! prime "$request"; then
      add_row "agent-$flags-${kind%%:*}" "$label | -" "note=no answer to the priming request"
    else
      load_set "agent-$flags-${kind%%:*}" "$label" "$agent_pid" "$agent_port" "$request"
    fi
  done
  stop_all
}

# Another developer's test may hold the product port for a while.
for i in $(seq 60); do
  port_taken "$agent_port" || break
  [ "$i" = 1 ] && say "port $agent_port is taken; waiting up to a minute for it"
  sleep 1
done
if [ -n "$agent_missing" ]; then
  add_row agent "agent | - | - | -" "note=not run: $agent_missing"
elif port_taken "$agent_port"; then
  add_row agent "agent | - | - | -" "note=not run: port $agent_port is taken by another program"
else
  agent_rows on
  agent_rows off
fi

# ---- the table ----------------------------------------------------------------

ratio() { # value reference
  awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b + 0 == 0) print "-"; else printf "%.2f", a / b }'
}
mib() { awk -v k="$1" 'BEGIN { if (k == "-") print "-"; else printf "%.1f", k / 1024 }'; }
percent() { awk -v c="$1" -v w="$2" 'BEGIN { if (c == "-" || w + 0 == 0) print "-"; else printf "%.2f", 100 * c / w }'; }

# Other work on the machine skews every figure; the load averages show it.
echo
echo "Load benchmark: $(nproc) cores, ${seconds} s per run, open loop ${rate} req/s over 100 clients," \
  "$(date -u '+%Y-%m-%d %H:%M UTC'), load average at start $load_at_start, at end $(cut -d' ' -f1 /proc/loadavg)"
echo
echo "| server | request | log | load | clients held/served | req/s | req/s ×min | p50 µs | p99 µs | max µs | p99 ×min | errors/timeouts/unfinished | CPU s | CPU % | peak MiB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for name in "${rows[@]}"; do
  r="${results[$name]}"
  usage="$(field "$r" cpu_s) | $(percent "$(field "$r" cpu_s)" "$(field "$r" wall_s)") | $(mib "$(field "$r" peak_kib)")"
  if [ "$(field "$r" note)" != "-" ]; then
    echo "| ${what[$name]} | ${r#note=} | | | | | | | | | | |"
  elif [ "$(field "$r" idle)" = 1 ]; then
    echo "| ${what[$name]} | - | - | - | - | - | - | - | - | $usage |"
  else
    ref="${results[minimal-${name##*-}]:-}" # the ceiling under the same load
    tput="$(field "$r" throughput_rps)"
    p99="$(field "$r" p99_us)"
    tratio="-"; pratio="-"
    if [ "${name%%-*}" = agent ] && [ -n "$ref" ]; then
      tratio="$(ratio "$tput" "$(field "$ref" throughput_rps)")"
      pratio="$(ratio "$p99" "$(field "$ref" p99_us)")"
    fi
    echo "| ${what[$name]} | $(field "$r" connected)/$(field "$r" clients_served) | $tput | $tratio |" \
      "$(field "$r" p50_us) | $p99 | $(field "$r" max_us) | $pratio |" \
      "$(field "$r" errors)/$(field "$r" timeouts)/$(field "$r" unfinished) | $usage |"
  fi
done
