/* A library user's C program, built for Linux and for Windows (run under
 * Wine) from this one source: it proves that <unlha32.h> compiles as C99,
 * that the names are exported as the header spells them (undecorated
 * stdcall on Windows), and that the handle functions work from C on both
 * builds: a walk whose fact functions agree with its records and totals, a
 * misused handle refused without a write, an archive replaced under an open
 * handle (Windows would refuse while a file is held), and two threads
 * stepping one handle. What each function answers in detail the library's
 * own suite proves.
 *
 * Run in an empty directory with the path of a sample archive; it writes
 * its own files there. Prints each failed check; exits 1 when any failed. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <unlha32.h>

#ifdef _WIN32
#include <windows.h>
#define FIND_EXPORT(name) (GetProcAddress(GetModuleHandleA("unlha32.dll"), name) != NULL)
#else
#include <dlfcn.h>
#include <pthread.h>
#define FIND_EXPORT(name) (dlsym(RTLD_DEFAULT, name) != NULL)
#endif

static int failures;

#define CHECK(condition)                                                                            \
  do {                                                                                              \
    if (!(condition)) {                                                                             \
      printf("%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                                \
      ++failures;                                                                                   \
    }                                                                                               \
  } while (0)

static const char* const kNames[] = {
    "UnlhaCheckArchive", "Unlha", "UnlhaGetVersion", "UnlhaGetRunning", "UnlhaConfigDialog",
    "UnlhaGetFileCount", "UnlhaQueryFunctionList", "UnlhaOpenArchive", "UnlhaCloseArchive",
    "UnlhaFindFirst", "UnlhaFindNext", "UnlhaGetArcFileName", "UnlhaGetArcFileSize",
    "UnlhaGetArcOriginalSize", "UnlhaGetArcCompressedSize", "UnlhaGetArcRatio", "UnlhaGetArcDate",
    "UnlhaGetArcTime", "UnlhaGetArcOSType", "UnlhaGetFileName", "UnlhaGetOriginalSize",
    "UnlhaGetCompressedSize", "UnlhaGetMethod", "UnlhaGetRatio", "UnlhaGetDate", "UnlhaGetTime",
    "UnlhaGetCRC", "UnlhaGetAttribute", "UnlhaGetOSType", "UnlhaSetOwnerWindow",
    "UnlhaClearOwnerWindow", "UnlhaOpenArchiveEx", "UnlhaGetOriginalSizeEx",
    "UnlhaGetCompressedSizeEx", "UnlhaGetArcFileSizeEx", "UnlhaGetArcOriginalSizeEx",
    "UnlhaGetArcCompressedSizeEx"};

/* Walks the whole archive, each member's facts against its record, the
 * totals against the sums; returns the member count. */
static int WalkAndCompare(const char* path) {
  UnlhaMemberInfo info;
  uint64_t original = 0, size64;
  uint32_t value;
  char text[600];
  int count = 0, found;
  UnlhaArchive* archive = UnlhaOpenArchive(NULL, path, 0);
  CHECK(archive != NULL);
  for (found = UnlhaFindFirst(archive, "", &info); found == UNLHA_OK; found = UnlhaFindNext(archive, &info)) {
    CHECK(UnlhaGetFileName(archive, text, sizeof text) == (int)strlen(text) && strcmp(text, info.name) == 0);
    CHECK(UnlhaGetMethod(archive, text, sizeof text) >= 5 && strcmp(text, info.method) == 0);
    CHECK(UnlhaGetCRC(archive, &value) == UNLHA_OK && value == info.crc);
    CHECK(UnlhaGetDate(archive, &value) == UNLHA_OK && value == info.dos_date && value != 0);
    CHECK(UnlhaGetOriginalSizeEx(archive, &size64) == UNLHA_OK && size64 == info.original_size);
    original += info.original_size;
    ++count;
  }
  CHECK(found == UNLHA_NO_MORE_MEMBERS && count == UnlhaGetFileCount(path));
  CHECK(UnlhaGetArcOriginalSizeEx(archive, &size64) == UNLHA_OK && size64 == original);
  CHECK(UnlhaCloseArchive(archive) == UNLHA_OK);
  value = 7;
  CHECK(UnlhaGetCRC(archive, &value) == UNLHA_BAD_COMMAND && UnlhaFindNext(NULL, &info) == UNLHA_BAD_COMMAND);
  CHECK(UnlhaCloseArchive(archive) == UNLHA_BAD_COMMAND && value == 7);
  return count;
}

/* Two threads stepping one handle: each member goes to exactly one. */
static UnlhaArchive* shared_archive;
static int steps[2];

#ifdef _WIN32
static DWORD WINAPI Stepper(LPVOID slot)
#else
static void* Stepper(void* slot)
#endif
{
  UnlhaMemberInfo info;
  while (UnlhaFindNext(shared_archive, &info) == UNLHA_OK) ++steps[*(int*)slot];
  return 0;
}

static void CheckTwoThreads(int members) {
  static int slots[2] = {0, 1};
  UnlhaMemberInfo info;
  int i;
  shared_archive = UnlhaOpenArchive(NULL, "client.lzh", 0);
  CHECK(UnlhaFindFirst(shared_archive, NULL, &info) == UNLHA_OK);
  {
#ifdef _WIN32
    HANDLE threads[2];
    for (i = 0; i < 2; ++i) threads[i] = CreateThread(NULL, 0, Stepper, &slots[i], 0, NULL);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (i = 0; i < 2; ++i) CloseHandle(threads[i]);
#else
    pthread_t threads[2];
    for (i = 0; i < 2; ++i) pthread_create(&threads[i], NULL, Stepper, &slots[i]);
    for (i = 0; i < 2; ++i) pthread_join(threads[i], NULL);
#endif
  }
  CHECK(1 + steps[0] + steps[1] == members);
  CHECK(UnlhaCloseArchive(shared_archive) == UNLHA_OK);
}

int main(int argc, char** argv) {
  UnlhaMemberInfo info;
  char name[16];
  int i, members;
  UnlhaArchive* archive;
  FILE* file;
  if (argc != 2) return 2;
  for (i = 0; i < (int)(sizeof kNames / sizeof kNames[0]); ++i)
    if (!FIND_EXPORT(kNames[i])) {
      printf("the library does not export %s\n", kNames[i]);
      ++failures;
    }
  CHECK(sizeof kNames / sizeof kNames[0] == UNLHA_FUNCTION_COUNT && UnlhaGetVersion() >= 20);
  for (i = 0; i < 40; ++i) {
    sprintf(name, "f%02d.txt", i);
    file = fopen(name, "wb");
    fputs(i % 2 ? "odd members repeat themselves, repeat themselves\n" : name, file);
    fclose(file);
  }
  CHECK(Unlha(NULL, "a client.lzh f*.txt", NULL, 0) == UNLHA_OK);
  members = WalkAndCompare("client.lzh");
  CHECK(members == 40);
  CHECK(WalkAndCompare(argv[1]) > 0);
  CheckTwoThreads(members);
  /* An update while a handle is open succeeds; the handle then refuses. */
  archive = UnlhaOpenArchive(NULL, "client.lzh", 0);
  CHECK(UnlhaFindFirst(archive, NULL, &info) == UNLHA_OK);
  CHECK(Unlha(NULL, "a client.lzh sample.lzh", NULL, 0) == UNLHA_OK);
  CHECK(UnlhaFindFirst(archive, NULL, &info) == UNLHA_IO_ERROR && UnlhaCloseArchive(archive) == UNLHA_OK);
  CHECK(UnlhaGetFileCount("client.lzh") == members + 1);
  printf("%s\n", failures ? "FAILED" : "all checks passed");
  return failures ? 1 : 0;
}
