// lzh_walk_bench: runs the front end's file-count walker once on the
// pattern given and prints the count, so that suite.sh can time the walk
// alone against `find | wc -l` (tavo itself would add the library's work).
//
//   lzh_walk_bench 'DIR/*'
#include <cinttypes>
#include <cstdio>

#include "walk/walk.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lzh_walk_bench PATTERN\n");
    return 2;
  }
  std::printf("%" PRIu64 "\n", CountMatches(argv[1]));
  return 0;
}
