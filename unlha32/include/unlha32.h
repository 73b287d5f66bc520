/* unlha32.h: the exported interface of the unlha32 LZH archiver library.
 *
 * A program loads the library at run time (libunlha32.so on Linux,
 * unlha32.dll on Windows, where every entry point is __stdcall with an
 * undecorated name) and drives it with command lines like those of a
 * console archiver. Plain C: no C++ type and no exception crosses this
 * boundary.
 *
 * Text (command lines, paths, reports) is NUL-terminated bytes: UTF-8 on
 * Linux, the ANSI code page on Windows. In every path the library is
 * handed, '\' and '/' both separate directories, on every platform.
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

#ifdef __cplusplus
}
#endif

#endif /* UNLHA32_H */
