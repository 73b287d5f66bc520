// 64-bit seeks on a stdio stream: the one spot where POSIX and the Windows C
// runtime differ for the format layer's file access.
#pragma once

#include <cstdint>
#include <cstdio>

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

}  // namespace lzh
