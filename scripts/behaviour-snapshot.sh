#!/bin/bash
# Records what tavo and its library do over a fixed list of command
# sequences: to show that a reshaping of the source changes no behaviour
# (snapshot one build before and one after, and compare), and, as the
# golden test, to hold every build to the results checked in beside the
# tests.
#
#   behaviour-snapshot.sh BUILD_DIR OUT_DIR [--wine]
#   behaviour-snapshot.sh --compare BUILD_A BUILD_B [--wine]
#   behaviour-snapshot.sh --check BUILD_DIR EXPECTED [--wine]
#   behaviour-snapshot.sh --record BUILD_DIR EXPECTED [--wine]
#
# A snapshot runs BUILD_DIR/bin/tavo (with --wine BUILD_DIR/windows/bin/
# tavo.exe under Wine) in a scratch directory over a fixture it makes
# afresh (fixed contents, times and modes), and writes one file per step
# into OUT_DIR: the command, standard output, standard error (a file, so
# it must stay empty), the exit status and every change the step made to
# the scratch tree (path, type, mode, mtime, size and sha256), which covers
# archives written, trees extracted and sources moved away alike.
# Whatever depends on the moment or the machine is normalised: mtimes that
# fall within the run read "now", the scratch directory (one fixed path)
# reads $SCRATCH, process ids in temporary names read PID, and the self-extractor's stub
# (compiled code, not behaviour) is left out: a program it heads is
# hashed from the archive on, and its offset reads STUB (and a path the
# report cut to fit beside that offset reads PATH..., since the room
# left depends on the offset's digits: the sanitizer build's stub is
# megabytes). A step over
# several archives ("unordered" in the table) records its report with the
# archives' parts sorted, since the wildcard route takes archives in the
# order the directory lists them, which differs between file systems.
#
# --compare snapshots both builds (natively, and under Wine too with
# --wine) in ${TMPDIR:-/tmp}/tavo-behaviour-compare, kept for inspection,
# and prints "N steps, all identical" or each differing step with a diff,
# failing on any difference.
#
# --check snapshots one build and compares the steps, joined into one
# file, with EXPECTED, failing with the difference; --record writes
# EXPECTED instead, after a change of behaviour that is meant. Archives
# record their owner, so the expected archives are root's: --check run by
# another user exits 77 (skipped) without comparing.
#
# The steps are the table at the end: a line runs tavo or a
# self-extracting program and records a step, or ("do") prepares files and
# records nothing. Steps are numbered by their place in the table, so one
# that runs on one platform only leaves a gap on the other. A step may set
# LHA and LC_ALL (under Wine the locale gives the ANSI code page) before
# its program.
set -euo pipefail
export LC_ALL=C TZ=UTC
umask 022

usage() {
  echo "usage: $0 BUILD_DIR OUT_DIR [--wine]" >&2
  echo "       $0 --compare BUILD_A BUILD_B [--wine]" >&2
  echo "       $0 --check|--record BUILD_DIR EXPECTED [--wine]" >&2
  exit 2
}

root="$(cd "$(dirname "$0")/.." && pwd)"
wine_env=(WINEARCH=win32 WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")

# --- comparing two builds ---------------------------------------------------

compare_mode() {
  local mode="$1" work="$2" build_a="$3" build_b="$4"
  local flag=()
  [[ $mode == wine ]] && flag=(--wine)
  rm -rf "${work:?}/$mode-a" "${work:?}/$mode-b"
  bash "$0" "$build_a" "$work/$mode-a" "${flag[@]}"
  bash "$0" "$build_b" "$work/$mode-b" "${flag[@]}"

  local steps=0 differing=0 name names
  names=$( (ls "$work/$mode-a" && ls "$work/$mode-b") | sort -u)
  for name in $names; do
    steps=$((steps + 1))
    if ! cmp -s "$work/$mode-a/$name" "$work/$mode-b/$name"; then
      differing=$((differing + 1))
      echo "=== $mode: step $name differs"
      diff -u -N --label "$build_a" --label "$build_b" "$work/$mode-a/$name" "$work/$mode-b/$name" || true
    fi
  done
  if ((differing == 0)); then
    echo "$mode: $steps steps, all identical"
  else
    echo "$mode: $differing of $steps steps differ (snapshots in $work/$mode-a and $work/$mode-b)"
    return 1
  fi
}

if [[ ${1-} == --compare ]]; then
  [[ $# == 3 || ($# == 4 && $4 == --wine) ]] || usage
  work="${TMPDIR:-/tmp}/tavo-behaviour-compare"
  mkdir -p "$work"
  status=0
  compare_mode native "$work" "$2" "$3" || status=1
  if [[ ${4-} == --wine ]]; then
    compare_mode wine "$work" "$2" "$3" || status=1
  fi
  exit $status
fi

# --- holding a build to the expected results ---------------------------------

if [[ ${1-} == --check || ${1-} == --record ]]; then
  [[ $# == 3 || ($# == 4 && $4 == --wine) ]] || usage
  if [[ $1 == --check && $(id -u) != 0 ]]; then
    echo "behaviour-snapshot: the expected archives are root's (their headers hold the owner); skipped" >&2
    exit 77
  fi
  steps_dir="$(mktemp -d)"
  trap 'rm -rf "$steps_dir"' EXIT
  bash "$0" "$2" "$steps_dir/steps" ${4-}
  joined="$steps_dir/joined"
  for step in "$steps_dir"/steps/*; do
    echo "=== step $(basename "$step")"
    cat "$step"
  done >"$joined"
  if [[ $1 == --record ]]; then
    cp "$joined" "$3"
    echo "behaviour-snapshot: recorded $3"
  elif ! diff -u --label expected --label actual "$3" "$joined"; then
    echo "behaviour-snapshot: the behaviour differs from $3 (see above); if the change is meant, rerun with --record" >&2
    exit 1
  fi
  exit 0
fi

# --- taking a snapshot ------------------------------------------------------

[[ $# == 2 || ($# == 3 && $3 == --wine) ]] || usage
build="$(cd "$1" && pwd)"
out="$2"
if [[ ${3-} == --wine ]]; then
  platform=wine
  tavo="$build/windows/bin/tavo.exe"
  [[ -f $tavo && -f $build/windows/bin/unlha32.dll ]] || { echo "no $tavo with unlha32.dll beside it" >&2; exit 2; }
else
  platform=linux
  tavo="$build/bin/tavo"
  [[ -x $tavo && -f $build/bin/libunlha32.so ]] || { echo "no $tavo with libunlha32.so beside it" >&2; exit 2; }
fi
if [[ -e $out && -n "$(ls -A "$out")" ]]; then
  echo "$out is not empty; a snapshot goes into a new or empty directory" >&2
  exit 2
fi
mkdir -p "$out"
out="$(cd "$out" && pwd)"

child_env=(PATH="$PATH" HOME="$HOME" LC_ALL=C.UTF-8 TZ=UTC)
launcher=()
exe=
if [[ $platform == wine ]]; then
  prefix="$build/wineprefix"
  if [[ ! -f $prefix/system.reg ]]; then
    prefix="$(dirname "$out")/wineprefix"
    [[ -f $prefix/system.reg ]] || echo "behaviour-snapshot: making the Wine prefix $prefix (a minute, once)" >&2
    WINEPREFIX="$prefix" env "${wine_env[@]}" sh "$root/cmake/wine-prefix.sh" >/dev/null
  fi
  child_env+=(WINEPREFIX="$prefix" "${wine_env[@]}")
  launcher=(wine)
  exe=.exe
fi

# The scratch tree, and beside it the files that record each step, live at
# one fixed path, so that a report that shortens a long path shortens it
# alike in every run; a lock makes concurrent snapshots take turns.
private=/tmp/tavo-behaviour-snapshot
exec 9>"$private.lock"
flock 9
rm -rf "$private"
mkdir "$private"
trap 'rm -rf "$private"' EXIT
scratch="$private/scratch"
mkdir "$scratch"
started=$EPOCHSECONDS
scratch_windows="Z:${scratch//\//\\}"

# Runs a program in the scratch directory (DIR relative to it) with a
# controlled environment; standard output and error go to files. The lock
# stays with this script (wineserver outlives the step).
run_in() {
  local dir="$1"
  shift
  (cd "$scratch/$dir" && env -i "${child_env[@]}" "$@" <"/dev/null" >"$private/stdout" 2>"$private/stderr" 9>&-)
}

# The self-extractor's stub is the program's size less the archive it
# carries: measured once on a throwaway archive.
measure_stub() {
  mkdir "$scratch/probe"
  printf 'probe\n' >"$scratch/probe/probe.txt"
  run_in probe "${launcher[@]}" "$tavo" a probe.lzh probe.txt
  run_in probe "${launcher[@]}" "$tavo" s probe.lzh
  stub=$(($(stat -c %s "$scratch/probe/probe$exe") - $(stat -c %s "$scratch/probe/probe.lzh")))
  rm -rf "$scratch/probe"
}

normalise_text() {
  local scratch_pattern=${scratch//./\\.} windows_pattern=${scratch_windows//\\/\\\\}
  windows_pattern=${windows_pattern//./\\.}
  sed -E -e "s#$scratch_pattern#\$SCRATCH#g" -e "s#$windows_pattern#\$SCRATCH#gI" \
    -e "s/at offset $stub\\b/at offset STUB/g" -e 's/(at offset STUB\): ).*\.\.\.([[:cntrl:]]?)$/\1PATH...\2/' \
    -e 's/\.unlha32-[0-9]+-/.unlha32-PID-/g' -e 's/\.[0-9]+\.unlha32-(tmp|lock)/.PID.unlha32-\1/g'
}

# sha256 of a file, or for a self-extracting program of the archive after
# its stub.
file_digest() {
  local file="$scratch/$1" magic=
  read -r -N 4 magic <"$file" || true
  if [[ ($magic == $'\x7fELF' || $magic == MZ*) && $(stat -c %s "$file") -gt $stub ]]; then
    read -r REPLY _ < <(tail -c +$((stub + 1)) "$file" | sha256sum)
    REPLY="STUB+$REPLY"
  else
    read -r REPLY _ < <(sha256sum <"$file")
  fi
}

# Every entry of the scratch tree, a line each, sorted by path: path, type,
# mode, mtime, and size and digest of a file (a self-extracting program's
# without its stub) or target of a link. Digests
# are kept by inode, size and change time, so a step hashes only what it
# wrote. Names hold no newline, though they may hold tabs.
list_tree() {
  (cd "$scratch" && find . -mindepth 1 -printf '%i %s %C@\t%T@\t%TY-%Tm-%Td %TH:%TM:%TS\t%y\t%m\t%s\t%l\t%P\n') >"$private/found"
  local key path
  while IFS=$'\t' read -r key path; do
    file_digest "$path"
    printf '%s\t%s\n' "$key" "$REPLY" >>"$private/digests"
  done < <(awk -F '\t' 'FILENAME == ARGV[1] { known[$1]; next }
    $4 == "f" && !($1 in known) { path = $8; for (i = 9; i <= NF; i++) path = path "\t" $i; print $1 "\t" path }' \
    "$private/digests" "$private/found")
  awk -F '\t' -v started="$started" -v now="$EPOCHSECONDS" -v stub="$stub" '
    FILENAME == ARGV[1] { digest[$1] = $2; next }
    {
      path = $8
      for (i = 9; i <= NF; i++) path = path "\t" $i
      gsub(/\.unlha32-[0-9]+-/, ".unlha32-PID-", path)
      gsub(/\.[0-9]+\.unlha32-tmp/, ".PID.unlha32-tmp", path)
      gsub(/\.[0-9]+\.unlha32-lock/, ".PID.unlha32-lock", path)
      seconds = int($2)
      when = seconds >= started && seconds <= now ? "now" : substr($3, 1, 19)
      size = digest[$1] ~ /^STUB\+/ ? "STUB+" ($6 - stub) : $6
      what = $4 == "f" ? " " size " " digest[$1] : $4 == "l" ? " -> " $7 : ""
      print path "\t" $4 " " $5 " " when what
    }' "$private/digests" "$private/found" | sort
}

# Output bigger than this are recorded by size and digest (p of big.bin).
largest_recorded_output=65536
record_output() {
  local file="$1" size
  size=$(stat -c %s "$file")
  if ((size > largest_recorded_output)); then
    read -r REPLY _ < <(sha256sum <"$file")
    echo "($size bytes, sha256 $REPLY)"
  else
    normalise_text <"$file"
  fi
}

# A report over several archives, with the part of each archive (from its
# "Archive" line on) sorted, or its lines sorted when it has no such parts.
sort_archive_parts() {
  local report
  report=$(cat)
  if grep -q '^Archive' <<<"$report"; then
    awk '/^Archive/ && NR > 1 { print "" } { printf "%s\037", $0 } END { print "" }' <<<"$report" |
      sort | sed 's/\x1f$//' | tr '\037' '\n'
  elif [[ -n $report ]]; then
    sort <<<"$report"
  fi
}

# The hand-made damaged archives: damage NAME flip|cut header|data N DELTA
# copies bad/layout.lzh (level-2 headers) to bad/NAME.lzh and inverts the
# byte at, or cuts the file at, DELTA bytes into the header or the data of
# member N (from 0; the header of the member after the last is the end
# mark). Offsets are found by walking the headers, since their length
# differs between systems.
damage() {
  local name="$1" action="$2" place="$3" member="$4" delta="$5"
  local archive=bad/$name.lzh offset=0 i header packed byte
  cp bad/layout.lzh "$archive"
  for ((i = 0; ; i++)); do
    read -r header < <(od -An -tu2 -j "$offset" -N 2 "$archive")
    ((i == member)) && break
    read -r packed < <(od -An -tu4 -j $((offset + 7)) -N 4 "$archive")
    offset=$((offset + header + packed))
  done
  [[ $place == data ]] && offset=$((offset + header))
  offset=$((offset + delta))
  if [[ $action == cut ]]; then
    truncate -s "$offset" "$archive"
  else
    byte=$(od -An -tu1 -j "$offset" -N 1 "$archive")
    printf '%b' "\\0$(printf %03o $((255 - byte)))" | dd of="$archive" bs=1 seek="$offset" conv=notrunc status=none
  fi
}

# Standard input as one string of hex digits.
hex_of() { od -An -v -tx1 | tr -d ' \n'; }

# relabel ARCHIVE FROM TO [METHOD]: in a level-0 archive, the member named
# FROM is named TO instead (printf escapes allowed; any length up to 255),
# and given METHOD, with its header's size and checksum made right again:
# for the names and methods no writer stores, which only a hostile or
# foreign archive holds.
relabel() {
  local hex from to at=0 size n packed total member kept fixed header sum i out=""
  hex=$(hex_of <"$1")
  from=$(printf '%s' "$2" | hex_of)
  to=$(printf "$3" | hex_of)
  while size=$((16#${hex:at*2:2})); ((size > 0)); do
    n=$((16#${hex:(at+21)*2:2}))
    packed=$((16#${hex:(at+10)*2:2}${hex:(at+9)*2:2}${hex:(at+8)*2:2}${hex:(at+7)*2:2}))
    total=$((size + 2 + packed))
    member=${hex:at*2:total*2}
    if [[ ${member:44:n*2} == "$from" ]]; then
      fixed=${member:4:38}
      [[ -n ${4-} ]] && fixed=$(printf '%s' "$4" | hex_of)${fixed:10}
      kept=$(((size + 2 - 22 - n) * 2))  # the header after the name: CRC, extension
      header=$fixed$(printf '%02x' $((${#to} / 2)))$to${member:(22+n)*2:kept}
      sum=0
      for ((i = 0; i < ${#header}; i += 2)); do sum=$((sum + 16#${header:i:2})); done
      member=$(printf '%02x%02x' $((${#header} / 2)) $((sum % 256)))$header${member:(22+n)*2+kept}
    fi
    out+=$member
    at=$((at + total))
  done
  out+=${hex:at*2}
  printf "$(sed 's/../\\x&/g' <<<"$out")" >"$1"
}

fixture_file() { # PATH DATE MODE [CONTENT]: the content defaults to a line naming the file
  mkdir -p "$(dirname "$1")"
  printf '%s' "${4-"This is $1."$'\n'}" >"$1"
  chmod "$3" "$1"
  touch -d "$2" "$1"
}

make_fixture() {
  cd "$scratch"
  fixture_file src/a.txt '2021-03-04 05:06:07' 644
  fixture_file src/b.txt '2021-03-04 05:06:09' 644 "$(seq -f 'line %g of b.txt, which repeats itself' 1 200)"
  fixture_file src/c.txt '2021-03-04 05:06:11' 644
  fixture_file src/README '2021-04-01 00:00:00' 644 'README in capitals'$'\n'
  fixture_file src/readme '2021-04-01 00:00:02' 644 'readme in lower case'$'\n'
  fixture_file 'src/with blank.txt' '2021-05-06 07:08:09' 644
  fixture_file 'src/Grüße.txt' '2021-05-06 07:08:11' 644
  fixture_file 'src/café au lait.txt' '2021-05-06 07:08:13' 644
  fixture_file src/.hidden '2021-06-01 12:00:00' 600
  fixture_file src/.config/settings.ini '2021-06-01 12:00:02' 644 $'[main]\nkey=value\n'
  fixture_file src/empty '2021-07-01 00:00:00' 644 ''
  fixture_file src/run.sh '2021-07-01 00:00:02' 755 $'#!/bin/sh\necho run\n'
  fixture_file src/ro.txt '2021-07-01 00:00:04' 444
  fixture_file src/-dash.txt '2021-07-01 00:00:06' 644
  fixture_file src/@at.txt '2021-07-01 00:00:08' 644
  fixture_file src/sub/a.txt '2022-01-01 10:00:00' 644
  fixture_file src/sub/notes.txt '2022-01-01 10:00:02' 644 "$(seq -f 'note %g: keep the archive byte for byte' 1 500)"
  fixture_file src/sub/deep/deeper/leaf.txt '2022-01-01 10:00:04' 644
  mkdir -p src/sub/empty-dir
  # A few MB: text that packs well, gzip output that does not, text again.
  { seq 1 120000; seq 1 300000 | gzip -9 -n; seq 120000 -1 1; } >src/big.bin
  touch -d '2022-02-02 02:02:02' src/big.bin
  if [[ $platform == linux ]]; then
    ln -s a.txt src/link
    touch -h -d '2021-03-04 05:06:08' src/link
  fi
  find src -type d -exec chmod 755 {} +

  fixture_file times/far.txt '2150-01-01 00:00:00' 644
  fixture_file times/old.txt '1975-05-06 07:08:09' 644
  fixture_file times/odd-second.txt '2001-09-09 01:46:41' 644
  fixture_file "$long_file" '2022-03-03 03:03:03' 644
  if [[ $platform == linux ]]; then
    fixture_file odd/日本語.txt '2022-04-04 04:04:04' 644
    fixture_file $'odd/tab\tname.txt' '2022-04-04 04:04:06' 644
    fixture_file 'odd/say "hi".txt' '2022-04-04 04:04:08' 644
    fixture_file 'odd/back\slash.txt' '2022-04-04 04:04:10' 644
    mkfifo odd/fifo
  fi
  fixture_file names.lst '2022-05-05 05:05:05' 644 $'a.txt\nsub/notes.txt\nwith blank.txt\nnothing.txt\n'
  fixture_file stray.txt '2022-05-05 05:05:07' 644 'not an archive at all'$'\n'
  mkdir arc
  find . -type d -exec touch -d '2020-12-31 23:59:59' {} +
}

steps=0
noisy_steps=()
run_table() {
  local line number=0 words dir settings program raw status only unordered
  : >"$private/digests"
  list_tree >"$private/before"
  while IFS= read -r line; do
    [[ -z $line || $line == '#'* ]] && continue
    raw=$line
    only=$platform
    case $line in
      linux\ * | wine\ *) only=${line%% *}; line=${line#* } ;;
    esac
    unordered=false
    if [[ $line == unordered\ * ]]; then
      unordered=true
      line=${line#unordered }
    fi
    if [[ $line == do\ * ]]; then
      if [[ $only == "$platform" ]]; then
        (cd "$scratch" && eval "${line#do }" </dev/null)
        list_tree >"$private/before"
      fi
      continue
    fi
    number=$((number + 1))
    [[ $only == "$platform" ]] || continue
    # No globbing: a wildcard in the table is tavo's to expand.
    set -f
    eval "words=($line)"
    set +f
    dir=.
    if [[ ${words[0]} == in ]]; then
      dir=${words[1]}
      words=("${words[@]:2}")
    fi
    settings=()
    while [[ ${words[0]} == LHA=* || ${words[0]} == LC_ALL=* ]]; do
      settings+=("${words[0]}")
      words=("${words[@]:1}")
    done
    case ${words[0]} in
      tavo) program=("$tavo" "${words[@]:1}") ;;
      sfx) program=("${words[@]:1}"); [[ ${words[1]} == */* ]] || program[0]="./${words[1]}" ;;
      *) echo "behaviour-snapshot: cannot read the table line: $raw" >&2; exit 2 ;;
    esac
    status=0
    run_in "$dir" "${settings[@]}" "${launcher[@]}" "${program[@]}" || status=$?
    list_tree >"$private/after"
    {
      echo "\$ $raw"
      echo "--- status $status"
      echo "--- stdout"
      if $unordered; then
        sort_archive_parts <"$private/stdout" >"$private/sorted"
        mv "$private/sorted" "$private/stdout"
      fi
      record_output "$private/stdout"
      echo "--- stderr"
      record_output "$private/stderr"
      echo "--- changes"
      comm -23 "$private/before" "$private/after" | sed 's/^/- /'
      comm -13 "$private/before" "$private/after" | sed 's/^/+ /'
    } >"$out/$(printf %03d "$number")"
    [[ -s $private/stderr ]] && noisy_steps+=("$number")
    mv "$private/after" "$private/before"
    steps=$((steps + 1))
  done
}

# A file whose path is longer than 260 characters however it is named.
long_file="long/$(printf 'directory%.0s' {1..12})/$(printf 'name%.0s' {1..40}).txt"
measure_stub
make_fixture
run_table <<'TABLE'
# Start-up, and nothing to run.
tavo
tavo -h
tavo l
tavo l arc/missing.lzh
unordered tavo t 'arc/*.lzh'

# Adding, one archive per switch; each is listed, and later steps read them.
tavo a -r arc/base.lzh src/
tavo l arc/base.lzh
tavo v arc/base.lzh
tavo t arc/base.lzh
tavo a -r2 arc/r2.lzh src
tavo v arc/r2.lzh
tavo a -r -x- arc/flat.lzh src/
tavo v arc/flat.lzh
tavo a -r -d arc/dirs.lzh src/
tavo v arc/dirs.lzh
tavo a -r -a arc/hidden.lzh src/
tavo v arc/hidden.lzh
tavo a -r -a -d arc/all.lzh src/
tavo v arc/all.lzh
tavo a -r -z arc/stored.lzh src/
tavo v arc/stored.lzh
tavo a -r -o arc/lh1.lzh src/
tavo v arc/lh1.lzh
tavo a -r -o5 arc/lh5.lzh src/
tavo a -r -o6 arc/lh6.lzh src/
tavo v arc/lh6.lzh
tavo a -r -o7 arc/lh7.lzh src/
tavo v arc/lh7.lzh
tavo a -r -h0 arc/h0.lzh src/
tavo v arc/h0.lzh
tavo a -r -h1 arc/h1.lzh src/
tavo v arc/h1.lzh
tavo a -r -h2 -o7 -t arc/newest.lzh src/
tavo a -r -h1 -o6 -d -a arc/h1-all.lzh src/
tavo v arc/h1-all.lzh
tavo a -r -h0 -z -a arc/h0-stored.lzh src/
tavo v arc/h0-stored.lzh

# Names, wildcards, lists, no names; the base directory.
tavo a arc/names.lzh src/ a.txt 'with blank.txt' Grüße.txt sub/notes.txt
tavo l arc/names.lzh
tavo a arc/wild.lzh src/ '*.txt'
tavo a -r arc/wild-r.lzh src/ '*.txt'
tavo a arc/list.lzh src/ @names.lst
tavo a arc/basedir.lzh src/
in src tavo a ../arc/cwd.lzh
tavo l arc/cwd.lzh
tavo a arc/names.lzh src/ nothing.txt
tavo a arc/names.lzh src/ sub/
tavo a arc/names.lzh src/ -- -dash.txt @at.txt
tavo a arc/names.lzh src/ -dash.txt
tavo a arc/case.lzh src/ README readme
tavo a -i- arc/case-i.lzh src/ readme
tavo a -i arc/case-i.lzh src/ README readme
tavo v arc/case-i.lzh

# Replacing members from a changed copy of the tree.
do cp -a src mod && printf 'a.txt, changed\n' >mod/a.txt && touch -d '2023-01-01 00:00:00' mod/a.txt
tavo a arc/names.lzh mod/ a.txt
tavo v arc/names.lzh

# Times a header cannot keep, names a header cannot hold, odd files.
tavo a arc/times.lzh times/
tavo a -h0 arc/times0.lzh times/
tavo a -h1 arc/times1.lzh times/
tavo v arc/times0.lzh
tavo a -r -h0 arc/long0.lzh long/
tavo a -r -h2 arc/long2.lzh long/
tavo l arc/long2.lzh
linux tavo a -r arc/odd.lzh odd/
linux tavo v arc/odd.lzh
linux tavo a arc/odd.lzh odd/ fifo

# The work directory, also from LHA with a blank in it.
do mkdir work 'work dir'
tavo a -wwork arc/work.lzh src/ a.txt b.txt
LHA='-w"work dir"' tavo a arc/work.lzh src/ c.txt 'with blank.txt'
tavo l arc/work.lzh
tavo a -wmissing arc/work.lzh src/ b.txt
tavo a -w work arc/work.lzh src/ b.txt

# Archives that a writer must leave alone.
do cp arc/names.lzh arc/read-only.lzh && chmod 444 arc/read-only.lzh
tavo a arc/read-only.lzh src/ b.txt
tavo a stray.txt src/ b.txt
unordered tavo a 'arc/*.lzh' src/ b.txt
unordered tavo u 'arc/*.lzh' src/ b.txt
unordered tavo m 'arc/*.lzh' src/ b.txt
unordered tavo f 'arc/*.lzh' src/ b.txt

# u and f against a tree with a newer, an older and a new file.
do cp -a src usrc && printf 'b.txt, longer\n' >>usrc/b.txt && touch -d '2024-02-02 00:00:00' usrc/b.txt
do printf 'new\n' >usrc/new.txt && touch -d '2024-02-03 00:00:00' usrc/new.txt
do touch -d '2019-01-01 00:00:00' 'usrc/with blank.txt'
do cp arc/base.lzh arc/update.lzh && cp arc/base.lzh arc/freshen.lzh
tavo u -r arc/update.lzh usrc/
tavo u -r arc/update.lzh usrc/
tavo u arc/update.lzh usrc/ 'with blank.txt'
tavo u -c arc/update.lzh usrc/ 'with blank.txt'
tavo u arc/update.lzh usrc/ '*.txt'
tavo u -c arc/update.lzh usrc/ @names.lst
tavo v arc/update.lzh
tavo f -r arc/freshen.lzh usrc/
tavo f arc/freshen.lzh usrc/ new.txt
tavo f arc/freshen.lzh usrc/ '*.txt'
tavo f -c arc/freshen.lzh usrc/ @names.lst
tavo f -c arc/freshen.lzh usrc/ 'with blank.txt'
tavo v arc/freshen.lzh

# m removes what it stored; what stays is kept.
do cp -a src msrc
tavo m arc/moved.lzh msrc/ a.txt 'with blank.txt'
tavo m arc/moved.lzh msrc/ '*.txt'
tavo m arc/moved.lzh msrc/ @names.lst
tavo m -r arc/moved.lzh msrc/
tavo m -r -a arc/moved.lzh msrc/
tavo v arc/moved.lzh
do cp -a src msrc2 && cp arc/base.lzh arc/moved2.lzh
tavo m arc/moved2.lzh msrc2/ a.txt b.txt nothing.txt
tavo m -c arc/moved2.lzh msrc2/ a.txt
in msrc2 tavo m ../arc/moved3.lzh

# d by name, whole path, wildcard, list; nothing named; nothing matched.
do cp arc/all.lzh arc/delete.lzh
tavo d arc/delete.lzh a.txt
tavo d -p arc/delete.lzh sub/deep/deeper/leaf.txt
tavo d arc/delete.lzh 'R*'
tavo d arc/delete.lzh @names.lst
tavo d arc/delete.lzh
tavo d arc/delete.lzh nothing.txt
tavo d -i- arc/delete.lzh CAFÉ*
tavo d -i arc/delete.lzh 'GRÜSSE.TXT'
tavo v arc/delete.lzh

# Listing and testing with names and switches.
tavo l arc/all.lzh a.txt
tavo l arc/all.lzh '*.txt'
tavo l -p arc/all.lzh sub/a.txt
tavo l -p arc/all.lzh a.txt
tavo l arc/all.lzh A.TXT
tavo l -i- arc/all.lzh A.TXT
tavo l -i arc/all.lzh A.TXT
tavo l arc/all.lzh @names.lst
tavo l arc/all.lzh @missing.lst
tavo l arc/all.lzh -- -dash.txt
tavo v arc/all.lzh 'sub/*'
tavo v -p arc/all.lzh 'sub/*'
tavo t arc/all.lzh '*.txt' big.bin
tavo t -n -l -s -f arc/all.lzh
tavo t arc/lh1.lzh
tavo t arc/h0.lzh
tavo t arc/h1-all.lzh
tavo t arc/lh7.lzh
tavo L arc/names.lzh
tavo list arc/names.lzh
tavo q arc/names.lzh

# Printing.
tavo p arc/names.lzh a.txt
tavo p arc/names.lzh '*.txt'
tavo p -p arc/all.lzh sub/a.txt
tavo p arc/all.lzh nothing.txt
tavo p arc/base.lzh big.bin
tavo p arc/all.lzh empty

# Extracting with directories: again, -c, -m over an older file.
do mkdir out
tavo x arc/all.lzh out
tavo x arc/all.lzh out/
tavo x arc/all.lzh out/
tavo x -c arc/all.lzh out/ a.txt
do touch -d '2000-01-01 00:00:00' out/b.txt out/sub/notes.txt
tavo x arc/all.lzh out/ b.txt
tavo x -m arc/all.lzh out/ b.txt
tavo x -m -c arc/all.lzh out/ '*.txt'
do rm -rf out
tavo x -x- arc/all.lzh out/
do rm -rf out
tavo x arc/all.lzh out/ '*.txt' run.sh
do rm -rf out
tavo x -p arc/all.lzh out/ sub/a.txt
do rm -rf out
tavo x -i- arc/all.lzh out/ A.TXT
do rm -rf out
tavo x arc/all.lzh out\\ @names.lst
do rm -rf out 'out\'
do mkdir xcwd
in xcwd tavo x ../arc/names.lzh
in xcwd tavo x ../arc/names.lzh -- -dash.txt
do rm -rf xcwd
LHA=-x- tavo x arc/dirs.lzh out/
do rm -rf out
LHA='-c -m' tavo x arc/names.lzh out/
do rm -rf out
tavo x arc/dirs.lzh out/
do rm -rf out
tavo x arc/r2.lzh out/
do rm -rf out
tavo x arc/flat.lzh out/
do rm -rf out
tavo x arc/h0.lzh out/
do rm -rf out
tavo x arc/h1-all.lzh out/
do rm -rf out
tavo x arc/h0-stored.lzh out/
do rm -rf out
tavo x arc/lh1.lzh out/ big.bin
tavo x arc/lh6.lzh out6/ big.bin
tavo x arc/lh7.lzh out7/ big.bin
tavo x arc/stored.lzh outz/ big.bin
do rm -rf out out6 out7 outz
tavo x arc/times.lzh out/
tavo x arc/times0.lzh out0/
tavo x arc/long2.lzh out/
do rm -rf out out0
linux tavo x arc/odd.lzh out/
linux do rm -rf out

# Extracting without directories: two a.txt meet.
tavo e arc/all.lzh out/
tavo e arc/all.lzh out/ a.txt
tavo e -x arc/all.lzh out2/
tavo e arc/all.lzh out3/ 'sub/*'
tavo e -p arc/all.lzh out4/ sub/a.txt
do rm -rf out out2 out3 out4

# Self-extracting programs: made, read, run, changed and run again.
tavo s arc/base.lzh
tavo s arc/names.lzh sfx/
tavo l arc/base$exe
tavo v sfx/names$exe
tavo t arc/base$exe
tavo arc/base$exe
do mkdir run
in run sfx ../arc/base$exe
in run sfx ../arc/base$exe
do rm -rf run
tavo d arc/base$exe b.txt big.bin
tavo a arc/base$exe times/ odd-second.txt
tavo l arc/base$exe
do mkdir run
in run sfx ../arc/base$exe
do rm -rf run
tavo x sfx/names$exe out/
do rm -rf out
tavo s arc/names.lzh sfx/
do printf 'not a program\n' >arc/cwd$exe
tavo s arc/cwd.lzh
tavo s stray.txt

# Several archives through a wildcard, with a stray file and a directory
# among them; a lone archive name.
do mkdir multi multi/dir.lzh && cp arc/names.lzh multi/one.lzh && cp arc/lh7.lzh multi/two.lzh
do cp arc/times.lzh multi/three.lzh && cp stray.txt multi/stray.lzh
unordered tavo l 'multi/*.lzh'
unordered tavo v 'multi/t*.lzh'
unordered tavo t 'multi/*'
unordered tavo x 'multi/*.lzh' out/
unordered tavo e 'multi/*.lzh' out2/ a.txt
do rm -rf out out2
unordered tavo d 'multi/*.lzh' a.txt
unordered tavo l 'multi/*.lzh'
unordered tavo p 'multi/*.lzh' a.txt
unordered tavo s 'multi/*.lzh'
unordered tavo l 'multi/*.zip'
unordered tavo l 'multi/stray*'
tavo l multi/stray.lzh
tavo t multi/dir.lzh
tavo arc/names.lzh
unordered tavo 'multi/*.lzh'
tavo multi/stray.lzh
tavo stray.txt

# Damaged archives made by hand from one of three members: b.txt and
# notes.txt packed, a.txt stored.
do mkdir bad && cp arc/base.lzh bad/ok.lzh
tavo a bad/layout.lzh src/ b.txt sub/notes.txt a.txt
tavo v bad/layout.lzh
do damage stream flip data 0 128
do damage crc flip data 2 8
do damage header flip header 1 20
do damage first flip header 0 0
do damage cut-data cut data 1 500
do damage cut-header cut header 2 20
do damage no-end cut header 3 0
do : >bad/empty.lzh
tavo l bad/stream.lzh
tavo t bad/stream.lzh
tavo x bad/stream.lzh out/
do rm -rf out
tavo d bad/stream.lzh a.txt
tavo a bad/stream.lzh src/ c.txt
tavo l bad/crc.lzh
tavo t bad/crc.lzh
tavo x bad/crc.lzh out/
do rm -rf out
tavo d bad/crc.lzh a.txt
tavo a bad/crc.lzh src/ c.txt
tavo l bad/header.lzh
tavo t bad/header.lzh
tavo x bad/header.lzh out/
do rm -rf out
tavo d bad/header.lzh a.txt
tavo a bad/header.lzh src/ c.txt
tavo l bad/first.lzh
tavo t bad/first.lzh
tavo x bad/first.lzh out/
do rm -rf out
tavo d bad/first.lzh a.txt
tavo a bad/first.lzh src/ c.txt
tavo l bad/cut-data.lzh
tavo t bad/cut-data.lzh
tavo x bad/cut-data.lzh out/
do rm -rf out
tavo d bad/cut-data.lzh a.txt
tavo a bad/cut-data.lzh src/ c.txt
tavo l bad/cut-header.lzh
tavo t bad/cut-header.lzh
tavo x bad/cut-header.lzh out/
do rm -rf out
tavo d bad/cut-header.lzh a.txt
tavo a bad/cut-header.lzh src/ c.txt
tavo l bad/no-end.lzh
tavo t bad/no-end.lzh
tavo x bad/no-end.lzh out/
do rm -rf out
tavo d bad/no-end.lzh a.txt
tavo a bad/no-end.lzh src/ c.txt
tavo l bad/empty.lzh
tavo t bad/empty.lzh
tavo a bad/empty.lzh src/ c.txt
tavo s bad/crc.lzh
unordered tavo t 'bad/*.lzh'

# Command lines that are refused, and LHA.
tavo l -q arc/names.lzh
tavo l arc/names.lzh ''
tavo x -w arc/names.lzh out/
tavo a -h3 arc/names.lzh src/ c.txt
tavo a -o9 arc/names.lzh src/ c.txt
LHA='-w"open' tavo l arc/names.lzh
LHA=-q tavo l arc/names.lzh
LHA='""' tavo l arc/names.lzh
LHA=-p tavo l arc/all.lzh a.txt
LHA='-r -o7 -h1' tavo a arc/lha.lzh src/
tavo v arc/lha.lzh
linux tavo a arc/quoted.lzh odd/ 'say "hi".txt' 'back\slash.txt'
linux tavo v arc/quoted.lzh

# An archive named without its extension is NAME.lzh, unless NAME exists;
# tavo sizes the report for NAME.lzh (p prints b.txt whole).
tavo a arc/noext src/ b.txt
tavo l arc/noext
tavo p arc/noext b.txt
do printf 'no archive\n' >arc/plain
tavo a arc/plain src/ b.txt

# The self-extracting program's own arguments: a folder (made when
# missing), a line of help, and anything else refused.
do mkdir run
in run sfx ../sfx/names$exe into/new
in run sfx ../sfx/names$exe -?
in run sfx ../sfx/names$exe /?
in run sfx ../sfx/names$exe --help
in run sfx ../sfx/names$exe one two
do rm -rf run

# A temporary that a killed extraction left, however deep, goes with the
# next extraction there; one of a process still running (this script)
# stays.
do mkdir -p out/sub && : >out/sub/.unlha32-999999999-3.tmp
linux do : >"out/sub/.unlha32-$$-1.tmp"
tavo x arc/names.lzh out/
do rm -rf out

# More refused command lines: an unterminated quote, a quote inside a
# token, a switch group with a value, -w without its directory, a switch
# with digits, an unknown switch, switches and no archive.
LHA='"unterminated' tavo l arc/names.lzh
LHA='"ab""' tavo l arc/names.lzh
LHA=-rw tavo a arc/names.lzh src/ c.txt
tavo a arc/names.lzh src/ c.txt -w
tavo l -x5 arc/names.lzh
tavo x -y arc/names.lzh out/
tavo l -r

# d and f on a document and on a missing archive; s over a plain archive
# named like its program, and over archives damaged in a header.
tavo d stray.txt b.txt
tavo f stray.txt src/ b.txt
tavo d arc/missing.lzh b.txt
tavo f arc/missing.lzh src/ b.txt
do cp arc/names.lzh arc/lh1$exe
tavo s arc/lh1.lzh
tavo s bad/first.lzh
tavo s bad/header.lzh

# Directories at level 0.
tavo a -r -h0 -d arc/h0-dirs.lzh src/
tavo v arc/h0-dirs.lzh
tavo x arc/h0-dirs.lzh outh0d/
do rm -rf outh0d
# Names of every script, and folders whose Shift_JIS names end in a 0x5C
# byte (表, ソ, 能), in both ANSI code pages under Wine: stored as Shift_JIS
# where the code page has the name, else as UTF-8 with its code page; read
# back under their own names in the other code page too, by tavo and by
# the self-extracting program; @lists in the caller's code page or UTF-8
# after a byte order mark; level 0, which keeps only Shift_JIS; tavo's own
# wildcards stepping by whole characters.
do for n in 一覧表/中身.txt ソ/機能/f.txt 表/ソ/x.txt café.txt Привет.txt 한국어.txt 😀.txt; do mkdir -p "$(dirname "intl/$n")"; printf '%s\n' "$n" >"intl/$n"; done
do find intl -exec touch -d '2022-06-06 06:06:06' {} +
linux tavo a -r -d arc/intl.lzh intl/
wine LC_ALL=ja_JP.UTF-8 tavo a -r -d arc/intl.lzh intl/
wine LC_ALL=en_US.UTF-8 tavo a -r -d arc/intl1252.lzh intl/
LC_ALL=ja_JP.UTF-8 tavo v arc/intl.lzh
wine LC_ALL=en_US.UTF-8 tavo x arc/intl.lzh outi/
wine LC_ALL=ja_JP.UTF-8 tavo x arc/intl1252.lzh outi1252/
linux tavo x arc/intl.lzh outi/
LC_ALL=ja_JP.UTF-8 tavo s arc/intl.lzh runi/
wine in runi LC_ALL=en_US.UTF-8 sfx intl$exe
linux in runi sfx intl$exe
do rm -rf outi outi1252 runi
linux tavo a -r arc/intl-sub.lzh 'intl/表/*'
wine LC_ALL=ja_JP.UTF-8 tavo a -r arc/intl-sub.lzh 'intl\表\*'
do printf 'intl/表/ソ/x.txt\n' | iconv -f UTF-8 -t CP932 >ansi932.lst && printf 'intl/café.txt\n' | iconv -f UTF-8 -t CP1252 >ansi1252.lst
do printf '\357\273\277intl/한국어.txt\n' >utf8.lst && printf 'intl/café.txt\n' >plain.lst
wine LC_ALL=ja_JP.UTF-8 tavo a arc/intl-lists.lzh @ansi932.lst @utf8.lst
wine LC_ALL=en_US.UTF-8 tavo a arc/intl-lists.lzh @ansi1252.lst @utf8.lst
linux tavo a arc/intl-lists.lzh @plain.lst @utf8.lst
LC_ALL=ja_JP.UTF-8 tavo l arc/intl-lists.lzh
wine LC_ALL=ja_JP.UTF-8 tavo a -r -h0 arc/intl0.lzh intl/
wine LC_ALL=en_US.UTF-8 tavo a -r -h0 arc/intl0-1252.lzh intl/
linux tavo a -r -h0 arc/intl0.lzh intl/
wine LC_ALL=ja_JP.UTF-8 tavo x arc/intl0.lzh outi0/
linux tavo x arc/intl0.lzh outi0/
do rm -rf outi0 && cp arc/intl.lzh arc/一覧表.lzh
LC_ALL=ja_JP.UTF-8 tavo t 'arc/*表.lzh'
do rm arc/一覧表.lzh

# A path longer than 260 characters named in the \\?\ form that such paths
# take on Windows, stored from below its drive as any absolute path.
wine tavo a arc/long-named.lzh "\\\\?\\Z:${scratch//\//\\}\\${long_file//\//\\}"
wine tavo l arc/long-named.lzh
# Paths that lead out of the base directory, given in either separator
# form, are refused by name on either platform; a method that cannot be
# decoded is listed, named and skipped; the rest is extracted.
do mkdir -p ev/ab/ab/outside ev/in/ab/ab && for f in ev/ab/ab/outside/escape.txt ev/in/ab/ab/sneaky.txt ev/rare.bin ev/fine.txt; do printf '%s\n' "$f" >"$f"; done && touch -d '2022-07-07 07:07:07' ev/*/*/*/* ev/*.*
tavo a -h0 -z -r arc/evil.lzh ev/
do relabel arc/evil.lzh 'ab\ab\outside\escape.txt' '..\\..\\outside\\escape.txt' && relabel arc/evil.lzh 'in\ab\ab\sneaky.txt' 'in/../../sneaky.txt' && relabel arc/evil.lzh rare.bin rare.bin -pm2-
tavo l arc/evil.lzh
tavo x arc/evil.lzh 'outev\'
tavo x arc/evil.lzh outev2/
do rm -rf outev outev2 ev

# Names that match no member are echoed, up to three times each when x
# hints that a directory of that name would be a base directory: tavo's
# report room must hold them, however short they are.
do mkdir -p hint && cd hint && mkdir {a..m}{a..z}
in hint tavo x ../arc/names.lzh {a..m}{a..z}
do rm -rf hint
# Members of one name, a file where a later member needs a directory and a
# directory where a later member is a file: each reported, none mixed with
# another, also when what is on disk is replaced.
do mkdir -p dup/b0 dup/c && printf 'first\n' >dup/a1.txt && printf 'second, longer than the first\n' >dup/a2.txt && printf 'a file\n' >dup/b && printf 'needs b as a directory\n' >dup/b0/inner.txt && printf 'a file where a directory is\n' >dup/c0 && find dup -exec touch -d '2022-07-07 07:07:07' {} +
tavo a -h0 -r -d -z arc/dup.lzh dup/
do relabel arc/dup.lzh a1.txt dup.txt && relabel arc/dup.lzh a2.txt dup.txt && relabel arc/dup.lzh 'b0\inner.txt' 'b\\inner.txt' && relabel arc/dup.lzh c0 c
tavo x arc/dup.lzh outd/
tavo x -m -c arc/dup.lzh outd/
do rm -rf outd dup

# A member named like the archive being read never replaces it; names
# holding terminal controls or a character cut short are shown escaped in
# every report, never as the bytes a terminal would obey.
do mkdir hn && printf 'not an archive any more\n' >hn/h1 && printf 'after\n' >hn/h2 && printf x >hn/h3 && printf y >hn/h4 && touch -d '2022-07-07 07:07:07' hn/*
tavo a -h0 -r -z arc/hn.lzh hn/
do relabel arc/hn.lzh h1 hn.lzh && relabel arc/hn.lzh h2 after.txt && relabel arc/hn.lzh h3 '\033]0;owned\007\033[2J.txt' && relabel arc/hn.lzh h4 'cut\343\201' && mkdir hnx && cp arc/hn.lzh hnx/
in hnx tavo l hn.lzh
in hnx tavo v hn.lzh
in hnx tavo t hn.lzh
in hnx tavo x -m -c hn.lzh
do rm -rf hn hnx
# tavo without its library beside it: one line, in Shift_JIS unless the
# locale's character set is UTF-8 on Linux (Windows writes the stored
# Shift_JIS bytes whatever the code page), and nothing else is done.
do mkdir alone && cp "$tavo" alone/ && cp arc/names.lzh alone/
in alone sfx tavo$exe
in alone sfx tavo$exe l names.lzh
in alone LC_ALL=C sfx tavo$exe
wine in alone LC_ALL=ja_JP.UTF-8 sfx tavo$exe
do rm -rf alone
# tavo's own search for archives: under Wine in code page 932 the second
# byte of 表 (0x95 0x5C) ends no directory, before a wildcard or as the
# folder of one; Windows keeps the drive of the pattern in front of each
# archive found, while on Linux a name whose second byte is ':' is a name;
# a pattern whose paths pass 255 bytes is refused, not cut, with nothing
# printed.
do mkdir 表 && cp arc/intl-sub.lzh 表a.lzh && cp arc/intl-sub.lzh 表/b.lzh && cp arc/intl-sub.lzh a:b.lzh
LC_ALL=ja_JP.UTF-8 tavo '表*.lzh'
linux LC_ALL=ja_JP.UTF-8 tavo t '表/*.lzh'
wine LC_ALL=ja_JP.UTF-8 tavo t '表\*.lzh'
wine tavo t "Z:$scratch/arc/intl-s*.lzh"
linux tavo a:b.lzh
do rm -rf 表 表a.lzh a:b.lzh && mkdir -p "$(printf 'd%.0s' {1..200})" && cp arc/intl-sub.lzh "$(printf 'd%.0s' {1..200})/$(printf 'n%.0s' {1..60}).lzh"
tavo "$(printf 'd%.0s' {1..200})/*.lzh"
do rm -rf ddd*
# An archive of 100,000 members, which commands walk member by member: d
# selects in one walk and copies in another, t meets each member once and
# in order across the walk's buffer refills while member data is read in
# between (its report is recorded by digest). The files live outside the
# scratch tree, which every step lists.
linux do mkdir "$private/many" && cd "$private/many" && mkdir dir{0..99} && for i in {0..99999}; do printf 'member %d\n' $i >"dir$((i % 100))/file$i.txt"; done && find . -exec touch -d '2022-08-08 08:08:08' {} +
linux tavo a -r -z arc/many.lzh "$private/many/"
linux tavo d arc/many.lzh file50000.txt
linux tavo t -n arc/many.lzh
linux tavo p arc/many.lzh file99999.txt
linux do rm -rf "$private/many" arc/many.lzh
TABLE

echo "behaviour-snapshot: $steps steps of $platform in $out ($((EPOCHSECONDS - started)) s)"
if ((${#noisy_steps[@]})); then
  echo "behaviour-snapshot: steps that wrote to standard error: ${noisy_steps[*]}" >&2
fi
