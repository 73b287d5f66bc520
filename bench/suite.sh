#!/bin/bash
# The whole benchmark suite: the codec table of run.sh, then ratios against
# the tools users reach for, the whole programs against bsdtar and 7z on the
# same archives, the scale figures and peak memory, one large file packed
# on all cores and on one (UNLHA32_THREADS=1) beside gzip -9, many large
# members decoded on all cores and on one, and what a member costs (many small members, a million empty ones), and the library's
# commands timed on their own. Every figure that is compared is a ratio of
# two measurements taken side by side in this run on the same files:
# absolute times on shared machines drift.
#
#   bench/suite.sh [--huge] [WORK_DIR]   (default /tmp/tavo-bench)
#
# --huge adds a 4.2 GB member (a sparse file of zeros) to show peak memory
# of a, t and x with a member past 4 GiB; it takes minutes and ~5 GB disk.
# RUNS (default 3) sets how many runs each time is the best of.
#
# The codec table (run.sh) is in processor seconds; the whole programs are
# timed in wall seconds, since using both cores is part of what they are
# judged on; their processor seconds are shown beside them.
set -euo pipefail

huge=false
if [[ ${1:-} == --huge ]]; then
  huge=true
  shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/corpus.sh"
work=${1:-/tmp/tavo-bench}
runs=${RUNS:-3}
export RUNS=$runs
mkdir -p "$work"
for tool in xz bsdtar 7z /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install xz-utils libarchive-tools p7zip-full time)" >&2; exit 1; }
done

# --- The codec table, and the corpus and archives it leaves in $work -------
echo "== codec (bench/run.sh, processor seconds) =="
bash "$root/bench/run.sh" "$work" | tee "$work/codec.txt"
build="$work/build"
cmake --build "$build" -j2 --target tavo unlha32 lzh_scale_bench lzh_walk_bench >/dev/null
tavo="$build/bin/tavo"
scale=$(find "$build" -name lzh_scale_bench -type f -perm -u+x -print -quit)
walk=$(find "$build" -name lzh_walk_bench -type f -perm -u+x -print -quit)
corpus="$work/corpus"
size=$(stat -c %s "$corpus")

# Best of `runs`: "wall cpu peak_kib" of a command whose output is discarded.
# Seconds come from the shell's timer, in milliseconds: many jobs here take
# tens of them, and /usr/bin/time, which gives the peak, reads hundredths.
measure() {
  local best="" line times TIMEFORMAT='%3R %3U %3S'
  for ((i = 0; i < runs; ++i)); do
    [[ -n ${before:-} ]] && eval "$before"
    times=$( { time /usr/bin/time -o "$work/time.txt" -f '%M' "$@" >/dev/null 2>&1; } 2>&1 ) || true
    # The last line: time puts a line about a non-zero exit status first.
    line=$(awk -v t="$times" -v peak="$(tail -n 1 "$work/time.txt")" \
      'BEGIN { split(t, x); printf "%.3f %.3f %d", x[1], x[2] + x[3], peak }')
    best=$(awk -v l="$line" -v b="$best" 'BEGIN { split(l, x); split(b, y); print (b == "" || x[1] < y[1]) ? l : b }')
  done
  echo "$best"
}
# "-" when the divisor is 0, as times under a millisecond are.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
mbps() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", n / t / 1e6 }'; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo "NOT met"; fi; }
targets=()
target() { targets+=("$(printf '  %-52s %s (%s)' "$1" "$(verdict "$2")" "$3")"); }

# --- Against gzip, xz and the decoders, from the codec table ---------------
# run.sh's rows: "-lh5- packed ratio enc_MB/s dec_MB/s peak" and, in its
# decode table, "-lh5- ours bsdtar 7z" (MB/s); its target lines are not
# figures.
declare -A packed enc dec bsdtar_dec sevenzip_dec peak
while read -r name a b c d e; do
  [[ $name =~ ^-lh[0-9]-$ && $a =~ ^[0-9.]+$ ]] || continue
  m=${name//-/}
  if [[ -z ${packed[$m]:-} ]]; then
    packed[$m]=$a enc[$m]=$c dec[$m]=$d peak[$m]=$e
  else
    bsdtar_dec[$m]=$b sevenzip_dec[$m]=$c
  fi
done < "$work/codec.txt"
[[ -n ${packed[lh5]:-} ]] || { echo "cannot read run.sh's table" >&2; exit 1; }

cpu_of() { measure "$@" | awk '{ print $2 }'; }
declare -A ref_size ref_enc
for tool in "gzip -6" "gzip -9" "xz -1"; do
  ref_size[$tool]=$($tool -c "$corpus" | wc -c)
  ref_enc[$tool]=$(mbps "$size" "$(cpu_of $tool -c "$corpus")")
done
gzip -6 -c "$corpus" > "$work/corpus.gz"
gunzip_mbps=$(mbps "$size" "$(cpu_of gzip -d -c "$work/corpus.gz")")

echo
echo "== codec against gzip and xz (ours / theirs; size: lower is better, speed: higher is better) =="
printf '%-7s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n' method "size/g6" "size/g9" "size/xz1" \
  "enc/g6" "enc/g9" "enc/xz1" "dec/gz-d" "dec/bsdt" "dec/7z" "peak KiB"
for m in lh5 lh6 lh7 lh1; do
  printf '%-7s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n' "-$m-" \
    "$(ratio "${packed[$m]}" "${ref_size[gzip -6]}")" "$(ratio "${packed[$m]}" "${ref_size[gzip -9]}")" \
    "$(ratio "${packed[$m]}" "${ref_size[xz -1]}")" \
    "$(ratio "${enc[$m]}" "${ref_enc[gzip -6]}")" "$(ratio "${enc[$m]}" "${ref_enc[gzip -9]}")" \
    "$(ratio "${enc[$m]}" "${ref_enc[xz -1]}")" "$(ratio "${dec[$m]}" "$gunzip_mbps")" \
    "$(ratio "${dec[$m]}" "${bsdtar_dec[$m]:-0}")" "$(ratio "${dec[$m]}" "${sevenzip_dec[$m]:-0}")" "${peak[$m]}"
done
printf '(gzip -6 %s MB/s, gzip -9 %s MB/s, xz -1 %s MB/s encoding; gzip -d %s MB/s decoding)\n' \
  "${ref_enc[gzip -6]}" "${ref_enc[gzip -9]}" "${ref_enc[xz -1]}" "$gunzip_mbps"
for m in lh5 lh7; do
  target "-$m- decode >= 3 x bsdtar" "${dec[$m]} >= 3 * ${bsdtar_dec[$m]:-0}" "$(ratio "${dec[$m]}" "${bsdtar_dec[$m]:-0}") x"
  target "-$m- decode >= gzip -d" "${dec[$m]} >= $gunzip_mbps" "$(ratio "${dec[$m]}" "$gunzip_mbps") x"
done
target "-lh7- size <= 0.97 x gzip -9" "${packed[lh7]} <= 0.97 * ${ref_size[gzip -9]}" "$(ratio "${packed[lh7]}" "${ref_size[gzip -9]}") x"
target "-lh5- size <= 1.02 x gzip -6" "${packed[lh5]} <= 1.02 * ${ref_size[gzip -6]}" "$(ratio "${packed[lh5]}" "${ref_size[gzip -6]}") x"
target "-lh5- encoding >= gzip -6" "${enc[lh5]} >= ${ref_enc[gzip -6]}" "$(ratio "${enc[lh5]}" "${ref_enc[gzip -6]}") x"

# --- Whole programs on a tree of the corpus's files -----------------------
# The tree holds the corpus's own files (run.sh's selection, the same find
# and order), so that its bytes are the corpus's bytes.
tree="$work/tree"
if [[ ! -f $tree.done ]]; then
  rm -rf "$tree" && mkdir -p "$tree"
  corpus_all_files |
    while IFS= read -r f; do cp --parents -L "$f" "$tree/" 2>/dev/null || true; done || true
  touch "$tree.done"
fi
files=$(find "$tree" -type f | wc -l)
tree_bytes=$(du -sb "$tree" | cut -f1)
cd "$work"
rm -f a.lzh a.tar.gz a.zip
echo
echo "== whole programs: $files files, $tree_bytes bytes (wall seconds, best of $runs) =="
printf '%-34s %8s %8s %9s\n' job wall cpu "peak KiB"
row() {  # label measure-output
  read -r w c p <<<"$2"
  printf '%-34s %8s %8s %9s\n' "$1" "$w" "$c" "$p"
}
before='rm -f a.lzh'; ours_a=$(measure "$tavo" a -r -n a.lzh tree/); unset before
before='rm -f a.tar.gz'; tar_a=$(measure tar czf a.tar.gz tree); unset before
before='rm -f a.zip'; zip_a=$(measure 7z a -tzip a.zip tree); unset before
"$tavo" a -r -n a.lzh tree/ >/dev/null
row "tavo a -r (lh5)" "$ours_a"
row "  tar czf" "$tar_a"
row "  7z a -tzip" "$zip_a"
printf '%-34s %s x tar czf, %s x 7z a -tzip (wall time)\n' "  tavo a takes" \
  "$(ratio "${ours_a%% *}" "${tar_a%% *}")" "$(ratio "${ours_a%% *}" "${zip_a%% *}")"

before='rm -rf out'; ours_x=$(measure "$tavo" x -n -m a.lzh out/)
bsdtar_x=$(measure bash -c 'mkdir -p out && bsdtar -xf a.lzh -C out')
sevenzip_x=$(measure 7z x -y -oout a.lzh); unset before
ours_t=$(measure "$tavo" t -n a.lzh)
bsdtar_t=$(measure bsdtar -xOf a.lzh)
sevenzip_t=$(measure 7z t a.lzh)
ours_l=$(measure "$tavo" l a.lzh)
bsdtar_l=$(measure bsdtar -tvf a.lzh)
sevenzip_l=$(measure 7z l a.lzh)
rm -rf out
for job in x t l; do
  eval "o=\$ours_$job b=\$bsdtar_$job s=\$sevenzip_$job"
  row "tavo $job" "$o"
  row "  bsdtar" "$b"
  row "  7z" "$s"
  printf '%-34s %s x bsdtar, %s x 7z (wall time; < 1 is faster)\n' "  tavo $job takes" \
    "$(ratio "${o%% *}" "${b%% *}")" "$(ratio "${o%% *}" "${s%% *}")"
done

# --- Scale -----------------------------------------------------------------
echo
echo "== scale (wall seconds, best of $runs) =="
[[ -f many.lzh ]] || "$scale" make many.lzh 100000
count=$(measure "$scale" count many.lzh)
read -r members count_seconds <<<"$("$scale" count many.lzh)"
list=$(measure "$tavo" l many.lzh)
list_bsdtar=$(measure bsdtar -tvf many.lzh)
list_7z=$(measure 7z l many.lzh)
printf '%-44s %8s s (library alone: %s s)\n' "UnlhaGetFileCount, $members members" "${count%% *}" "$count_seconds"
printf '%-44s %8s s, peak %s KiB; bsdtar -tvf %s s, 7z l %s s\n' "tavo l, $members members" \
  "${list%% *}" "$(cut -d' ' -f3 <<<"$list")" "${list_bsdtar%% *}" "${list_7z%% *}"
target "UnlhaGetFileCount, 100,000 members < 1 s" "$count_seconds < 1" "$count_seconds s"
target "tavo l, 100,000 members < 1 s" "${list%% *} < 1" "${list%% *} s"

# Peak memory of every command that walks an archive must not follow the
# member count: one run each on 100,000 members, and on 1,000,000 when the
# archive is made within two minutes (x only with --huge there: a million
# files). a and d change a copy.
echo "a file to add" > one.txt
memory_of() {
  local archive=$1 members=$2 job line kib
  shift 2
  for job in "$@"; do
    cp "$archive" edit.lzh
    rm -rf memory-out
    line=$(runs=1 measure "$tavo" $job)
    kib=$(cut -d' ' -f3 <<<"$line")
    printf '%-44s %8s s, peak %s KiB\n' "tavo ${job%% *}, $members members" "${line%% *}" "$kib"
    target "peak memory < 16 MiB: tavo ${job%% *}, $members members" "$kib < 16384" "$kib KiB"
  done
  rm -rf memory-out edit.lzh
}
jobs=("l ARCHIVE" "t -n ARCHIVE" "p ARCHIVE" "a -n edit.lzh one.txt" "d -n edit.lzh dir1/file1.txt")
memory_of many.lzh 100,000 "${jobs[@]//ARCHIVE/many.lzh}" "x -n -m many.lzh memory-out/"
[[ -f million.lzh ]] || timeout 120 "$scale" make million.lzh 1000000 || rm -f million.lzh
if [[ -f million.lzh ]]; then
  extract=()
  $huge && extract=("x -n -m million.lzh memory-out/")
  memory_of million.lzh 1,000,000 "${jobs[@]//ARCHIVE/million.lzh}" "${extract[@]}"
else
  echo "(no 1,000,000-member archive: making it takes over two minutes here)"
fi

if [[ ! -f archives.done ]]; then
  rm -rf archives && mkdir archives
  "$scale" make archives/one.lzh 10
  for i in $(seq 2 1000); do cp archives/one.lzh "archives/a$i.lzh"; done
  touch archives.done
fi
wild=$(measure "$tavo" t -n 'archives/*.lzh')
alone=$(measure "$scale" test archives/*.lzh)
printf '%-44s %8s s; the library alone %s s: %s x\n' "tavo t archives/*.lzh, 1,000 archives" \
  "${wild%% *}" "${alone%% *}" "$(ratio "${wild%% *}" "${alone%% *}")"
target "wildcard route <= 1.5 x the library alone" "${wild%% *} <= 1.5 * ${alone%% *}" "$(ratio "${wild%% *}" "${alone%% *}") x"

if [[ ! -f walk.done ]]; then
  rm -rf walk && mkdir walk
  for d in $(seq 1 1000); do mkdir "walk/d$d"; done
  (cd walk && for d in d*; do (cd "$d" && touch $(seq -f 'f%g.txt' 1 100)); done)
  touch walk.done
fi
walker=$(measure "$walk" 'walk/*')
find_count=$(measure bash -c 'find walk | wc -l')
printf '%-44s %8s s; find | wc -l %s s: %s x\n' "file-count walker, 100,000 files" \
  "${walker%% *}" "${find_count%% *}" "$(ratio "${walker%% *}" "${find_count%% *}")"
target "file-count walker within 2 x find | wc -l" "${walker%% *} <= 2 * ${find_count%% *}" \
  "$(ratio "${walker%% *}" "${find_count%% *}") x"

# --- The library's commands on their own -------------------------------------
echo
echo "== the library's commands through Unlha() (wall seconds, one run) =="
"$scale" commands "$work/commands"

# --- Both cores on one large file ----------------------------------------
# 100 MB of binaries (the corpus's kind, more of it), packed by tavo a with
# each method on all cores and on one (UNLHA32_THREADS=1), and by gzip -9:
# whole processes, wall seconds. Both archives must be byte for byte the
# same: the chunking does not depend on the threads.
echo
echo "== one 100 MB file of binaries on both cores (wall seconds, best of $runs) =="
big=big.bin
if [[ ! -f $big ]]; then
  corpus_files $((100 << 20)) /usr/bin /usr/lib | tr '\n' '\0' | xargs -0 cat 2>/dev/null |
    head -c 100000000 > "$big" || true
fi
big_bytes=$(stat -c %s "$big")
gzip9_big=$(measure gzip -9 -c "$big")
gzip9_big_size=$(gzip -9 -c "$big" | wc -c)
printf '%-34s %8s %8s %9s %12s\n' job wall cpu "peak KiB" packed
row_sized() { read -r w c p <<<"$2"; printf '%-34s %8s %8s %9s %12s\n' "$1" "$w" "$c" "$p" "$3"; }
row_sized "gzip -9" "$gzip9_big" "$gzip9_big_size"
for m in 5 6 7; do
  before='rm -f big1.lzh'; one=$(measure env UNLHA32_THREADS=1 "$tavo" a -o$m -n big1.lzh "$big")
  before='rm -f big2.lzh'; all=$(measure "$tavo" a -o$m -n big2.lzh "$big"); unset before
  env UNLHA32_THREADS=1 "$tavo" a -o$m -n big1.lzh "$big" >/dev/null
  "$tavo" a -o$m -n big2.lzh "$big" >/dev/null
  same=$(cmp -s big1.lzh big2.lzh && echo identical || echo DIFFERENT)
  size1=$(stat -c %s big1.lzh)
  row_sized "tavo a -o$m, one thread" "$one" "$size1"
  row_sized "tavo a -o$m, all cores" "$all" "$(stat -c %s big2.lzh)"
  printf '%-34s %s x the one-thread speed; archives %s\n' "" "$(ratio "${one%% *}" "${all%% *}")" "$same"
  target "-lh$m- on all cores >= 1.7 x one thread" "${one%% *} >= 1.7 * ${all%% *}" "$(ratio "${one%% *}" "${all%% *}") x"
  target "-lh$m- archive the same on all cores" "\"$same\" == \"identical\"" "$same"
  if [[ $m == 7 ]]; then
    target "-lh7- packing at least as fast as gzip -9" "${all%% *} <= ${gzip9_big%% *}" \
      "$(ratio "${gzip9_big%% *}" "${all%% *}") x gzip -9's speed"
    target "-lh7- size <= 0.94 x gzip -9 (binaries)" "$size1 <= 0.94 * $gzip9_big_size" "$(awk -v a="$size1" -v b="$gzip9_big_size" 'BEGIN { printf "%.4f", a / b }') x"
  fi
done
rm -f big1.lzh big2.lzh

# --- Both cores on many members ----------------------------------------------
# The same 100 MB cut into members of 1.5 MB, packed -lh5- once; t and x
# on all cores and on one: wall seconds, and the reports and trees must be
# the same.
echo
echo "== 67 members of 1.5 MB on both cores (wall seconds, best of $runs) =="
rm -rf pieces && mkdir pieces && (cd pieces && split -b 1500000 -d -a 3 "../$big" piece.)
rm -f pieces.lzh && "$tavo" a -o5 -n pieces.lzh pieces/ >/dev/null
printf '%-34s %8s %8s %9s
' job wall cpu "peak KiB"
for command in t x; do
  into() { [[ $command == x ]] && echo "$1/"; }
  before='rm -rf out1'; one=$(measure env UNLHA32_THREADS=1 "$tavo" $command -n pieces.lzh $(into out1))
  before='rm -rf out2'; all=$(measure "$tavo" $command -n pieces.lzh $(into out2)); unset before
  rm -rf out1 out2
  env UNLHA32_THREADS=1 "$tavo" $command -n pieces.lzh $(into out1) >report1
  "$tavo" $command -n pieces.lzh $(into out2) >report2
  same=$(cmp -s report1 report2 && { [[ $command == t ]] || diff -r out1 out2 >/dev/null; } && echo identical ||
    echo DIFFERENT)
  row "tavo $command, one thread" "$one"
  row "tavo $command, all cores" "$all"
  printf '%-34s %s x the one-thread speed; reports and files %s\n' "" "$(ratio "${one%% *}" "${all%% *}")" "$same"
  target "$command of 1.5 MB members on all cores >= 1.7 x one thread" "${one%% *} >= 1.7 * ${all%% *}" \
    "$(ratio "${one%% *}" "${all%% *}") x"
  target "$command on all cores the same as on one" "\"$same\" == \"identical\"" "$same"
done
rm -rf pieces pieces.lzh out1 out2 report1 report2

# --- What a member costs -----------------------------------------------------
# Archives of many small files are this format's usual case: 20,000 files
# of 24 bytes (mostly -lh5-), and a million empty (-lh0-) members. t and x
# against bsdtar; t against l, which reads the same headers and decodes
# nothing. Wall seconds, best of `runs`.
echo
echo "== many small members (wall seconds, best of $runs) =="
best_wall() { measure "$@" | awk '{ print $1 }'; }
if [[ ! -f small.done ]]; then
  rm -rf small small.lzh && mkdir small
  for d in $(seq 0 99); do
    mkdir "small/d$d"
    for i in $(seq 0 199); do printf '%08d ababababababab\n' $((d * 200 + i)) > "small/d$d/f$i.txt"; done
  done
  "$tavo" a -r -n small.lzh small/ >/dev/null
  touch small.done
fi
small_t=$(best_wall "$tavo" t -n small.lzh)
small_t_bsdtar=$(best_wall bsdtar -xOf small.lzh)
before='rm -rf out && mkdir out'
small_x=$(best_wall "$tavo" x -n -m small.lzh out/)
small_x_bsdtar=$(best_wall bsdtar -xf small.lzh -C out); unset before
rm -rf out
printf '%-44s %8s s; bsdtar -xOf %s s: %s x its time\n' "tavo t, 20,000 files of 24 bytes" "$small_t" \
  "$small_t_bsdtar" "$(ratio "$small_t" "$small_t_bsdtar")"
printf '%-44s %8s s; bsdtar -xf %s s: %s x its time\n' "tavo x, 20,000 files of 24 bytes" "$small_x" \
  "$small_x_bsdtar" "$(ratio "$small_x" "$small_x_bsdtar")"
target "t of 20,000 small files >= 2 x bsdtar's speed" "2 * $small_t <= $small_t_bsdtar" "$(ratio "$small_t_bsdtar" "$small_t") x"
target "x of 20,000 small files >= 2 x bsdtar's speed" "2 * $small_x <= $small_x_bsdtar" "$(ratio "$small_x_bsdtar" "$small_x") x"

[[ -f empty.lzh ]] || timeout 600 "$scale" empty empty.lzh 1000000 || rm -f empty.lzh
if [[ -f empty.lzh ]]; then
  empty_t=$(best_wall "$tavo" t -n empty.lzh)
  empty_l=$(best_wall "$tavo" l empty.lzh)
  empty_t_bsdtar=$(best_wall bsdtar -xOf empty.lzh)
  empty_l_bsdtar=$(best_wall bsdtar -tvf empty.lzh)
  printf '%-44s %8s s; tavo l %s s: %s x; bsdtar -xOf %s s, -tvf %s s\n' "tavo t, 1,000,000 empty members" \
    "$empty_t" "$empty_l" "$(ratio "$empty_t" "$empty_l")" "$empty_t_bsdtar" "$empty_l_bsdtar"
  target "t of 1,000,000 empty members <= 1.5 x l" "$empty_t <= 1.5 * $empty_l" "$(ratio "$empty_t" "$empty_l") x"
else
  echo "(no archive of 1,000,000 empty members: making it takes over ten minutes here)"
fi

# --- Memory with a member past 4 GiB ----------------------------------------
if $huge; then
  echo
  echo "== a member of 4.2 GB (zeros, sparse; one run each) =="
  rm -rf huge huge.lzh && mkdir huge && truncate -s 4200M huge/zeros
  runs=1
  for job in "a -n huge.lzh huge/" "t -n huge.lzh" "x -n -m huge.lzh hugeout/"; do
    line=$(measure "$tavo" $job)
    printf '%-44s %8s s, peak %s KiB\n' "tavo $job" "${line%% *}" "$(cut -d' ' -f3 <<<"$line")"
    target "peak memory < 16 MiB: tavo ${job%% *}" "$(cut -d' ' -f3 <<<"$line") < 16384" "$(cut -d' ' -f3 <<<"$line") KiB"
  done
  cmp -s huge/zeros hugeout/zeros && echo "extracted member is identical" || echo "EXTRACTED MEMBER DIFFERS"
  rm -rf huge hugeout huge.lzh
fi

echo
echo "== targets =="
printf '%s\n' "${targets[@]}"
