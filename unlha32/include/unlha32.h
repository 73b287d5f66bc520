/* unlha32.h: the exported interface of the unlha32 LZH archiver library.
 *
 * A program links with the library or loads it at run time (libunlha32.so
 * on Linux, unlha32.dll on Windows, where every entry point is __stdcall
 * with an undecorated name) and drives it with command lines like those of
 * a console archiver, or reads an archive member by member through a
 * handle. Plain C: no C++ type and no exception crosses this boundary.
 *
 * Text (command lines, paths, @list files, reports) is NUL-terminated
 * bytes: UTF-8 on Linux, the ANSI code page on Windows. In every path the
 * library is handed, '\' and '/' both separate directories, on every
 * platform. On Windows the library reaches files through the system's
 * UTF-16 names, so names the ANSI code page lacks are still archived and
 * extracted under their own names; a report (and UnlhaGetFileName) shows
 * each character of a name that the ANSI code page has no exact form for
 * as \u{XXXX}, its code point in hex, never as a look-alike. An @list
 * file that starts with the UTF-8 byte order mark is read as UTF-8 there.
 */
#ifndef UNLHA32_H
#define UNLHA32_H

#include <stdint.h>

#ifdef _WIN32
#define UNLHA_CALL __stdcall
#ifdef UNLHA32_BUILDING
#define UNLHA_EXPORT __declspec(dllexport)
#else
#define UNLHA_EXPORT __declspec(dllimport)
#endif
#else
#define UNLHA_CALL
#define UNLHA_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of Unlha(). A command that meets several problems returns the
 * most severe one (the highest number); the report names each problem
 * and the member it concerns. */
#define UNLHA_OK 0          /* everything asked for was done */
#define UNLHA_SKIPPED 1     /* some members were left out: refused paths, existing
                               files kept, questions answered no, patterns that
                               matched nothing, links on a system without them */
#define UNLHA_UNSUPPORTED 2 /* some members use a method the library cannot decode */
#define UNLHA_DAMAGED 3     /* damaged data: CRC mismatch, corrupt stream or header */
#define UNLHA_IO_ERROR 4    /* the system refused a read or write: disk full, size
                               limit, read-only or unwritable target */
#define UNLHA_NOT_ARCHIVE 5 /* the archive is missing, unreadable or not an LZH archive */
#define UNLHA_BAD_COMMAND 6 /* the command line was not understood; nothing was done */
#define UNLHA_INTERNAL 7    /* out of memory or an internal failure */

/* Carries out one command completely during the call.
 *
 * command_line: "<command> [switches] <archive> [base-dir\] [files...]";
 *   commands l v t e x p (reading) and a u m f d s (writing: an archive is
 *   changed only by writing a new one beside it and renaming it over the
 *   old one once complete; it is locked meanwhile), case-insensitive;
 *   switches -x -m -c -p -i -n -l -s -f -wDIR (the directory in the same
 *   token) -r -a -z -t -h0..2 -o -o5..7 -d, each letter optionally
 *   followed by +, - or a digit; "--" ends switch and @list handling;
 *   @file reads names, one per line. A line that is exactly the path of an
 *   existing archive lists it. An archive NAME without an extension means
 *   NAME.lzh when no file NAME exists; UnlhaCheckArchive(),
 *   UnlhaGetFileCount() and UnlhaOpenArchive() follow the same rule.
 *   Tokens: outside double quotes, blanks and tabs separate them. A double
 *   quote opens a quoted section anywhere in a token ("my dir\" is the
 *   directory my dir\, -w"my dir" is -w with my dir); inside it blanks
 *   and tabs are kept and two double quotes stand for one ("a""b" is a"b).
 *   A backslash escapes nothing; every other byte, control bytes included,
 *   stands for itself. Quotes only decide where a token ends: a quoted -x
 *   is still a switch (after "--" it is a name). Refused with
 *   UNLHA_BAD_COMMAND, nothing done: a quote left open, an empty token
 *   (""), -w without its directory.
 * report, report_size: the report is written there, NUL-terminated, never
 *   more than report_size bytes in all. When it does not fit, it is cut
 *   after a whole line and its last line says it was cut. Lines are
 *   separated by '\n'; the last line has none. report may be NULL or
 *   report_size 0: the command still runs.
 * owner: a window handle on Windows, unused; pass NULL.
 * Returns UNLHA_OK or one of the codes above. */
UNLHA_EXPORT int UNLHA_CALL Unlha(void* owner, const char* command_line, char* report,
                                  uint32_t report_size);

/* Non-zero only when path names a readable file that holds an archive with
 * a first member: its header valid, at the start or inside a
 * self-extracting program, or damaged at the start (Unlha() then reports
 * the damage, as it does damage further on); 0 for directories, missing,
 * empty and other files. Reads the first headers only. mode is reserved;
 * pass 0. */
UNLHA_EXPORT int UNLHA_CALL UnlhaCheckArchive(const char* path, int mode);

/* The number of members, counted from the headers without decoding data
 * (a damaged header ends the count: 0 when it is the first); -1 when path
 * is not an archive. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileCount(const char* path);

/* The library's version times 100 (20 for version 0.20). */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetVersion(void);

/* The room a report needs. A caller that sizes the buffer for Unlha() by
 * this bound gets every report whole. For every command but the adding
 * ones (a, u, m, f), the report about an archive fits in
 *
 *   UNLHA_REPORT_FIXED_ROOM
 *   + UNLHA_REPORT_LINE_FACTOR * (length of the command line)
 *   + for each member: UNLHA_REPORT_MEMBER_ROOM
 *                      + UNLHA_REPORT_NAME_FACTOR * (its name's length)
 *   + for p only, for each member: UNLHA_REPORT_CONTENT_FACTOR * (its original size)
 *
 * bytes, the NUL included. The members are those a walk with
 * UnlhaFindFirst(archive, NULL, ...) and UnlhaFindNext() meets, each
 * name's length is what UnlhaGetFileName() returns for it, and a command
 * line that is an archive's path alone counts as that path. The fixed part
 * holds the title, column heads, totals, summary and damage notes; the
 * command-line part every echo of the archive's path, the base directory
 * and names given that match no member. Names read from @lists that match
 * no member need 100 + 12 * their length each in addition. */
#define UNLHA_REPORT_FIXED_ROOM 2048u
#define UNLHA_REPORT_LINE_FACTOR 64u
#define UNLHA_REPORT_MEMBER_ROOM 256u
#define UNLHA_REPORT_NAME_FACTOR 4u
#define UNLHA_REPORT_CONTENT_FACTOR 4u /* p shows a NUL byte as \x00 */

/* ---- Reading an archive through a handle ----
 *
 * A program that shows or picks members (a file manager, a viewer, an
 * installer, a script through an FFI) opens the archive, walks its members
 * with UnlhaFindFirst() and UnlhaFindNext() and reads each member's facts,
 * then closes the handle. The walk meets the members the reading commands
 * meet, in their order, and describes each as `v` does (names converted and
 * escaped as in every report).
 *
 * Memory stays the same whatever the number of members: a handle keeps one
 * member and one block of headers. It holds no file open between calls: it
 * opens the archive when it needs the next block of headers and closes it
 * again, so it never keeps a command (of this process or another) from
 * replacing the archive. When it finds that the file has changed since it
 * was opened (its identity, size or time differ), the call returns
 * UNLHA_IO_ERROR, and so does every later step: close the handle and open
 * the archive again.
 *
 * Threads: every call on one handle runs whole before the next call on it
 * starts, so two threads may share a handle (each step hands a member to
 * one of them); different handles run in parallel. A handle closed while
 * another thread is inside a call on it lets that call finish; later calls
 * are refused. Unlha() may run meanwhile on any thread; it shares nothing
 * with the handles but the files.
 *
 * Misuse is refused, never undefined. A handle that is NULL, was never
 * returned by UnlhaOpenArchive() or is closed, a NULL pointer for a result
 * and a buffer size below 1 are refused, and so is a member fact asked
 * before the first successful find or after a find that found nothing;
 * the call writes nothing and returns UNLHA_BAD_COMMAND (-1 for the
 * functions that return a length).
 *
 * Text results (names, method, attributes) are written NUL-terminated to a
 * buffer of `size` bytes, cut on a character boundary when they do not fit.
 * Such a function returns the whole text's length in bytes without the NUL:
 * `size` or more means the buffer holds a cut text.
 *
 * Numbers are written through a pointer; the function returns UNLHA_OK.
 * Sizes are 32-bit and saturate at 0xFFFFFFFF; the functions with the Ex
 * suffix give them whole, in 64 bits, for members and archives of 4 GiB
 * or more. */
typedef struct UnlhaArchive UnlhaArchive; /* opaque */

/* Results beside those of Unlha(). */
#define UNLHA_NO_MORE_MEMBERS (-1) /* UnlhaFindFirst/Next: the walk is over */
#define UNLHA_NOT_SUPPORTED 8      /* the library has no such feature */

/* Bits of UnlhaMemberInfo.flags. */
#define UNLHA_MEMBER_DIRECTORY 0x01u           /* a directory entry */
#define UNLHA_MEMBER_SYMLINK 0x02u             /* a symbolic link */
#define UNLHA_MEMBER_ORIGINAL_SATURATED 0x04u  /* original_size is 4 GiB - 1 or more */
#define UNLHA_MEMBER_COMPRESSED_SATURATED 0x08u /* compressed_size is 4 GiB - 1 or more */
#define UNLHA_MEMBER_NAME_CUT 0x10u            /* name holds only the start of the name */

#define UNLHA_MEMBER_NAME_SIZE 513

/* One member as the walk describes it: a fixed layout of 580 bytes, no
 * padding. The member fact functions below answer the same values. */
typedef struct UnlhaMemberInfo {
  uint32_t original_size;   /* saturated at 0xFFFFFFFF (flags say so) */
  uint32_t compressed_size; /* the packed data alone; saturated likewise */
  uint32_t crc;             /* the CRC-16 of the original data */
  uint32_t flags;           /* UNLHA_MEMBER_* */
  uint32_t os_type;         /* the header's OS byte: 'M' MS-DOS, 'U' Unix, 'w' Windows 95,
                               'W' Windows NT ...; 0 when the header has none */
  uint32_t ratio;           /* the compressed size in thousandths of the original,
                               saturated; 0 for an empty member */
  uint32_t dos_date;        /* local date, MS-DOS form ((year - 1980) << 9 | month << 5 | day),
                               clamped to 1980..2107; 0 when the header has no valid time */
  uint32_t dos_time;        /* local time, MS-DOS form (hour << 11 | minute << 5 | second / 2) */
  char name[UNLHA_MEMBER_NAME_SIZE]; /* as UnlhaGetFileName() gives it; cut on a character
                               boundary when longer (UNLHA_MEMBER_NAME_CUT) */
  char attributes[11];      /* as v shows them: "-rw-r--r--", or MS-DOS "a--r" */
  char method[24];          /* "-lh5-"; bytes outside printable ASCII as \xNN */
} UnlhaMemberInfo;

/* Opens an archive (also one inside a self-extracting program) for a walk
 * and reads its first header. owner: a window handle on Windows, unused;
 * pass NULL. mode is reserved; pass 0. Returns NULL when path is NULL, mode
 * is not 0, or the file cannot be read or is no archive; UnlhaOpenArchiveEx()
 * says which. */
UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchive(void* owner, const char* path, uint32_t mode);

/* UnlhaOpenArchive() that also writes to *result (when result is not NULL)
 * why there is no handle: UNLHA_BAD_COMMAND (path NULL or mode not 0),
 * UNLHA_NOT_ARCHIVE (missing, unreadable, a directory or no LZH archive),
 * UNLHA_INTERNAL (out of memory); UNLHA_OK with a handle. */
UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchiveEx(void* owner, const char* path, uint32_t mode,
                                                        int* result);

/* Closes the handle; it is refused from then on. Returns UNLHA_OK, or
 * UNLHA_BAD_COMMAND for a handle that is not open. */
UNLHA_EXPORT int UNLHA_CALL UnlhaCloseArchive(UnlhaArchive* archive);

/* Starts the walk again at the first member and moves to the first member
 * that pattern selects, as a file argument of a reading command does (its
 * base name, or the whole path when it holds a directory; * and ? as
 * wildcards; letters with case on Linux, without on Windows); NULL, "" and
 * "*" select every member. UnlhaFindNext() moves to the next one (before
 * any UnlhaFindFirst() it walks every member from the first). Both return
 * UNLHA_OK with *info filled in, UNLHA_NO_MORE_MEMBERS (-1) when there is
 * no further member (and again at every later step), or an error code:
 * UNLHA_DAMAGED when the archive is damaged there (the members before it
 * were found; every later step says so again, so a walk always ends),
 * UNLHA_IO_ERROR when it can no longer be read or has changed,
 * UNLHA_INTERNAL when memory runs out. After an error or the end there is
 * no current member. */
UNLHA_EXPORT int UNLHA_CALL UnlhaFindFirst(UnlhaArchive* archive, const char* pattern, UnlhaMemberInfo* info);
UNLHA_EXPORT int UNLHA_CALL UnlhaFindNext(UnlhaArchive* archive, UnlhaMemberInfo* info);

/* ---- Facts of the current member: the member the last find found ---- */

/* The name exactly as the reports show it: the whole path with '/' between
 * directories, a trailing '/' for a directory, " -> " and the target for a
 * link, converted and escaped for display as every report name is. Returns
 * the name's length (see "Text results" above), -1 when refused. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileName(UnlhaArchive* archive, char* buffer, int size);
/* The method as UnlhaMemberInfo.method holds it ("-lh5-"); the length, or -1. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetMethod(UnlhaArchive* archive, char* buffer, int size);
/* The attributes as UnlhaMemberInfo.attributes holds them; the length, or -1. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetAttribute(UnlhaArchive* archive, char* buffer, int size);
/* The values of the UnlhaMemberInfo fields of the same names; UNLHA_OK, or
 * UNLHA_BAD_COMMAND when refused. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetOriginalSize(UnlhaArchive* archive, uint32_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetCompressedSize(UnlhaArchive* archive, uint32_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetRatio(UnlhaArchive* archive, uint32_t* per_mille);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetDate(UnlhaArchive* archive, uint32_t* dos_date);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetTime(UnlhaArchive* archive, uint32_t* dos_time);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetCRC(UnlhaArchive* archive, uint32_t* crc);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetOSType(UnlhaArchive* archive, uint32_t* os_type);
/* The sizes whole, for members of 4 GiB or more. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetOriginalSizeEx(UnlhaArchive* archive, uint64_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetCompressedSizeEx(UnlhaArchive* archive, uint64_t* size);

/* ---- Facts of the archive, valid as long as the handle is open ---- */

/* The path of the archive the handle reads: as UnlhaOpenArchive() was
 * given it, or NAME.lzh for a NAME without an extension that names no file
 * (the rule every command follows); the length, or -1. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileName(UnlhaArchive* archive, char* buffer, int size);
/* The file's size in bytes (a self-extracting program's whole file), and
 * its modification time in local time, MS-DOS form (clamped to 1980..2107),
 * as they were when the archive was opened. UNLHA_OK, or UNLHA_BAD_COMMAND. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileSize(UnlhaArchive* archive, uint32_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcDate(UnlhaArchive* archive, uint32_t* dos_date);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcTime(UnlhaArchive* archive, uint32_t* dos_time);
/* Over every member a walk without a pattern meets, whatever has been
 * found so far: the sum of the original sizes, the sum of the compressed
 * sizes, the ratio of those two sums in thousandths (0 when the first is
 * 0), and the OS type all of them share (0 when they differ or there are
 * none). These are the totals of the `l` and `v` reports. The first of
 * these calls walks the headers once (a listing's cost); the result is
 * kept. UNLHA_OK; UNLHA_DAMAGED when the archive is damaged, with the value
 * for the members before the damage written; UNLHA_IO_ERROR (nothing
 * written) when it can no longer be read or has changed; UNLHA_BAD_COMMAND
 * when refused. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOriginalSize(UnlhaArchive* archive, uint32_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcCompressedSize(UnlhaArchive* archive, uint32_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcRatio(UnlhaArchive* archive, uint32_t* per_mille);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOSType(UnlhaArchive* archive, uint32_t* os_type);
/* The sizes whole, for archives of 4 GiB or more. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileSizeEx(UnlhaArchive* archive, uint64_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOriginalSizeEx(UnlhaArchive* archive, uint64_t* size);
UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcCompressedSizeEx(UnlhaArchive* archive, uint64_t* size);

/* ---- The library as a whole ---- */

/* 1 while a call of Unlha() is in progress on any thread of the process,
 * else 0. */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetRunning(void);

/* The entry points, numbered as UnlhaQueryFunctionList() takes them: the
 * order in which a front end binds them, then the library's own. */
enum UnlhaFunction {
  UNLHA_FUNCTION_CHECK_ARCHIVE,
  UNLHA_FUNCTION_UNLHA,
  UNLHA_FUNCTION_GET_VERSION,
  UNLHA_FUNCTION_GET_RUNNING,
  UNLHA_FUNCTION_CONFIG_DIALOG,
  UNLHA_FUNCTION_GET_FILE_COUNT,
  UNLHA_FUNCTION_QUERY_FUNCTION_LIST,
  UNLHA_FUNCTION_OPEN_ARCHIVE,
  UNLHA_FUNCTION_CLOSE_ARCHIVE,
  UNLHA_FUNCTION_FIND_FIRST,
  UNLHA_FUNCTION_FIND_NEXT,
  UNLHA_FUNCTION_GET_ARC_FILE_NAME,
  UNLHA_FUNCTION_GET_ARC_FILE_SIZE,
  UNLHA_FUNCTION_GET_ARC_ORIGINAL_SIZE,
  UNLHA_FUNCTION_GET_ARC_COMPRESSED_SIZE,
  UNLHA_FUNCTION_GET_ARC_RATIO,
  UNLHA_FUNCTION_GET_ARC_DATE,
  UNLHA_FUNCTION_GET_ARC_TIME,
  UNLHA_FUNCTION_GET_ARC_OS_TYPE,
  UNLHA_FUNCTION_GET_FILE_NAME,
  UNLHA_FUNCTION_GET_ORIGINAL_SIZE,
  UNLHA_FUNCTION_GET_COMPRESSED_SIZE,
  UNLHA_FUNCTION_GET_METHOD,
  UNLHA_FUNCTION_GET_RATIO,
  UNLHA_FUNCTION_GET_DATE,
  UNLHA_FUNCTION_GET_TIME,
  UNLHA_FUNCTION_GET_CRC,
  UNLHA_FUNCTION_GET_ATTRIBUTE,
  UNLHA_FUNCTION_GET_OS_TYPE,
  UNLHA_FUNCTION_SET_OWNER_WINDOW,
  UNLHA_FUNCTION_CLEAR_OWNER_WINDOW,
  UNLHA_FUNCTION_OPEN_ARCHIVE_EX,
  UNLHA_FUNCTION_GET_ORIGINAL_SIZE_EX,
  UNLHA_FUNCTION_GET_COMPRESSED_SIZE_EX,
  UNLHA_FUNCTION_GET_ARC_FILE_SIZE_EX,
  UNLHA_FUNCTION_GET_ARC_ORIGINAL_SIZE_EX,
  UNLHA_FUNCTION_GET_ARC_COMPRESSED_SIZE_EX,
  UNLHA_FUNCTION_COUNT
};

/* 1 when the entry point numbered `function` is implemented (every one
 * below UNLHA_FUNCTION_COUNT is), 0 for any other number. */
UNLHA_EXPORT int UNLHA_CALL UnlhaQueryFunctionList(int function);

/* The library has no dialog to set options in: returns UNLHA_NOT_SUPPORTED
 * and writes nothing to options. */
UNLHA_EXPORT int UNLHA_CALL UnlhaConfigDialog(void* owner, char* options, int mode);

/* The library opens no window, so an owner window has nothing to own: both
 * accept any value and return UNLHA_OK. */
UNLHA_EXPORT int UNLHA_CALL UnlhaSetOwnerWindow(void* owner);
UNLHA_EXPORT int UNLHA_CALL UnlhaClearOwnerWindow(void);

#ifdef __cplusplus
}
#endif

#endif /* UNLHA32_H */
