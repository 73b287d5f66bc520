// The test double of the archiver library: shared pieces of its entry points.
// It answers from the files it is asked about and records every call in the
// file named by TAVO_DOUBLE_LOG, so that tests can check exactly what the
// front end handed over.
#pragma once

#include <string>

// A file is an archive to the double when its content starts with this
// marker; the decimal number after it is the archive's member count.
constexpr char kArchiveMarker[] = "TAVO-DOUBLE-ARCHIVE ";

// Appends one line to the call log, if one is named.
void RecordCall(const std::string& line);
// The member count written in the file, or -1 when it is not an archive.
int ReadMemberCount(const char* path);
