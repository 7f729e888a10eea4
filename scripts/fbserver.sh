#!/usr/bin/env bash
# Starts or stops the Firebird server that the server tests reach on 127.0.0.1.
#   scripts/fbserver.sh start|stop|status
# The SYSDBA password is $LUMVIK_TEST_SERVER_PASSWORD (default "masterkey"); it is set in the security
# database through the embedded engine before the server starts, as the server then holds that file.
set -euo pipefail

action=${1:-start}
pidfile=${LUMVIK_FB_PIDFILE:-/tmp/lumvik-fbguard.pid}
password=${LUMVIK_TEST_SERVER_PASSWORD:-masterkey}
security=/var/lib/firebird/3.0/system/security3.fdb

# A guard that has ended but was not reaped (a container whose first process does not reap orphans)
# still answers kill -0: a zombie counts as gone.
alive() { kill -0 "$1" 2>/dev/null && ! grep -qE '^[0-9]+ \(.*\) Z' "/proc/$1/stat" 2>/dev/null; }
running() { [ -s "$pidfile" ] && alive "$(cat "$pidfile")"; }
listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

case "$action" in
start)
    if running; then echo "firebird server already running (pid $(cat "$pidfile"))"; exit 0; fi
    if listening; then
        # The package's own service may have started at installation: ours replaces it, as it needs
        # a known password.
        systemctl stop firebird3.0 2>/dev/null || service firebird3.0 stop 2>/dev/null || true
        pkill -x fbguard 2>/dev/null || true
        pkill -x firebird 2>/dev/null || true
        for _ in $(seq 1 50); do listening || break; sleep 0.2; done
        if listening; then echo "port 3050 is taken by another program" >&2; exit 1; fi
    fi
    printf "create or alter user SYSDBA password '%s';\ncommit;\n" "$password" |
        isql-fb -q -user SYSDBA "$security" >/dev/null
    rm -f "$pidfile"
    /usr/sbin/fbguard -daemon -onetime -pidfile "$pidfile"
    for _ in $(seq 1 100); do
        if listening; then echo "firebird server listening on 127.0.0.1:3050 (pid $(cat "$pidfile"))"; exit 0; fi
        sleep 0.2
    done
    echo "the firebird server did not start" >&2
    exit 1
    ;;
stop)
    if running; then
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        # A server with attachments may take its time to shut down: after 10 seconds it is killed.
        for _ in $(seq 1 50); do
            if ! alive "$pid" && ! listening; then break; fi
            sleep 0.2
        done
    fi
    if listening || pgrep -x firebird >/dev/null; then
        pkill -KILL -x firebird 2>/dev/null || true
        for _ in $(seq 1 50); do
            if ! listening && ! pgrep -x firebird >/dev/null; then break; fi
            sleep 0.2
        done
    fi
    if listening; then echo "the firebird server did not stop" >&2; exit 1; fi
    rm -f "$pidfile"
    echo "firebird server stopped"
    ;;
status)
    if running; then echo "running (pid $(cat "$pidfile"))"; else echo "stopped"; exit 1; fi
    ;;
*)
    echo "usage: $0 start|stop|status" >&2
    exit 2
    ;;
esac
