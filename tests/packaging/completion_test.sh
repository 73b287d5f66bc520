#!/bin/bash
# Fails when the completion offers the wrong words: the command letters and
# archives first, switches for a -, archive names (.lzh .lha .exe in any
# case, and directories) until the archive is given, any file after it, and
# directories after -w.
# Argument: the completion script.
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch docs.lzh OLD.LHA setup.exe notes.txt
mkdir sub

status=0
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _tavo
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
  want=$(printf '%s\n' $want | LC_ALL=C sort | tr '\n' ' ')
  if [[ "$got" != "$want" ]]; then
    echo "for: ${COMP_WORDS[*]}|"
    echo "  want: $want"
    echo "  got:  $got"
    status=1
  fi
}

expect "a u f m d p e x l v s t docs.lzh OLD.LHA setup.exe sub" tavo ""
expect "d docs.lzh" tavo d
expect "X" tavo X
expect "OLD.LHA" tavo O
expect "-h0 -h1 -h2" tavo a -h
expect "-o -o5 -o6 -o7" tavo a -o
expect "docs.lzh OLD.LHA setup.exe sub" tavo x -m ""
expect "docs.lzh notes.txt OLD.LHA setup.exe sub" tavo a -r docs.lzh ""
expect "notes.txt" tavo a docs.lzh no
expect "-wsub" tavo a -wsu
grep -q -- '-F _tavo' <<<"$(complete -p tavo)" || { echo "tavo is not bound to _tavo"; status=1; }
exit $status
