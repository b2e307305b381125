#!/usr/bin/env bash
# Starts and ends the viewer many times under Xvfb and checks that every run
# ends cleanly: exit status 0 within 3 s of the close or the SIGTERM, no font
# folder or font file left behind, a whole registry file, no process left.
#
#   tools/startstop.sh [RUNS]      (default 100)
#
# The viewer is build/test/orvtt beside this script's checkout, or
# $ORVTT_VIEWER. Odd runs are ended with the window's own close button (the
# window is borderless, and Xvfb has no window manager to send a close), even
# runs with SIGTERM. Each run has its own registry file, XDG_RUNTIME_DIR and
# TMPDIR. Prints a line per failed run and a summary; exits 1 when a run
# failed, 2 when it could not run at all.
set -u

RUNS=${1:-100}
if ! [[ $RUNS =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [RUNS]" >&2
    exit 2
fi
HERE=$(cd "$(dirname "$0")/.." && pwd)
VIEWER=${ORVTT_VIEWER:-$HERE/build/test/orvtt}
if [[ ! -x $VIEWER ]]; then
    echo "startstop: no viewer at $VIEWER" >&2
    exit 2
fi
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "startstop: $tool is not installed" >&2; exit 2; }
done

EXIT_LIMIT_MS=3000     # from the close or the signal to the exit
SHOW_LIMIT_MS=20000    # from the start to the window on the screen
GIVE_UP_MS=10000       # after the close, before the viewer is killed
# The close button's middle, in window coordinates: the main window is 632
# wide and the button sits at (width - 28, 5), 26 x 24 (windows/PageForm.cpp).
CLOSE_X=617
CLOSE_Y=17

failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/orvtt-startstop.XXXXXX") || exit 2
XVFB_PID=
VIEWER_PID=

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

cleanup() {
    if [[ -n $VIEWER_PID ]] && kill -0 "$VIEWER_PID" 2>/dev/null; then kill -KILL "$VIEWER_PID" 2>/dev/null; fi
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    # What failed runs left is kept for a look.
    if (( failures )); then echo "startstop: the failed runs' folders are in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display nobody uses: no lock file and no socket.
DISPLAY_NO=
for n in $(seq 77 140); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
        DISPLAY_NO=$n
        break
    fi
done
[[ -n $DISPLAY_NO ]] || { echo "startstop: no free X display" >&2; exit 2; }
# -noreset: without it the server resets whenever its last client leaves, and
# a viewer connecting just then (while an xdotool poll disconnects) is refused.
Xvfb ":$DISPLAY_NO" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NO"
for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
done
if ! xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "startstop: Xvfb did not start on $DISPLAY:" >&2
    cat "$WORK/xvfb.log" >&2
    exit 2
fi
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# Processes that carry this run's registry in their environment: the viewer
# and anything it started.
processes_of_run() {
    local marker=$1 pid
    for pid in /proc/[0-9]*; do
        pid=${pid#/proc/}
        [[ $pid == "$$" ]] && continue
        if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "ORVTT_REGISTRY=$marker"; then
            echo "$pid"
        fi
    done
}

# Empty when the registry file is whole, else why not.
registry_problem() {
    local file=$1
    [[ -e $file ]] || { echo "no registry file"; return; }
    [[ -e $file.bad ]] && { echo "registry file was found damaged (.bad left)"; return; }
    [[ -s $file ]] || { echo "registry file is empty"; return; }
    [[ $(head -n 1 "$file" | tr -d '\r') == REGEDIT4 ]] || { echo "registry file does not start with REGEDIT4"; return; }
    [[ $(tail -c 1 "$file" | od -An -c | tr -d ' ') == '\n' ]] || { echo "registry file does not end with a newline"; return; }
    # Every line: the header, a key, a value, a continued value, a comment or nothing.
    local bad
    bad=$(awk 'NR > 1 {
            sub(/\r$/, "")
            if (cont) { cont = /\\$/; next }
            if ($0 ~ /^[ \t]*$/ || $0 ~ /^[ \t]*;/ || $0 ~ /^\[.+\]$/) next
            if ($0 ~ /^[ \t]*("([^"\\]|\\.)*"|@)[ \t]*=/) { cont = /\\$/ && $0 !~ /="/; next }
            print NR ": " $0; exit
        } END { if (cont) print "continued value runs past the end" }' "$file")
    [[ -z $bad ]] || echo "registry file does not parse at line $bad"
}

# Empty when no font folder or font file is left, else what is.
font_leftovers() {
    local dir found=
    for dir in "$@"; do
        for f in "$dir"/orvtt-font.* "$dir"/ORVTTX.FON; do
            [[ -e $f ]] && found+=" $f"
        done
    done
    echo "${found# }"
}

slowest_ms=0
slowest_run=0
slowest_close_ms=0
slowest_term_ms=0

for run in $(seq "$RUNS"); do
    RUN_DIR="$WORK/run$run"
    mkdir -p "$RUN_DIR/runtime" "$RUN_DIR/tmp" || exit 2
    chmod 0700 "$RUN_DIR/runtime" "$RUN_DIR/tmp"
    REG="$RUN_DIR/registry.reg"
    if (( run % 2 )); then how=close; else how=SIGTERM; fi
    problems=()

    ORVTT_REGISTRY=$REG XDG_RUNTIME_DIR="$RUN_DIR/runtime" TMPDIR="$RUN_DIR/tmp" \
        "$VIEWER" >"$RUN_DIR/viewer.log" 2>&1 &
    VIEWER_PID=$!

    # The main window: this process's visible window of that class (the splash has
    # another; without --all xdotool takes either condition).
    window=
    started=$(now_ms)
    while (( $(now_ms) - started < SHOW_LIMIT_MS )); do
        kill -0 "$VIEWER_PID" 2>/dev/null || break
        window=$(xdotool search --all --onlyvisible --pid "$VIEWER_PID" --class ORV_Teletext 2>/dev/null | head -n 1)
        [[ -n $window ]] && break
        sleep 0.05
    done

    status=
    exit_ms=
    if [[ -z $window ]]; then
        if kill -0 "$VIEWER_PID" 2>/dev/null; then
            problems+=("the window did not show within $((SHOW_LIMIT_MS / 1000)) s; killed")
            kill -KILL "$VIEWER_PID" 2>/dev/null
            wait "$VIEWER_PID" 2>/dev/null
        else
            wait "$VIEWER_PID"
            problems+=("ended (status $?) before its window showed")
            VIEWER_PID=
        fi
    else
        # A moment for the window to take input after it was mapped.
        sleep 0.3
        sent=$(now_ms)
        if [[ $how == close ]]; then
            xdotool mousemove --window "$window" "$CLOSE_X" "$CLOSE_Y" click 1 2>>"$RUN_DIR/xdotool.log" ||
                problems+=("xdotool could not click the close button")
        else
            kill -TERM "$VIEWER_PID"
        fi
        while kill -0 "$VIEWER_PID" 2>/dev/null && (( $(now_ms) - sent < GIVE_UP_MS )); do sleep 0.01; done
        if kill -0 "$VIEWER_PID" 2>/dev/null; then
            problems+=("still running $((GIVE_UP_MS / 1000)) s after the $how; killed")
            kill -KILL "$VIEWER_PID" 2>/dev/null
            wait "$VIEWER_PID" 2>/dev/null
        else
            exit_ms=$(( $(now_ms) - sent ))
            wait "$VIEWER_PID"
            status=$?
            (( status == 0 )) || problems+=("exit status $status")
            (( exit_ms <= EXIT_LIMIT_MS )) || problems+=("took ${exit_ms} ms to exit after the $how")
            if (( exit_ms > slowest_ms )); then slowest_ms=$exit_ms; slowest_run=$run; fi
            if [[ $how == close ]]; then
                (( exit_ms > slowest_close_ms )) && slowest_close_ms=$exit_ms
            else
                (( exit_ms > slowest_term_ms )) && slowest_term_ms=$exit_ms
            fi
        fi
        VIEWER_PID=
    fi

    left=$(font_leftovers "$RUN_DIR/runtime" "$RUN_DIR/tmp")
    [[ -z $left ]] || problems+=("font left behind: $left")
    if [[ -n $window ]]; then
        reg=$(registry_problem "$REG")
        [[ -z $reg ]] || problems+=("$reg")
    fi
    others=$(processes_of_run "$REG" | tr '\n' ' ')
    if [[ -n $others ]]; then
        problems+=("processes left: $others")
        for pid in $others; do kill -KILL "$pid" 2>/dev/null; done
    fi

    if ! kill -0 "$XVFB_PID" 2>/dev/null || [[ ! -S /tmp/.X11-unix/X$DISPLAY_NO ]]; then
        problems+=("Xvfb on $DISPLAY is gone")
    fi

    if (( ${#problems[@]} )); then
        failures=$((failures + 1))
        reason=$(printf '%s; ' "${problems[@]}")
        echo "run $run ($how): FAILED: ${reason%; } (log: $(tr '\n' ' ' <"$RUN_DIR/viewer.log" | cut -c1-200))"
    else
        rm -rf "$RUN_DIR"
    fi
done

echo "startstop: $RUNS runs ($(( (RUNS + 1) / 2 )) closed by the window's close button, $(( RUNS / 2 )) by SIGTERM)," \
     "$failures failed; slowest exit ${slowest_ms} ms (run $slowest_run);" \
     "slowest after close ${slowest_close_ms} ms, after SIGTERM ${slowest_term_ms} ms"
(( failures == 0 ))
