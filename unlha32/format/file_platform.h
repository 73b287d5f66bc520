// 64-bit seeks, truncation and flushing to disk on a stdio stream: the one
// spot where POSIX and the Windows C runtime differ for the format layer's
// file access.
#pragma once

#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lzh {

inline bool SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

inline bool FileSize(std::FILE* file, uint64_t* size) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  __int64 end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  off_t end = ftello(file);
#endif
  if (end < 0) return false;
  *size = static_cast<uint64_t>(end);
  return true;
}

// Cuts the file at `size`; buffered writes must have been flushed.
inline bool TruncateFile(std::FILE* file, uint64_t size) {
#ifdef _WIN32
  return _chsize_s(_fileno(file), static_cast<__int64>(size)) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

// Flushes the stream and asks the system to put the bytes on the disk.
inline bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace lzh
