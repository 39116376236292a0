#!/bin/sh
# Runs a shell script in a headless Wayland session of its own, 1280 x 1024:
#   wayland-session.sh COMPOSITOR SCRIPT [ARGUMENT...]
# COMPOSITOR is weston, mutter or kwin, each with Xwayland, or weston-native
# (without Xwayland). The script runs with sh, its arguments as $1..., and
# gets the session's WAYLAND_DISPLAY and, with Xwayland, DISPLAY and
# XAUTHORITY; its output is printed, and its exit status is this script's
# (124 when it ran past 60 s). Everything the session makes (runtime folder,
# configuration, caches) is in a temporary folder, removed at the end.
set -u
compositor="$1"
script="$2"
shift 2

if [ "${VELMORA_SESSION_BUS:-}" != 1 ]; then
  dir=$(mktemp -d) || exit 1
  chmod 700 "$dir"
  trap 'rm -rf "$dir"' EXIT
  export XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" \
    XDG_DATA_HOME="$dir/data" XDG_SESSION_TYPE=wayland
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
  # The X servers' socket folder, which the boot makes on most systems;
  # Xwayland started by weston needs it and does not make it.
  if [ ! -d /tmp/.X11-unix ]; then
    mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
  fi
  # The script and its arguments, quoted, in a file that every compositor
  # can start.
  {
    printf 'set --'
    for argument in "$@"; do
      printf " '%s'" "$(printf '%s' "$argument" | sed "s/'/'\\\\''/g")"
    done
    printf '\n%s\n' "$script"
  } >"$dir/script"
  case "$compositor" in
    mutter | kwin)
      # Their own D-Bus session, which both need.
      VELMORA_SESSION_BUS=1 dbus-run-session -- sh "$0" "$compositor" "$script" 2>"$dir/bus.log"
      status=$?
      ;;
    *)
      VELMORA_SESSION_BUS=1 sh "$0" "$compositor" "$script"
      status=$?
      ;;
  esac
  cat "$dir/output" 2>/dev/null
  exit "$status"
fi

dir="$XDG_RUNTIME_DIR"
# Runs the script, then ends the compositor ($pid) and exits with the
# script's status.
run_then_stop() {
  timeout -k 5 60 sh "$dir/script" >"$dir/output" 2>&1
  status=$?
  kill "$pid"
  wait "$pid"
  exit "$status"
}
# Waits up to 20 s for a test to pass; the compositor's log says why not.
waitfor() {
  for _ in $(seq 400); do
    eval "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "the compositor did not start: $(tail -n 5 "$2")" >"$dir/output"
  return 1
}

case "$compositor" in
  weston | weston-native)
    xwayland=false
    [ "$compositor" = weston ] && xwayland=true
    printf '[core]\nxwayland=%s\n[shell]\npanel-position=none\n' "$xwayland" >"$dir/weston.ini"
    if [ "$xwayland" = true ]; then
      set -- --xwayland
    else
      set --
    fi
    weston --backend=headless-backend.so --socket=velmora-test --config="$dir/weston.ini" "$@" \
      --log="$dir/weston.log" --width=1280 --height=1024 >/dev/null 2>&1 &
    pid=$!
    if [ "$xwayland" = true ]; then
      waitfor 'grep -q "xserver listening" "$dir/weston.log"' "$dir/weston.log" || { kill "$pid"; exit 1; }
      export DISPLAY="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$dir/weston.log")"
    else
      waitfor '[ -S "$dir/velmora-test" ]' "$dir/weston.log" || { kill "$pid"; exit 1; }
    fi
    export WAYLAND_DISPLAY=velmora-test
    run_then_stop
    ;;
  mutter)
    mutter --headless --wayland --wayland-display velmora-test --virtual-monitor 1280x1024 \
      >"$dir/mutter.log" 2>&1 &
    pid=$!
    waitfor 'grep -q "public X11 display" "$dir/mutter.log" && ls "$dir"/.mutter-Xwaylandauth.* >/dev/null 2>&1' \
      "$dir/mutter.log" || { kill "$pid"; exit 1; }
    export DISPLAY="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$dir/mutter.log")"
    for authority in "$dir"/.mutter-Xwaylandauth.*; do
      export XAUTHORITY="$authority"
    done
    export WAYLAND_DISPLAY=velmora-test
    run_then_stop
    ;;
  kwin)
    # A copy of the binary: the installed one has a file capability
    # (cap_sys_resource) that not every machine may grant.
    cp /usr/bin/kwin_wayland "$dir/kwin_wayland" || exit 1
    printf '#!/bin/sh\ntimeout -k 5 60 sh "%s/script" >"%s/output" 2>&1\necho $? >"%s/status"\n' \
      "$dir" "$dir" "$dir" >"$dir/session"
    chmod +x "$dir/session"
    # KWin gives the session its DISPLAY and WAYLAND_DISPLAY, and ends with it.
    "$dir/kwin_wayland" --virtual --xwayland --width 1280 --height 1024 --socket velmora-test \
      --exit-with-session "$dir/session" >"$dir/kwin.log" 2>&1
    if [ ! -f "$dir/status" ]; then
      echo "the compositor did not start: $(tail -n 5 "$dir/kwin.log")" >"$dir/output"
      exit 1
    fi
    exit "$(cat "$dir/status")"
    ;;
  *)
    echo "unknown compositor: $compositor" >&2
    exit 2
    ;;
esac
