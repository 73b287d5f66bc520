/* A library user's program, built against the installed unlha32 (through
 * its CMake package and through pkg-config): tests the archive it is given,
 * prints the library's version, the member count and the result, then lists
 * the members through an archive handle, one line each: method, original
 * size, name. */
#include <stdio.h>
#include <unlha32.h>

int main(int argc, char** argv) {
  char line[4096];
  char report[8192];
  UnlhaMemberInfo info;
  UnlhaArchive* archive;
  int found;
  if (argc != 2) return 2;
  snprintf(line, sizeof line, "t \"%s\"", argv[1]);
  int result = Unlha(NULL, line, report, sizeof report);
  printf("version %d members %d result %d\n", UnlhaGetVersion(), UnlhaGetFileCount(argv[1]), result);
  archive = UnlhaOpenArchive(NULL, argv[1], 0);
  if (archive == NULL) return 1;
  for (found = UnlhaFindFirst(archive, NULL, &info); found == UNLHA_OK; found = UnlhaFindNext(archive, &info))
    printf("%s %u %s\n", info.method, info.original_size, info.name);
  UnlhaCloseArchive(archive);
  return found == UNLHA_NO_MORE_MEMBERS ? 0 : 1;
}
