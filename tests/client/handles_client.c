/* A library user's C program that drives every exported entry point, built
 * for Linux and for Windows (run under Wine) from this one source, so that
 * both builds of the library are held to the same contracts: the names are
 * exported as the header spells them, the walk agrees with itself (record,
 * fact functions, totals, member count), every misuse is refused without a
 * write, damage ends a walk, a handle never keeps its archive from being
 * replaced, and two threads can share a handle.
 *
 * Run in an empty directory with the path of a sample archive; it writes
 * its own files there. Prints each failed check; exits 1 when any failed. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <unlha32.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#endif

static int failures;

#define CHECK(condition)                                                         \
  do {                                                                           \
    if (!(condition)) {                                                          \
      printf("%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);             \
      ++failures;                                                                \
    }                                                                            \
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

static void* FindExport(const char* name) {
#ifdef _WIN32
  return (void*)GetProcAddress(GetModuleHandleA("unlha32.dll"), name);
#else
  return dlsym(RTLD_DEFAULT, name);
#endif
}

static void WriteText(const char* path, const char* text) {
  FILE* file = fopen(path, "wb");
  fputs(text, file);
  fclose(file);
}

static long FileSize(const char* path) {
  FILE* file = fopen(path, "rb");
  long size;
  fseek(file, 0, SEEK_END);
  size = ftell(file);
  fclose(file);
  return size;
}

/* Walks the whole archive, checking each member's facts against its record
 * and the archive's totals against the sums; returns the member count. */
static int WalkAndCompare(const char* path) {
  UnlhaMemberInfo info;
  uint64_t original = 0, compressed = 0, size64;
  uint32_t value, os_type = 0;
  char text[600];
  int count = 0, found;
  UnlhaArchive* archive = UnlhaOpenArchive(NULL, path, 0);
  CHECK(archive != NULL);
  for (found = UnlhaFindFirst(archive, "", &info); found == UNLHA_OK; found = UnlhaFindNext(archive, &info)) {
    CHECK(UnlhaGetFileName(archive, text, sizeof text) == (int)strlen(text) && strcmp(text, info.name) == 0);
    CHECK(UnlhaGetMethod(archive, text, sizeof text) >= 5 && strcmp(text, info.method) == 0);
    CHECK(UnlhaGetAttribute(archive, text, sizeof text) >= 4 && strcmp(text, info.attributes) == 0);
    CHECK(UnlhaGetOriginalSize(archive, &value) == UNLHA_OK && value == info.original_size);
    CHECK(UnlhaGetCompressedSize(archive, &value) == UNLHA_OK && value == info.compressed_size);
    CHECK(UnlhaGetRatio(archive, &value) == UNLHA_OK && value == info.ratio);
    CHECK(UnlhaGetDate(archive, &value) == UNLHA_OK && value == info.dos_date && value != 0);
    CHECK(UnlhaGetTime(archive, &value) == UNLHA_OK && value == info.dos_time);
    CHECK(UnlhaGetCRC(archive, &value) == UNLHA_OK && value == info.crc);
    CHECK(UnlhaGetOSType(archive, &value) == UNLHA_OK && value == info.os_type);
    CHECK(UnlhaGetOriginalSizeEx(archive, &size64) == UNLHA_OK && size64 == info.original_size);
    CHECK(UnlhaGetCompressedSizeEx(archive, &size64) == UNLHA_OK && size64 == info.compressed_size);
    original += info.original_size;
    compressed += info.compressed_size;
    os_type = count == 0 || os_type == info.os_type ? info.os_type : 0;
    ++count;
  }
  CHECK(found == UNLHA_NO_MORE_MEMBERS && UnlhaFindNext(archive, &info) == UNLHA_NO_MORE_MEMBERS);
  CHECK(count == UnlhaGetFileCount(path));
  CHECK(UnlhaGetArcOriginalSize(archive, &value) == UNLHA_OK && value == original);
  CHECK(UnlhaGetArcOriginalSizeEx(archive, &size64) == UNLHA_OK && size64 == original);
  CHECK(UnlhaGetArcCompressedSize(archive, &value) == UNLHA_OK && value == compressed);
  CHECK(UnlhaGetArcCompressedSizeEx(archive, &size64) == UNLHA_OK && size64 == compressed);
  CHECK(UnlhaGetArcRatio(archive, &value) == UNLHA_OK && value == (original ? compressed * 1000 / original : 0));
  CHECK(UnlhaGetArcOSType(archive, &value) == UNLHA_OK && value == os_type);
  CHECK(UnlhaGetArcFileSize(archive, &value) == UNLHA_OK && value == (uint32_t)FileSize(path));
  CHECK(UnlhaGetArcFileSizeEx(archive, &size64) == UNLHA_OK && size64 == (uint64_t)FileSize(path));
  CHECK(UnlhaGetArcDate(archive, &value) == UNLHA_OK && value >> 9 >= 2020 - 1980);
  CHECK(UnlhaGetArcTime(archive, &value) == UNLHA_OK && (value >> 11) < 24);
  CHECK(UnlhaGetArcFileName(archive, text, sizeof text) == (int)strlen(path) && strcmp(text, path) == 0);
  /* A pattern selects as a file argument does; "*" is every member. */
  CHECK(UnlhaFindFirst(archive, "*", &info) == (count ? UNLHA_OK : UNLHA_NO_MORE_MEMBERS));
  CHECK(UnlhaFindFirst(archive, "no-such-member", &info) == UNLHA_NO_MORE_MEMBERS);
  CHECK(UnlhaCloseArchive(archive) == UNLHA_OK);
  return count;
}

/* Every handle function on `archive`, whose calls must all be refused
 * (`member_only`: only those about the current member) with nothing
 * written. */
static void ExpectRefused(UnlhaArchive* archive, int member_only, const char* what) {
  UnlhaMemberInfo info;
  uint32_t value = 7;
  uint64_t size64 = 7;
  char text[4] = "xyz";
  struct {
    const char* call;
    int result, refused;
  } calls[] = {
      {"GetFileName", UnlhaGetFileName(archive, text, sizeof text), -1},
      {"GetMethod", UnlhaGetMethod(archive, text, sizeof text), -1},
      {"GetAttribute", UnlhaGetAttribute(archive, text, sizeof text), -1},
      {"GetOriginalSize", UnlhaGetOriginalSize(archive, &value), UNLHA_BAD_COMMAND},
      {"GetCompressedSize", UnlhaGetCompressedSize(archive, &value), UNLHA_BAD_COMMAND},
      {"GetRatio", UnlhaGetRatio(archive, &value), UNLHA_BAD_COMMAND},
      {"GetDate", UnlhaGetDate(archive, &value), UNLHA_BAD_COMMAND},
      {"GetTime", UnlhaGetTime(archive, &value), UNLHA_BAD_COMMAND},
      {"GetCRC", UnlhaGetCRC(archive, &value), UNLHA_BAD_COMMAND},
      {"GetOSType", UnlhaGetOSType(archive, &value), UNLHA_BAD_COMMAND},
      {"GetOriginalSizeEx", UnlhaGetOriginalSizeEx(archive, &size64), UNLHA_BAD_COMMAND},
      {"GetCompressedSizeEx", UnlhaGetCompressedSizeEx(archive, &size64), UNLHA_BAD_COMMAND},
  };
  size_t i;
  for (i = 0; i < sizeof calls / sizeof calls[0]; ++i)
    if (calls[i].result != calls[i].refused) {
      printf("%s: %s answered %d, not %d\n", what, calls[i].call, calls[i].result, calls[i].refused);
      ++failures;
    }
  if (!member_only) {
    int results[] = {UnlhaFindFirst(archive, NULL, &info), UnlhaFindNext(archive, &info),
                     UnlhaGetArcFileName(archive, text, sizeof text) + 1 + UNLHA_BAD_COMMAND,
                     UnlhaGetArcFileSize(archive, &value), UnlhaGetArcFileSizeEx(archive, &size64),
                     UnlhaGetArcOriginalSize(archive, &value), UnlhaGetArcOriginalSizeEx(archive, &size64),
                     UnlhaGetArcCompressedSize(archive, &value), UnlhaGetArcCompressedSizeEx(archive, &size64),
                     UnlhaGetArcRatio(archive, &value), UnlhaGetArcDate(archive, &value),
                     UnlhaGetArcTime(archive, &value), UnlhaGetArcOSType(archive, &value),
                     UnlhaCloseArchive(archive)};
    for (i = 0; i < sizeof results / sizeof results[0]; ++i)
      if (results[i] != UNLHA_BAD_COMMAND) {
        printf("%s: archive call %u answered %d\n", what, (unsigned)i, results[i]);
        ++failures;
      }
  }
  if (value != 7 || size64 != 7 || strcmp(text, "xyz") != 0) {
    printf("%s: a refused call wrote its result\n", what);
    ++failures;
  }
}

/* NULL results, buffers without room and texts cut short, on an open
 * archive with a current member. */
static void CheckArguments(const char* path) {
  UnlhaMemberInfo info;
  char text[8];
  UnlhaArchive* archive = UnlhaOpenArchive(NULL, path, 0);
  int length;
  CHECK(UnlhaFindFirst(archive, NULL, NULL) == UNLHA_BAD_COMMAND);
  ExpectRefused(archive, 1, "before the first find");
  CHECK(UnlhaFindFirst(archive, NULL, &info) == UNLHA_OK);
  CHECK(UnlhaFindNext(archive, NULL) == UNLHA_BAD_COMMAND);
  CHECK(UnlhaGetFileName(archive, NULL, 8) == -1 && UnlhaGetFileName(archive, text, 0) == -1);
  CHECK(UnlhaGetMethod(archive, text, -1) == -1 && UnlhaGetArcFileName(archive, NULL, 8) == -1);
  CHECK(UnlhaGetOriginalSize(archive, NULL) == UNLHA_BAD_COMMAND && UnlhaGetCRC(archive, NULL) == UNLHA_BAD_COMMAND);
  CHECK(UnlhaGetArcOriginalSize(archive, NULL) == UNLHA_BAD_COMMAND &&
        UnlhaGetArcDate(archive, NULL) == UNLHA_BAD_COMMAND && UnlhaGetArcRatio(archive, NULL) == UNLHA_BAD_COMMAND);
  CHECK(UnlhaGetOriginalSizeEx(archive, NULL) == UNLHA_BAD_COMMAND &&
        UnlhaGetArcFileSizeEx(archive, NULL) == UNLHA_BAD_COMMAND);
  length = UnlhaGetFileName(archive, text, 4);
  CHECK(length == (int)strlen(info.name) && length >= 4 && strlen(text) == 3 && strncmp(text, info.name, 3) == 0);
  CHECK(UnlhaGetMethod(archive, text, 1) == 5 && text[0] == '\0');
  CHECK(UnlhaGetArcFileName(archive, text, 2) == (int)strlen(path) && strlen(text) == 1);
  while (UnlhaFindNext(archive, &info) == UNLHA_OK) {
  }
  ExpectRefused(archive, 1, "after the last member");
  CHECK(UnlhaCloseArchive(archive) == UNLHA_OK);
  ExpectRefused(archive, 0, "a closed handle");
  ExpectRefused(NULL, 0, "a NULL handle");
  ExpectRefused((UnlhaArchive*)&info, 0, "a foreign handle");
}

static void CheckOpenFailures(void) {
  int result = UNLHA_OK;
  WriteText("not-an-archive.txt", "some text, and no archive in it at all\n");
  CHECK(UnlhaOpenArchiveEx(NULL, "not-an-archive.txt", 0, &result) == NULL && result == UNLHA_NOT_ARCHIVE);
  CHECK(UnlhaOpenArchiveEx(NULL, "missing.lzh", 0, &result) == NULL && result == UNLHA_NOT_ARCHIVE);
  CHECK(UnlhaOpenArchiveEx(NULL, ".", 0, &result) == NULL && result == UNLHA_NOT_ARCHIVE);
  CHECK(UnlhaOpenArchiveEx(NULL, NULL, 0, &result) == NULL && result == UNLHA_BAD_COMMAND);
  CHECK(UnlhaOpenArchiveEx(NULL, "client.lzh", 1, &result) == NULL && result == UNLHA_BAD_COMMAND);
  CHECK(UnlhaOpenArchive(NULL, "missing.lzh", 0) == NULL);
}

/* An archive cut short: its members up to the damage are found, then every
 * step says it is damaged, and the totals cover what came before. */
static void CheckDamage(const char* path, int members) {
  static char bytes[1 << 16];
  UnlhaMemberInfo info;
  uint32_t value = 0;
  int found = 0, i, result;
  FILE* in = fopen(path, "rb");
  FILE* out = fopen("cut.lzh", "wb");
  size_t size = fread(bytes, 1, sizeof bytes, in);
  UnlhaArchive* archive;
  fwrite(bytes, 1, size * 2 / 3, out);
  fclose(in);
  fclose(out);
  archive = UnlhaOpenArchive(NULL, "cut.lzh", 0);
  CHECK(archive != NULL);
  for (result = UnlhaFindFirst(archive, NULL, &info); result == UNLHA_OK; result = UnlhaFindNext(archive, &info))
    ++found;
  CHECK(result == UNLHA_DAMAGED && found > 0 && found < members);
  for (i = 0; i < 3; ++i) CHECK(UnlhaFindNext(archive, &info) == UNLHA_DAMAGED);
  CHECK(UnlhaGetArcOriginalSize(archive, &value) == UNLHA_DAMAGED && value > 0);
  UnlhaCloseArchive(archive);
}

/* An update of the archive while a handle is open on it must succeed (the
 * handle holds no file), and the handle must then refuse to read on. */
static void CheckReplacedWhileOpen(int members) {
  UnlhaMemberInfo info;
  uint32_t value;
  UnlhaArchive* archive = UnlhaOpenArchive(NULL, "client.lzh", 0);
  CHECK(UnlhaFindFirst(archive, NULL, &info) == UNLHA_OK);
  WriteText("extra.txt", "one member more\n");
  CHECK(Unlha(NULL, "a client.lzh extra.txt", NULL, 0) == UNLHA_OK);
  CHECK(UnlhaFindFirst(archive, NULL, &info) == UNLHA_IO_ERROR);
  CHECK(UnlhaGetArcOriginalSize(archive, &value) == UNLHA_IO_ERROR);
  CHECK(UnlhaCloseArchive(archive) == UNLHA_OK);
  CHECK(UnlhaGetFileCount("client.lzh") == members + 1);
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
  char name[UNLHA_MEMBER_NAME_SIZE];
  while (UnlhaFindNext(shared_archive, &info) == UNLHA_OK) {
    UnlhaGetFileName(shared_archive, name, sizeof name);
    ++steps[*(int*)slot];
  }
  return 0;
}

static void CheckTwoThreads(int members) {
  static int slots[2] = {0, 1};
  UnlhaMemberInfo info;
  int i;
#ifdef _WIN32
  HANDLE threads[2];
#else
  pthread_t threads[2];
#endif
  shared_archive = UnlhaOpenArchive(NULL, "client.lzh", 0);
  CHECK(UnlhaFindFirst(shared_archive, NULL, &info) == UNLHA_OK);
  for (i = 0; i < 2; ++i) {
#ifdef _WIN32
    threads[i] = CreateThread(NULL, 0, Stepper, &slots[i], 0, NULL);
#else
    pthread_create(&threads[i], NULL, Stepper, &slots[i]);
#endif
  }
  for (i = 0; i < 2; ++i) {
#ifdef _WIN32
    WaitForSingleObject(threads[i], INFINITE);
    CloseHandle(threads[i]);
#else
    pthread_join(threads[i], NULL);
#endif
  }
  CHECK(1 + steps[0] + steps[1] == members);
  CHECK(UnlhaCloseArchive(shared_archive) == UNLHA_OK);
}

int main(int argc, char** argv) {
  char options[4] = "abc";
  char name[16];
  int i, members;
  if (argc != 2) return 2;
  for (i = 0; i < (int)(sizeof kNames / sizeof kNames[0]); ++i)
    if (!FindExport(kNames[i])) {
      printf("the library does not export %s\n", kNames[i]);
      ++failures;
    }
  CHECK(sizeof kNames / sizeof kNames[0] == UNLHA_FUNCTION_COUNT);
  for (i = -1; i <= UNLHA_FUNCTION_COUNT; ++i)
    CHECK(UnlhaQueryFunctionList(i) == (i >= 0 && i < UNLHA_FUNCTION_COUNT));
  CHECK(UnlhaGetVersion() >= 20 && UnlhaGetRunning() == 0);
  CHECK(UnlhaConfigDialog(NULL, options, 0) == UNLHA_NOT_SUPPORTED && strcmp(options, "abc") == 0);
  CHECK(UnlhaSetOwnerWindow(&options) == UNLHA_OK && UnlhaClearOwnerWindow() == UNLHA_OK);

  for (i = 0; i < 40; ++i) {
    sprintf(name, "f%02d.txt", i);
    WriteText(name, i % 2 ? "odd members repeat themselves, repeat themselves, repeat themselves\n" : name);
  }
  CHECK(Unlha(NULL, "a client.lzh f*.txt", NULL, 0) == UNLHA_OK);
  CHECK(UnlhaCheckArchive("client.lzh", 0) != 0);
  members = WalkAndCompare("client.lzh");
  CHECK(members == 40);
  CHECK(WalkAndCompare(argv[1]) > 0);
  CheckArguments("client.lzh");
  CheckOpenFailures();
  CheckDamage("client.lzh", members);
  CheckTwoThreads(members);
  CheckReplacedWhileOpen(members);
  printf("%s\n", failures ? "FAILED" : "all checks passed");
  return failures ? 1 : 0;
}
