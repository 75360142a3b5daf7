# Shared by the printer application's test scripts (sourced): servers on loopback ports, started
# and always stopped by the test.

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Ends a server: SIGTERM, a few seconds to shut down, then SIGKILL; never an endless wait.
end_process() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# start_app APP FOLDER [SERVER OPTION...]: the application on a free loopback port with its
# spool, state and log in FOLDER, and its control socket there too (TMPDIR); sets app_pid and
# app_port. Later sub-commands need the same TMPDIR.
start_app() {
  local app=$1 folder=$2
  shift 2
  app_port=$(free_port)
  mkdir -p "$folder"
  TMPDIR=$folder "$app" server -o server-port="$app_port" -o listen-hostname=localhost \
    -o spool-directory="$folder/spool" -o state-file="$folder/state" -o log-file="$folder/log" \
    -o log-level=info "$@" &
  app_pid=$!
  for _ in $(seq 100); do TMPDIR=$folder "$app" status >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
