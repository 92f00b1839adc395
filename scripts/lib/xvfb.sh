# A private X display for Wine's windows. Source this file, then:
#   xvfb_start LOGFILE   (sets XVFB_PID and exports DISPLAY, or returns 1)
# Xvfb picks a free display number itself and writes it to -displayfd once it
# accepts connections, so nothing connects before the server is ready (Wine's
# desktop process stays bound to the display it first reached).

xvfb_start() {
  local log=$1 fifo number=""
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp </dev/null >"$log" 2>&1 3>"$fifo" &
  XVFB_PID=$!
  # Ends with the number, at end of file if Xvfb fails, or after 30 s.
  read -r -t 30 number <"$fifo" || true
  rm -f "$fifo"
  if [[ ! "$number" =~ ^[0-9]+$ ]]; then
    echo "xvfb: no display within 30 s (see $log)" >&2
    kill "$XVFB_PID" 2>/dev/null || true
    return 1
  fi
  export DISPLAY=":$number"
}
