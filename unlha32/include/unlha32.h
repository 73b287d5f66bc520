/* unlha32.h: the exported interface of the unlha32 LZH archiver library.
 *
 * A program loads the library at run time (libunlha32.so on Linux,
 * unlha32.dll on Windows, where every entry point is __stdcall with an
 * undecorated name) and drives it with command lines like those of a
 * console archiver. Plain C: no C++ type and no exception crosses this
 * boundary.
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
 *   existing archive lists it.
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

/* Non-zero only when path names a readable file whose first member header
 * is valid, at the start or inside a self-extracting program; 0 for
 * directories, missing, empty and other files. Reads the first headers
 * only. mode is reserved; pass 0. */
UNLHA_EXPORT int UNLHA_CALL UnlhaCheckArchive(const char* path, int mode);

/* The number of members, counted from the headers without decoding data;
 * -1 when path is not an archive. */
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

/* Reading an archive's members one at a time, without running a command:
 * open a handle, walk with UnlhaFindFirst() and UnlhaFindNext(), close it.
 * The walk reads one header per step, so memory stays the same whatever
 * the number of members; it meets the members the reading commands meet,
 * in their order. A handle serves one thread at a time; different handles
 * may be used in different threads. A handle that is NULL, was never
 * returned by UnlhaOpenArchive() or is closed is refused, as are NULL
 * records and buffers: such a call returns UNLHA_BAD_COMMAND (-1 for
 * UnlhaGetFileName()) and does nothing. */
typedef struct UnlhaArchive UnlhaArchive; /* opaque */

/* Bits of UnlhaMemberInfo.flags. */
#define UNLHA_MEMBER_DIRECTORY 0x01u           /* a directory entry */
#define UNLHA_MEMBER_SYMLINK 0x02u             /* a symbolic link */
#define UNLHA_MEMBER_ORIGINAL_SATURATED 0x04u  /* original_size is 4 GiB - 1 or more */
#define UNLHA_MEMBER_COMPRESSED_SATURATED 0x08u /* compressed_size is 4 GiB - 1 or more */
#define UNLHA_MEMBER_NAME_CUT 0x10u            /* name holds only the start of the name */

#define UNLHA_MEMBER_NAME_SIZE 513

/* One member as the walk describes it; a fixed layout of 580 bytes. */
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

/* Opens an archive (also one inside a self-extracting program) for a walk.
 * owner: a window handle on Windows, unused; pass NULL. mode is reserved;
 * pass 0. Returns NULL when path is NULL, mode is not 0, or the file cannot
 * be read or is no archive. */
UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchive(void* owner, const char* path, uint32_t mode);

/* Closes the handle; it is refused from then on. Returns UNLHA_OK. */
UNLHA_EXPORT int UNLHA_CALL UnlhaCloseArchive(UnlhaArchive* archive);

/* Starts the walk again at the first member and moves to the first member
 * that pattern selects, as a file argument of a reading command does (its
 * base name, or the whole path when it holds a directory; letters with
 * case on Linux, without on Windows); NULL or "" selects every member.
 * UnlhaFindNext() moves to the next one. Both return 0 with *info filled in, -1 when there is no
 * further member, or an error code: UNLHA_DAMAGED when the archive is
 * damaged there (the members before it were found; every later step says
 * so again), UNLHA_IO_ERROR when it can no longer be read, UNLHA_INTERNAL
 * when memory runs out. */
UNLHA_EXPORT int UNLHA_CALL UnlhaFindFirst(UnlhaArchive* archive, const char* pattern, UnlhaMemberInfo* info);
UNLHA_EXPORT int UNLHA_CALL UnlhaFindNext(UnlhaArchive* archive, UnlhaMemberInfo* info);

/* The current member's name exactly as the reports show it: the whole path
 * with '/' between directories, a trailing '/' for a directory, " -> " and
 * the target for a link, converted and escaped for display as every report
 * name is. Written to buffer NUL-terminated, cut on a character boundary
 * when it does not fit size bytes. Returns the whole name's length in
 * bytes without the NUL: size or more means the buffer holds a cut name.
 * Returns -1 when there is no current member (before the first find or
 * after the last) or the call is refused (size below 1 among others). */
UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileName(UnlhaArchive* archive, char* buffer, int size);

#ifdef __cplusplus
}
#endif

#endif /* UNLHA32_H */
