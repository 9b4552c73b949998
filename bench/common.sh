# Shared by the benchmark scripts: timing, peak memory and the verdict.

# wall_seconds COMMAND...: runs the command once, prints its wall time in seconds.
wall_seconds() {
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

# peak_kib COMMAND...: runs the command once, prints its peak resident memory in KiB.
peak_kib() {
    /usr/bin/time -f '%M' -o "$tmp/peak" "$@" >/dev/null
    cat "$tmp/peak"
}

# median NUMBERS...
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# spread NUMBERS: the smallest and the largest, as "min to max".
spread() {
    printf '%s\n' "$@" | sort -g | awk 'NR == 1 { low = $1 } { high = $1 } END { printf "%.3f to %.3f\n", low, high }'
}

# load: the machine's load averages; other users of the machine skew every figure.
load() {
    cut -d' ' -f1-3 /proc/loadavg
}

# verdict NAME VALUE LIMIT: prints the comparison; returns 1 when VALUE exceeds LIMIT.
verdict() {
    if [ "$(echo "$2 <= $3" | bc -l)" = 1 ]; then
        printf '%-40s %8.3f (target at most %s): met\n' "$1" "$2" "$3"
    else
        printf '%-40s %8.3f (target at most %s): MISSED\n' "$1" "$2" "$3"
        return 1
    fi
}

# The program with a settings file of its own beside it, so that the user's is never touched.
# bench_program BUILD DIR FOLDER [LOG]: prints the path of the copy.
bench_program() {
    cp "$1/ablagekehrer" "$2/ablagekehrer"
    printf '[Pfade]\n1=%s\n[Optionen]\nProtokoll=%s\n' "$3" "${4:-}" > "$2/ablagekehrer.ini"
    echo "$2/ablagekehrer"
}

"$(dirname "${BASH_SOURCE[0]}")/../scripts/install-packages" time bc >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
