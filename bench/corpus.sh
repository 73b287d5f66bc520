# Sourced by run.sh and suite.sh: the one selection of corpus files, so
# that the codec table and the whole-program figures measure the same bytes.
#
#   corpus_files BUDGET DIR...   paths of regular files under DIRs, in byte
#                                order of their paths, until BUDGET bytes;
#                                files already compressed are left out.
corpus_text_bytes=$((16 << 20))
corpus_binary_bytes=$((16 << 20))

corpus_files() {
  local budget=$1
  shift
  find "$@" -type f -size +0 ! -name '*.gz' ! -name '*.xz' ! -name '*.bz2' ! -name '*.zst' \
      ! -name '*.zip' ! -name '*.jar' -printf '%s\t%p\n' 2>/dev/null |
    LC_ALL=C sort -t $'\t' -k2 |
    awk -F '\t' -v budget="$budget" '{ if (total >= budget) exit; total += $1; print $2 }'
}

# Every file of the corpus: text from /usr/include and /usr/share/doc,
# binaries from /usr/bin and /usr/lib.
corpus_all_files() {
  corpus_files "$corpus_text_bytes" /usr/include /usr/share/doc
  corpus_files "$corpus_binary_bytes" /usr/bin /usr/lib
}
