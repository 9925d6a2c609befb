# shellcheck shell=bash
# Shared by the benchmarks (sourced, not run): keeping one processor busy with a second process,
# to see how a program fares when the machine is not its own.

busy_pid=

# start_busy: a process that spins on the last processor until stop_busy stops it (call
# stop_busy from the script's EXIT trap too). Pinned, so that runs with it are alike from run to
# run, and so that a program limited to the first processor has that one to itself.
start_busy() {
  local last=$(($(nproc) - 1))
  taskset -c "$last" sh -c 'while :; do :; done' &
  busy_pid=$!
}

stop_busy() {
  if [ -n "$busy_pid" ]; then
    kill "$busy_pid" 2>/dev/null || true
    wait "$busy_pid" 2>/dev/null || true
    busy_pid=
  fi
}
