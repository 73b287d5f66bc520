/* A library user's program, built against the installed unlha32 (through
 * its CMake package and through pkg-config): tests the archive it is given
 * and prints the library's version, the member count and the result. */
#include <stdio.h>
#include <unlha32.h>

int main(int argc, char** argv) {
  char line[4096];
  char report[8192];
  if (argc != 2) return 2;
  snprintf(line, sizeof line, "t \"%s\"", argv[1]);
  int result = Unlha(NULL, line, report, sizeof report);
  printf("version %d members %d result %d\n", UnlhaGetVersion(), UnlhaGetFileCount(argv[1]), result);
  return 0;
}
