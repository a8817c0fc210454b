#!/usr/bin/env bash
# Times the callbook queries of kalvera-callbook against grep and awk on synthetic callbooks
# of several sizes, and the window's own cost in process, then writes bench/results.md and
# bench/time_vs_size.png. One command, from the repository root:
#
#   bench/run_bench.sh
#
# Environment (optional): RUNS, measured pairs per figure (default 15); SIZES, member lines
# per file (default "10000 100000 1000000 3000000").
# Builds Release into build-release/. Callbooks go to a temporary folder that is removed at
# the end; the raw pair timings of the last run stay in bench/out/ (not committed).
set -euo pipefail

RUNS=${RUNS:-15}
SIZES=${SIZES:-"10000 100000 1000000 3000000"}
WINDOW_SIZE=1000000

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build-release
bin=$build/bin
results=$repo/bench/results.md
plot=$repo/bench/time_vs_size.png
raw_dir=$repo/bench/out
started=$(date +%s)

mkdir -p "$build"
"$repo/scripts/install_deps.sh" --bench --log "$build/setup.log"
echo "== Building Release in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(kalvera-callbook kalvera-gen-callbook kalvera-bench-launch)
# (grep without -q: it must read to the end, or ninja may die of SIGPIPE under pipefail)
if ninja -C "$build" -t targets all | grep '^kalvera-window-bench: phony' >/dev/null; then
    targets+=(kalvera-window-bench)
fi
ninja -C "$build" "${targets[@]}"

tool=$bin/kalvera-callbook
launch=$bin/kalvera-bench-launch
window_bench=$bin/kalvera-window-bench
[[ -x $window_bench && " ${targets[*]} " == *" kalvera-window-bench "* ]] || window_bench=

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvera-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$raw_dir"
raw=$raw_dir/pairs.txt
: >"$raw"
data=$work/data.tsv
: >"$data"

label() {  # 10000 -> 10k, 3000000 -> 3M
    local n=$1
    if ((n % 1000000 == 0)); then echo "$((n / 1000000))M"; elif ((n % 1000 == 0)); then echo "$((n / 1000))k"; else echo "$n"; fi
}

fail() {
    echo "run_bench.sh: $*" >&2
    exit 1
}

# --- Callbooks ------------------------------------------------------------------------------
declare -A last absent typeable region members_file top_file
for n in $SIZES; do
    file=$work/callbook_$n.txt
    echo "== Generating $(label "$n") lines"
    info=$("$bin/kalvera-gen-callbook" "$n" "$file")
    last[$n]=$(sed -n 's/^last=//p' <<<"$info")
    absent[$n]=$(sed -n 's/^absent=//p' <<<"$info")
    typeable[$n]=$(sed -n 's/^typeable=//p' <<<"$info")
    region[$n]=$(sed -n 's/^region=//p' <<<"$info")
    members_file[$n]=$file

    # The answers must be right before their speed means anything.
    first=$("$tool" lookup "$file" "${last[$n]}" | sed -n 1p)
    [[ $first == "${last[$n]}" ]] || fail "lookup of ${last[$n]} gave '$first'"
    status=0
    "$tool" lookup "$file" "${absent[$n]}" >/dev/null || status=$?
    [[ $status == 1 ]] || fail "lookup of ${absent[$n]} exited with $status, not 1 (not found)"
    ours=$("$tool" regions "$file" | wc -l)
    theirs=$(awk -F'#' '!s[$4]++' "$file" | wc -l)
    [[ $ours == "$theirs" ]] || fail "regions: $ours entries, awk finds $theirs"
    ours=$("$tool" listing "$file" "${region[$n]}" | wc -l)
    theirs=$(grep -F "${region[$n]}" "$file" | awk -F'#' -v r="${region[$n]}" '$4 == r' | wc -l)
    [[ $ours == "$theirs" ]] || fail "listing of ${region[$n]}: $ours rows, $theirs lines"
    [[ $("$tool" version "$file") == "Database versi: 2026-12-06 07:30 WIB" ]] || fail "version"
    # The same callbook with its version line only at the top, as data keepers often write it.
    top_file[$n]=$work/callbook_top_$n.txt
    head -n -1 "$file" >"${top_file[$n]}"
    [[ $("$tool" version "${top_file[$n]}") == "Database versi: 2026-12-01 08:00 WIB" ]] ||
        fail "version at the top"
    # The checker must find the duplicates that awk finds (the generator writes none).
    ours=$("$tool" check "$file" | grep -c ': error: callsign .* already stands on line' || true)
    theirs=$(awk -F'#' 'seen[$1]++' "$file" | grep -vc '^versi: ' || true)
    [[ $ours == "$theirs" ]] || fail "check: $ours duplicate callsigns, awk finds $theirs"
done

# --- Whole processes ------------------------------------------------------------------------
# measure OPERATION LINES FILE -- OURS... ::: YARDSTICK...
measure() {
    local op=$1 n=$2 file=$3
    shift 4
    local out summary
    echo "   $op" >&2
    out=$("$launch" --runs "$RUNS" --warmup 1 -- "$@") || fail "$op on $(label "$n") lines failed"
    printf '# %s %s\n%s\n' "$op" "$(label "$n")" "$out" >>"$raw"
    summary=$(sed -n 's/^summary //p' <<<"$out")
    local a b ratio rss_a rss_b bytes_a bytes_b
    read -r a b ratio rss_a rss_b bytes_a bytes_b <<<"$summary"
    ((bytes_a > 0)) || fail "$op on $(label "$n") lines printed nothing"
    local mb
    mb=$(stat -c %s "$file" | awk '{ printf "%.1f", $1 / 1048576 }')
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$op" "$n" "$mb" "$a" "$b" "$ratio" "$rss_a" \
        "$rss_b" >>"$data"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $SIZES; do
    file=${members_file[$n]}
    echo "== Measuring $(label "$n") lines, $RUNS pairs each"
    cat "$file" >/dev/null  # warm the page cache
    cat "$file" >/dev/null
    measure lookup-last "$n" "$file" -- \
        "$tool" lookup "$file" "${last[$n]}" ::: grep -F -m1 "${last[$n]}" "$file"
    measure lookup-absent "$n" "$file" -- \
        "$tool" lookup "$file" "${absent[$n]}" ::: grep -F -m1 "${absent[$n]}" "$file"
    measure regions "$n" "$file" -- \
        "$tool" regions "$file" ::: awk -F'#' '!s[$4]++' "$file"
    measure listing "$n" "$file" -- \
        "$tool" listing "$file" "${region[$n]}" ::: grep -F "${region[$n]}" "$file"
    measure version "$n" "$file" -- \
        "$tool" version "$file" ::: grep -F 'versi: ' "$file" '|' tail -n 1
    cat "${top_file[$n]}" >/dev/null
    measure version-top "$n" "${top_file[$n]}" -- \
        "$tool" version "${top_file[$n]}" ::: grep -F 'versi: ' "${top_file[$n]}" '|' tail -n 1
    measure check "$n" "$file" -- \
        "$tool" check "$file" ::: awk -F'#' 'seen[$1]++' "$file"
done

# What a process costs before it does anything, as the launcher and /usr/bin/time see it.
floor_launch=$("$launch" --runs "$RUNS" -- /bin/true ::: /bin/true | sed -n 's/^summary //p')
read -r floor_ms _ _ floor_kib _ _ _ <<<"$floor_launch"
floor_time_kib=$(/usr/bin/time -f %M /bin/true 2>&1 >/dev/null)
cross_n=$(tr ' ' '\n' <<<"$SIZES" | sed '/^$/d' | tail -n 1)
cross_kib=$(/usr/bin/time -f %M "$tool" regions "${members_file[$cross_n]}" 2>&1 >/dev/null | tail -n 1)

# --- The window, in process -----------------------------------------------------------------
window_lines=()
if [[ -n $window_bench && -n ${members_file[$WINDOW_SIZE]:-} ]]; then
    echo "== Window, $(label $WINDOW_SIZE) lines"
    folder=$work/program
    mkdir -p "$folder"
    ln "${members_file[$WINDOW_SIZE]}" "$folder/log.txt"
    cat "$folder/log.txt" >/dev/null
    mkdir -m 700 "$work/runtime"
    out=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$window_bench" --runs "$RUNS" "$folder" \
        "${typeable[$WINDOW_SIZE]}") || fail "window bench failed"
    printf '# window %s\n%s\n' "$(label $WINDOW_SIZE)" "$out" >>"$raw"
    mapfile -t window_lines < <(sed -n 's/^window //p' <<<"$out")
fi
# Start-up on the largest file with its version line only at the top: the whole file is read
# once, for the regions and the banner together.
startup_top=
if [[ -n $window_bench ]]; then
    big=$(tr ' ' '\n' <<<"$SIZES" | sed '/^$/d' | tail -n 1)
    echo "== Window start-up, $(label "$big") lines, version line at the top"
    folder=$work/program_top
    mkdir -p "$folder"
    ln "${top_file[$big]}" "$folder/log.txt"
    cat "$folder/log.txt" >/dev/null
    mkdir -p -m 700 "$work/runtime"
    out=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$window_bench" --runs 5 "$folder" \
        "${typeable[$big]}") || fail "window bench (version at the top) failed"
    printf '# window-top %s\n%s\n' "$(label "$big")" "$out" >>"$raw"
    startup_top="$(label "$big") lines, $(stat -c %s "$folder/log.txt" | awk '{ printf "%.0f", $1 / 1048576 }') MiB: $(sed -n 's/^window form_load //p' <<<"$out" | awk '{ printf "%.0f ms (the pass alone %.0f ms)", $1, $2 }')"
fi

# --- Report ---------------------------------------------------------------------------------
echo "== Writing $results"
describe() {
    case $1 in
        lookup-last) echo "lookup, last member" ;;
        lookup-absent) echo "lookup, absent key" ;;
        regions) echo "region list" ;;
        listing) echo "region listing" ;;
        version) echo "version banner" ;;
        version-top) echo "version banner, version line only at the top" ;;
        check) echo "check for data keepers" ;;
    esac
}
yardstick() {
    case $1 in
        lookup-last | lookup-absent) echo '`grep -F -m1 KEY FILE`' ;;
        regions) echo "\`awk -F'#' '!s[\$4]++' FILE\`" ;;
        listing) echo '`grep -F REGION FILE`' ;;
        version | version-top) echo "\`grep -F 'versi: ' FILE \\| tail -n 1\`" ;;
        check) echo "\`awk -F'#' 'seen[\$1]++' FILE\`" ;;
    esac
}
ops=(lookup-last lookup-absent regions listing version version-top check)
big_sizes=$(tr ' ' '\n' <<<"$SIZES" | awk '$1 >= 1000000' | tr '\n' ' ')
smallest=$(tr ' ' '\n' <<<"$SIZES" | sed '/^$/d' | sed -n 1p)
largest=$(tr ' ' '\n' <<<"$SIZES" | sed '/^$/d' | tail -n 1)

# target_ratio OP LIMIT: "met"/"missed" and the figures on the big files
target_ratio() {
    awk -F'\t' -v op="$1" -v limit="$2" -v sizes="$big_sizes" '
        function label(n) {
            return n % 1000000 == 0 ? n / 1000000 "M" : n % 1000 == 0 ? n / 1000 "k" : n
        }
        BEGIN { split(sizes, want, " "); for (i in want) big[want[i]] = 1; ok = 1 }
        $1 == op && ($2 in big) {
            figs = figs (figs ? ", " : "") sprintf("%.2fx at %s", $6, label($2))
            if ($6 > limit) ok = 0
        }
        END { print (figs == "" ? "n/a" : ok ? "met" : "**missed**") "\t" (figs == "" ? "-" : figs) }' "$data"
}

{
    echo "# Benchmark results"
    echo
    echo "Written by \`bench/run_bench.sh\` on $(date '+%Y-%m-%d %H:%M %Z'); the run took" \
        "$(($(date +%s) - started)) s."
    echo
    echo "## Machine"
    echo
    echo "- CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | sed -n 1p)," \
        "$(nproc) cores; memory $(free -g | awk '/^Mem:/ { print $2 }') GB"
    echo "- Load average (1, 5, 15 min) before the measurements: $load_before; after them:" \
        "$(cut -d' ' -f1-3 /proc/loadavg)"
    echo "- System: Debian $(cat /etc/debian_version), Linux $(uname -r)"
    echo "- Compiler: $(g++ --version | sed -n 1p), CMake Release build"
    echo "- Yardsticks: $(grep --version | sed -n 1p); awk is" \
        "$(readlink -f "$(command -v awk)" | xargs basename)" \
        "($(awk -W version 2>&1 | sed -n 1p)); $(tail --version | sed -n 1p)"
    echo
    echo "## Method"
    echo
    echo "Synthetic callbooks from \`kalvera-gen-callbook\` (about 96 bytes a line, 500 regions" \
        "in loose runs, every status kind, a version line at the top and at the end), warm" \
        "in the page cache (each file is read through just before its measurements). Each" \
        "figure is $RUNS interleaved pairs (ours and the yardstick alternately first, after" \
        "one warm-up pair) of whole processes started by" \
        "\`kalvera-bench-launch\`: fork and exec, output into a pipe that the launcher reads" \
        "to the end, wall time on the monotonic clock until every process of the command has" \
        "been reaped. Times are medians; the ratio is the median of the ratios of the pairs." \
        "Peak memory is the largest \`ru_maxrss\` over the runs (for a pipeline, of its" \
        "largest process), in MiB."
    echo
    echo "A process that does nothing (\`/bin/true\`) measures ${floor_ms} ms and" \
        "$(awk -v k="$floor_kib" 'BEGIN { printf "%.2f", k / 1024 }') MiB through the" \
        "launcher ($(awk -v k="$floor_time_kib" 'BEGIN { printf "%.2f", k / 1024 }') MiB" \
        "with \`/usr/bin/time -f %M\`). Cross-check: \`/usr/bin/time -f %M\` gives" \
        "$(awk -v k="$cross_kib" 'BEGIN { printf "%.2f", k / 1024 }') MiB for the region" \
        "list on the $(label "$cross_n") file."
    echo
    echo "| Operation | Yardstick |"
    echo "|---|---|"
    for op in "${ops[@]}"; do
        echo "| $(describe "$op") | $(yardstick "$op") |"
    done
    echo
    echo "## Whole processes"
    echo
    echo "| Operation | Lines | File MiB | Ours ms | Yardstick ms | Ratio | Ours peak MiB | Yardstick peak MiB |"
    echo "|---|--:|--:|--:|--:|--:|--:|--:|"
    for op in "${ops[@]}"; do
        awk -F'\t' -v op="$op" -v name="$(describe "$op")" '
            function label(n) {
                return n % 1000000 == 0 ? n / 1000000 "M" : n % 1000 == 0 ? n / 1000 "k" : n
            }
            $1 == op {
                printf "| %s | %s | %s | %.2f | %.2f | %.2fx | %.2f | %.2f |\n", name,
                    label($2), $3, $4, $5, $6, $7 / 1024, $8 / 1024
            }' "$data"
    done
    if ((${#window_lines[@]} > 0)); then
        echo
        echo "## In the window ($(label $WINDOW_SIZE) lines, Qt offscreen, in process)"
        echo
        echo "Constructing \`Form1\` (its controls, then \`Form_Load\`) against the two queries" \
            "that \`Form_Load\` runs; one lookup through \`Command1_Click\` against the query" \
            "alone, for the member on the last line but one (\`${typeable[$WINDOW_SIZE]}\`: the" \
            "search box takes a suffix of three characters). $RUNS interleaved pairs each."
        echo
        echo "| Operation | Window median ms | Direct median ms | Ratio |"
        echo "|---|--:|--:|--:|"
        for line in "${window_lines[@]}"; do
            read -r what win direct ratio <<<"$line"
            case $what in
                form_load) what='`Form_Load` vs `QueryRegionsAndVersion`' ;;
                lookup) what='`Command1_Click` vs `QueryCallsign`' ;;
            esac
            printf '| %s | %.2f | %.2f | %.2fx |\n' "$what" "$win" "$direct" "$ratio"
        done
    fi
    if [[ -n $startup_top ]]; then
        echo
        echo "Start-up (\`Form1\` constructed, \`Form_Load\` included) with the version line only at" \
            "the top of the file, median of 5: $startup_top."
    fi
    echo
    echo "## Targets"
    echo
    echo "Ratios on the files of a million lines and more."
    echo
    echo "| Target | Figures | Result |"
    echo "|---|---|---|"
    for target in "lookup-last 1.0" "lookup-absent 1.0" "regions 0.35" "listing 0.8" \
        "version 0.5" "version-top 0.5" "check 0.6"; do
        read -r op limit <<<"$target"
        IFS=$'\t' read -r verdict figs <<<"$(target_ratio "$op" "$limit")"
        echo "| $(describe "$op") at most ${limit}x its yardstick | $figs | $verdict |"
    done
    awk -F'\t' -v small="$smallest" -v large="$largest" '
        # The check keeps every distinct callsign: its memory grows with them by design.
        $1 == "check" { next }
        { peak = $7 > peak ? $7 : peak }
        $2 == small { low[$1] = $7 }
        $2 == large { high[$1] = $7 }
        END {
            printf "| tool peak memory at most 8 MiB | largest %.2f MiB | %s |\n", peak / 1024,
                peak <= 8192 ? "met" : "**missed**"
            for (op in high) {
                d = high[op] - low[op]; d = d < 0 ? -d : d
                figs = figs (figs ? ", " : "") sprintf("%s %+.2f", op, (high[op] - low[op]) / 1024)
                if (d > 1024) bad = 1
            }
            printf "| tool peak memory within 1 MiB from the smallest to the largest file | %s MiB | %s |\n",
                figs, bad ? "**missed**" : "met"
        }' "$data"
    for line in "${window_lines[@]}"; do
        read -r what _ _ ratio <<<"$line"
        case $what in
            form_load) limit=1.3 name='`Form_Load` at most 1.3x its one pass over the file' ;;
            lookup) limit=1.2 name='a lookup through the window at most 1.2x the direct query' ;;
            *) continue ;;
        esac
        verdict=$(awk -v r="$ratio" -v l="$limit" 'BEGIN { print (r <= l ? "met" : "**missed**") }')
        printf '| %s | %.2fx | %s |\n' "$name" "$ratio" "$verdict"
    done
    echo
    echo "![Time against file size](time_vs_size.png)"
} >"$results"

# --- Plot -----------------------------------------------------------------------------------
echo "== Plotting $plot"
for op in "${ops[@]}"; do
    awk -F'\t' -v op="$op" '$1 == op' "$data" >"$work/plot_$op.tsv"
done
{
    echo "set terminal pngcairo size 1900,900 font ',10'"
    echo "set output '$plot'"
    echo "set multiplot layout 2,4 title 'kalvera-callbook against its yardsticks (whole processes, warm cache, medians)'"
    echo "set logscale xy"
    echo "set grid"
    echo "set key top left"
    echo "set xlabel 'member lines'"
    echo "set format x '10^{%L}'"
    echo "set xrange [5000:6000000]"
    for op in "${ops[@]}"; do
        echo "set title '$(describe "$op")'"
        echo "set ylabel 'ms'"
        echo "plot '$work/plot_$op.tsv' using 2:4 with linespoints lw 2 pt 7 title 'kalvera-callbook', \\"
        echo -n "     '' using 2:5 with linespoints lw 2 pt 5 dt 2 title \"$(yardstick "$op" | tr -d '`\\')\" noenhanced"
        echo
    done
    echo "set title 'peak memory of kalvera-callbook'"
    echo "set ylabel 'MiB'"
    echo "unset logscale y"
    echo "set yrange [0:*]"
    echo -n "plot "
    sep=""
    for op in "${ops[@]}"; do
        echo -n "$sep'$work/plot_$op.tsv' using 2:(\$7/1024) with linespoints lw 2 title '$(describe "$op")'"
        sep=", "
    done
    echo
    echo "unset multiplot"
} >"$work/plot.gp"
gnuplot "$work/plot.gp"

echo "== Done in $(($(date +%s) - started)) s"
cat "$results"
