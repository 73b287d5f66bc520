#!/bin/bash
# Codec benchmark: builds a fixed corpus from files every Debian system has
# (text from /usr/include and /usr/share/doc, binaries from /usr/bin and
# /usr/lib), then measures on the same corpus, in the same run: our packed
# size and encode/decode speed per method, gzip -6 and -9, bsdtar and 7z
# decoding the very archives we wrote, gzip -d decoding the corpus packed at
# -6 (the equivalent data), plus our peak memory.
#
#   bench/run.sh [WORK_DIR]      (default /tmp/tavo-bench; needs ~200 MB)
#
# Times are processor seconds (user + system), the best of RUNS runs
# (default 3): wall time on a shared machine measures the other work too.
# Our encoder runs on one thread here (UNLHA32_THREADS=1).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/corpus.sh"
work=${1:-/tmp/tavo-bench}
runs=${RUNS:-3}
mkdir -p "$work"

build="$work/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target lzh_codec_bench >/dev/null
bench=$(find "$build" -name lzh_codec_bench -type f -perm -u+x -print -quit)

corpus="$work/corpus"
corpus_all_files | tr '\n' '\0' | xargs -0 cat > "$corpus" 2>/dev/null || true
size=$(stat -c %s "$corpus")

# Best processor time of `runs` runs of a command whose output is discarded,
# in milliseconds from the shell's timer (/usr/bin/time reads hundredths,
# a step of 7 % of bsdtar's decoding of the corpus).
best_time() {
  local best="" t TIMEFORMAT='%3U %3S'
  for ((i = 0; i < runs; ++i)); do
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
mbps() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", n / t / 1e6 }'; }

printf 'corpus: %s bytes (%s)\n\n' "$size" "$corpus"
printf '%-10s %12s %7s %12s %12s %10s\n' method packed ratio "enc MB/s" "dec MB/s" "peak KiB"

declare -A packed encode decode
peak=0
for method in lh5 lh6 lh7 lh1; do
  best_enc="" best_dec=""
  for ((i = 0; i < runs; ++i)); do
    # One thread: the table is in processor seconds, as gzip's are; what
    # both cores add is suite.sh's figure.
    read -r _ _ out enc dec rss < <(UNLHA32_THREADS=1 "$bench" "$method" "$corpus" "$work/$method.lzh")
    best_enc=$(awk -v a="$enc" -v b="$best_enc" 'BEGIN { print (b == "" || a < b) ? a : b }')
    best_dec=$(awk -v a="$dec" -v b="$best_dec" 'BEGIN { print (b == "" || a < b) ? a : b }')
    ((rss > peak)) && peak=$rss
  done
  packed[$method]=$out encode[$method]=$best_enc decode[$method]=$best_dec
  printf '%-10s %12s %7.4f %12s %12s %10s\n' "-$method-" "$out" "$(awk -v p="$out" -v s="$size" 'BEGIN { print p / s }')" \
    "$(mbps "$size" "$best_enc")" "$(mbps "$size" "$best_dec")" "$rss"
done
for level in 6 9; do
  out=$(gzip -"$level" -c "$corpus" | wc -c)
  t=$(best_time gzip -"$level" -c "$corpus")
  packed[gzip$level]=$out encode[gzip$level]=$t
  printf '%-10s %12s %7.4f %12s %12s\n' "gzip -$level" "$out" "$(awk -v p="$out" -v s="$size" 'BEGIN { print p / s }')" \
    "$(mbps "$size" "$t")" "-"
done

gzip -6 -c "$corpus" > "$work/corpus.gz"
gunzip_time=$(best_time gzip -d -c "$work/corpus.gz")
printf '\n%-10s %12s %12s %12s %12s\n' decode ours bsdtar 7z "gzip -d"
declare -A bsdtar_time sevenzip_time
for method in lh5 lh6 lh7; do
  archive="$work/$method.lzh"
  check_b=$(bsdtar -xOf "$archive" 2>/dev/null | cmp -s - "$corpus" && echo "" || echo " (bsdtar output differs!)")
  check_7=$(7z x -so "$archive" 2>/dev/null | cmp -s - "$corpus" && echo "" || echo " (7z output differs!)")
  bsdtar_time[$method]=$(best_time bsdtar -xOf "$archive")
  sevenzip_time[$method]=$(best_time 7z x -so "$archive")
  printf '%-10s %12s %12s %12s %12s%s%s\n' "-$method-" "$(mbps "$size" "${decode[$method]}")" \
    "$(mbps "$size" "${bsdtar_time[$method]}")" "$(mbps "$size" "${sevenzip_time[$method]}")" \
    "$(mbps "$size" "$gunzip_time")" "$check_b" "$check_7"
done

verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo "NOT met"; fi; }
printf '\ntargets:\n'
for method in lh5 lh7; do
  printf '  -%s- decode >= 3 x bsdtar:      %s (%.2f x)\n' "$method" \
    "$(verdict "${bsdtar_time[$method]} >= 3 * ${decode[$method]}")" "$(awk -v a="${bsdtar_time[$method]}" -v b="${decode[$method]}" 'BEGIN { print a / b }')"
  printf '  -%s- decode >= gzip -d:         %s (%.2f x)\n' "$method" \
    "$(verdict "$gunzip_time >= ${decode[$method]}")" "$(awk -v a="$gunzip_time" -v b="${decode[$method]}" 'BEGIN { print a / b }')"
done
printf '  -lh7- size <= 0.97 x gzip -9:   %s (%.4f x)\n' "$(verdict "${packed[lh7]} <= 0.97 * ${packed[gzip9]}")" \
  "$(awk -v a="${packed[lh7]}" -v b="${packed[gzip9]}" 'BEGIN { print a / b }')"
printf '  -lh5- size <= 1.02 x gzip -6:   %s (%.4f x)\n' "$(verdict "${packed[lh5]} <= 1.02 * ${packed[gzip6]}")" \
  "$(awk -v a="${packed[lh5]}" -v b="${packed[gzip6]}" 'BEGIN { print a / b }')"
printf '  -lh5- encode >= gzip -6 speed:  %s (%.2f x)\n' "$(verdict "${encode[lh5]} <= ${encode[gzip6]}")" \
  "$(awk -v a="${encode[gzip6]}" -v b="${encode[lh5]}" 'BEGIN { print a / b }')"
printf '  peak memory < 16 MiB:           %s (%s KiB)\n' "$(verdict "$peak < 16384")" "$peak"
