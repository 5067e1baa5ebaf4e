# Sourced by the scripts that need the virtual controller: starts doravine-sim with a link at a
# known path and stops it again. Needs $bin (the build's bin folder) and $work (a folder of the
# caller's); $sim_link names the link when it must be elsewhere (default $work/link). Sets sim_pid.
sim_pid=""
sim_link="${sim_link:-$work/link}"

# start_sim [doravine-sim options...]: stops the one running, starts a new one with --link
# $sim_link and waits for the link.
start_sim() {
  stop_sim
  rm -f "$sim_link"
  "$bin/doravine-sim" --link "$sim_link" "$@" > "$work/sim.out" 2> "$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -e "$sim_link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/sim.err" >&2
  echo "$(basename "$0"): the virtual controller did not come up" >&2
  exit 1
}

stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
