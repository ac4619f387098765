#!/bin/sh
# Starts or stops the virtual X server that the whole test run shares.
#   xserver.sh start STATEDIR   prints nothing; writes STATEDIR/display and STATEDIR/xvfb.pid
#   xserver.sh stop STATEDIR
# No window manager runs on it: windows open where the programs ask and keep
# the input focus that follows the pointer.
set -eu
state=$2
mkdir -p "$state"
case $1 in
start)
    if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
        exit 0
    fi
    rm -f "$state/display"
    # -displayfd picks a free display number and reports it once the server
    # accepts connections, so no fixed number can clash with another server.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$state/display" >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state/xvfb.pid"
    i=0
    while [ ! -s "$state/display" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
            echo "Xvfb did not start:" >&2
            cat "$state/xvfb.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    ;;
stop)
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    ;;
*)
    echo "usage: xserver.sh start|stop STATEDIR" >&2
    exit 2
    ;;
esac
