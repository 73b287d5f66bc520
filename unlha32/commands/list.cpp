// l and v. Every line of `l` stays within 79 bytes, so that a listing
// fits the report size a front end reserves (80 bytes per member plus
// five lines); `v` gives each member a full-path line and a detail line.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "commands/shared/archive_reading.h"
#include "commands/member_text.h"
#include "commands/shared/member_names.h"
#include "os/time.h"
#include "commands/reading_commands.h"
#include "commands/selection.h"

namespace lzh::commands {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Ratio(uint64_t packed, uint64_t original) {
  if (original == 0) return "-";
  uint64_t tenths = PerMille(packed, original);  // tenths of a percent
  return Format("%" PRIu64 ".%" PRIu64 "%%", tenths / 10, tenths % 10);
}

// Local date and time to the minute, 16 characters.
std::string DateTime(const MemberHeader& header) {
  os::LocalTime t;
  if (!header.mtime_valid || !os::ToLocalTime(header.mtime, &t)) return "(no valid date) ";
  return Format("%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

const char* OsName(uint8_t id) {
  switch (id) {
    case 'M': return "MS-DOS";
    case '2': return "OS/2";
    case '9': return "OS-9";
    case 'K': return "OS-9/68K";
    case '3': return "OS/386";
    case 'H': return "Human68K";
    case 'U': return "Unix";
    case 'C': return "CP/M";
    case 'F': return "FLEX";
    case 'm': return "Mac";
    case 'R': return "Runser";
    case 'T': return "TownsOS";
    case 'X': return "XOSK";
    case 'w': return "Win95";
    case 'W': return "WinNT";
    case 'J': return "Java";
    case 'A': return "Amiga";
    case 'a': return "Atari";
    case 0: return "generic";
    default: return "?";
  }
}

}  // namespace

Result ListArchive(const CommandLine& line, Report& report) {
  const bool verbose = line.command == Command::kVerboseList;
  const TextForm form = CurrentTextForm();
  ArchiveContents archive;
  MemberSelection selection(line.files, line.switches.strict_names, line.switches.case_sensitive);
  uint64_t total_original = 0, total_packed = 0;
  uint64_t listed = 0;
  std::string rule;
  // The members are listed as the walk finds them, never kept: memory stays
  // flat however many there are. The head goes out before the first one.
  auto head = [&] {
    if (!rule.empty()) return;
    report.Line(ArchiveTitle(line.archive, archive.archive_offset, form));
    const char* columns = "%10s %10s %6s %-16s %-6s %s";
    const std::string rule_start =
        Format(columns, "----------", "----------", "------", "----------------", "------", "");
    if (verbose) {
      report.Line(Format("%10s %10s %6s %-16s %-6s %s %-8s %-4s %s", "Original", "Packed", "Ratio",
                         "Date       Time", "Method", "L", "OS", "CRC", "Attributes"));
      rule = rule_start + "- -------- ---- ----------";
    } else {
      report.Line(Format(columns, "Original", "Packed", "Ratio", "Date       Time", "Method", "Name"));
      rule = rule_start + std::string(kLineLimit - rule_start.size(), '-');
    }
    report.Line(rule);
  };
  auto list = [&](const MemberHeader& header) {
    head();
    LocalMemberNames names = LocalNames(header, form);
    if (!selection.Selects(names.path)) return;
    ++listed;
    total_original += header.original_size;
    total_packed += header.packed_size;
    std::string sizes = Format("%10" PRIu64 " %10" PRIu64 " %6s %s %-6s", header.original_size,
                               header.packed_size, Ratio(header.packed_size, header.original_size).c_str(),
                               DateTime(header).c_str(), header.MethodText().c_str());
    if (verbose) {
      report.Line(ShownName(header, names, true, form));
      report.Line(Format("%s %d %-8s %04X %s", sizes.c_str(), header.level, OsName(header.os_id), header.crc,
                         AttributeText(header).c_str()));
    } else {
      std::string shown = ShownName(header, names, false, form);
      report.Line(sizes + " " + FitName(std::move(shown), kLineLimit - sizes.size() - 1, form));
    }
  };
  Status status = WalkArchive(line.archive, &archive, list);
  if (!status.ok()) {
    report.Line("Cannot list " + DisplayName(line.archive, form) + ": " + status.message());
    return Result::kNotArchive;
  }
  head();
  report.Line(rule);
  report.Line(Format("%10" PRIu64 " %10" PRIu64 " %6s %" PRIu64 " member%s", total_original, total_packed,
                     Ratio(total_packed, total_original).c_str(), listed, listed == 1 ? "" : "s"));
  Result result = Result::kOk;
  for (const std::string& pattern : selection.Unmatched()) {
    report.Line("No member matches " + DisplayName(pattern, form));
    result = Worse(result, Result::kSkipped);
  }
  if (!archive.damage.ok()) {
    report.Line(DamageLine(archive, "listed"));
    result = Worse(result, Result::kDamaged);
  }
  return result;
}

}  // namespace lzh::commands
