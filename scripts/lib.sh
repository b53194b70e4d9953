# What the scripts share; sourced, never run on its own.

# Every build tree compiles through ccache where it is installed. Paths under the checkout are
# hashed relative to it, so a fresh clone elsewhere reuses what an earlier one compiled; the cache
# lives outside the checkout (ccache's own default folder).
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true

# Configures a CMake build tree from the checkout (the current folder) with Ninja, its output going
# to LOG; when that fails, prints LOG on standard error and returns 1.
#   configure_tree LOG BUILD_DIRECTORY [cmake options...]
configure_tree() {
    local log=$1 dir=$2 launcher=()
    shift 2
    command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    mkdir -p "$(dirname "$log")"
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
}

# Starts a private Xvfb that picks a free display itself (-displayfd), its output going to LOG.
# Sets xvfb_display (":N") and xvfb_pid; returns 1 when the server reports no display within 30 s.
# Whoever starts it calls stop_xvfb from its own exit trap, also after a failed start.
#   start_xvfb WIDTHxHEIGHT LOG
xvfb_pid=
xvfb_display=
start_xvfb() {
    local screen=$1 log=$2 fd number
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 "${screen}x24" -nolisten tcp -noreset >"$log" 2>&1 &
    xvfb_pid=$!
    if ! read -r -t 30 number <&"$fd"; then
        exec {fd}>&-
        return 1
    fi
    exec {fd}>&-
    xvfb_display=":$number"
}

stop_xvfb() {
    [[ -n $xvfb_pid ]] || return 0
    kill "$xvfb_pid" 2>/dev/null && { wait "$xvfb_pid" 2>/dev/null || true; }
    xvfb_pid=
}
