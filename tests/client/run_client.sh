#!/bin/sh
# Runs the library user's C program in an empty directory of its own with a
# copy of the sample archive: the program writes its archives beside it.
# Arguments: the directory to use (emptied first), the sample archive, then
# the command that runs the program (the program, or wine and the program).
set -eu
directory=$1 sample=$2
shift 2
rm -rf "$directory"
mkdir -p "$directory"
cp "$sample" "$directory/sample.lzh"
cd "$directory"
exec "$@" sample.lzh
