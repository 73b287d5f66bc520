// ProgramImageEnd: where the executable image at the start of a file ends,
// which is where a self-extracting program keeps its archive.
//
// Finding the archive this way costs a few header reads whatever the size
// of the program (a present-day extractor linked with a C++ runtime, or
// built with sanitizers, runs to megabytes). The headers are untrusted
// input: every table and every part they name must lie within the file,
// and anything that does not hold together simply means "no image size".
#pragma once

#include <cstdint>

#include "base/status.h"
#include "format/reader.h"

namespace lzh {

// Sets *end to where the image ends for an ELF file (32/64-bit, either
// byte order: the furthest of its header tables, segments and sections),
// a PE file (its headers, the raw data of every section and the
// certificate table) or a DOS MZ program (the size its header states).
// Fails with kCorrupt for any other input or headers that lie, and with
// kTruncated for headers cut short by the end of the file.
Status ProgramImageEnd(RandomAccessReader& reader, uint64_t* end);

}  // namespace lzh
