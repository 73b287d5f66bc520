// Command-line parser. The grammar is small and fixed, so it is a direct
// scan rather than a table: tokens, then each token classified as switch
// group, @list, archive, base directory or file argument. A line that could
// be read more than one way (a quote left open, an empty argument, -w
// without its directory) is refused rather than guessed at: a guess names
// other files than the caller meant, and writing commands act on them.
#include "commands/command_line.h"

#include <cctype>
#include <cstdint>

#include "commands/shared/member_names.h"
#include "commands/shared/paths.h"
#include "os/file.h"
#include "os/text.h"

namespace lzh::commands {
namespace {

constexpr std::string_view kCommandLetters = "aufmdslvtexp";

// A list file is a list of names, not a data file: a generous cap keeps a
// wrong @argument (a disk image, say) from exhausting memory.
constexpr uint64_t kMaxListFileSize = 64u << 20;

bool ReadListFile(const std::string& path, std::vector<std::string>* names, std::string* error) {
  os::File file;
  uint64_t size = 0;
  if (!os::File::OpenRead(os::NativePath(path), &file).ok() || !file.Size(&size).ok()) {
    *error = "cannot read the list file " + path;
    return false;
  }
  if (size > kMaxListFileSize) {
    *error = "the list file " + path + " is too large";
    return false;
  }
  std::string text(static_cast<size_t>(size), '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    size_t got = 0;
    if (!file.Read(reinterpret_cast<uint8_t*>(text.data()) + filled, text.size() - filled, &got).ok()) {
      *error = "cannot read the list file " + path;
      return false;
    }
    if (got == 0) break;
    filled += got;
  }
  text.resize(filled);
  // The caller's code page (ANSI on Windows), unless the file says it is
  // UTF-8 with a byte order mark, as Windows editors save it.
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (text.starts_with(kUtf8Mark) && os::LocaleIsUtf8())
    text.erase(0, kUtf8Mark.size());
  else
    text = os::TextFromCaller(text);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names->push_back(std::move(name));
    start = end + 1;
  }
  return true;
}

// Reads an on/off modifier after a plain switch letter: '+', '1' or
// nothing mean on; '-' or '0' off.
bool ReadOnOff(std::string_view token, size_t* i, bool* value) {
  *value = true;
  if (*i < token.size()) {
    char c = token[*i];
    if (c == '+' || c == '1') {
      ++*i;
    } else if (c == '-' || c == '0') {
      *value = false;
      ++*i;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

// Parses one switch group such as "-rx-h1". Returns false with `*error`
// set for an unknown letter or a modifier the letter does not take.
bool ParseSwitchGroup(std::string_view token, Switches* s, bool* literal_follows, std::string* error) {
  size_t i = 1;
  if (token.size() == 1) {
    *error = "a lone '-' is no switch";
    return false;
  }
  while (i < token.size()) {
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(token[i])));
    ++i;
    char modifier = i < token.size() ? token[i] : '\0';
    bool on = true;
    auto plain = [&](bool* field) {
      if (!ReadOnOff(token, &i, &on)) return false;
      *field = on;
      return true;
    };
    bool ok = true;
    switch (letter) {
      case '-':
        *literal_follows = true;
        break;
      case 'r':
        if (modifier == '2') {
          s->recurse = s->expand_named_directories = true;
          ++i;
        } else {
          ok = ReadOnOff(token, &i, &on);
          s->recurse = on;
          s->expand_named_directories = false;
        }
        break;
      case 'x':
        ok = ReadOnOff(token, &i, &on);
        s->directory_names = on;
        break;
      case 'h':
        if (modifier >= '0' && modifier <= '2') {
          s->header_level = modifier - '0';
          ++i;
        } else {
          *error = "the switch -h takes 0, 1 or 2 (header level)";
          return false;
        }
        break;
      case 'o':
        if (modifier >= '5' && modifier <= '7') {
          s->compression = modifier == '5'   ? CompressionChoice::kLh5
                           : modifier == '6' ? CompressionChoice::kLh6
                                             : CompressionChoice::kLh7;
          ++i;
        } else {
          ok = ReadOnOff(token, &i, &on);
          s->compression = on ? CompressionChoice::kLh1Compatible : CompressionChoice::kDefault;
        }
        break;
      case 'w':
        // The directory never comes from the next token: a front end takes
        // every token that is no switch for the archive or a name, and would
        // then disagree with us about which token is the archive.
        s->work_directory = std::string(token.substr(i));
        i = token.size();
        if (s->work_directory.empty()) {
          *error = "the switch -w takes its directory in the same token (-wDIR): " + std::string(token);
          return false;
        }
        break;
      case 'm': ok = plain(&s->no_questions); break;
      case 'p': ok = plain(&s->strict_names); break;
      case 'c': ok = plain(&s->no_date_check); break;
      case 'a': ok = plain(&s->all_attributes); break;
      case 'z': ok = plain(&s->store_only); break;
      case 't': ok = plain(&s->archive_time_newest); break;
      case 'n': ok = plain(&s->no_progress); break;
      case 'i': ok = plain(&s->case_sensitive); break;
      case 'l': ok = plain(&s->long_progress_names); break;
      case 's': ok = plain(&s->silent); break;
      case 'd': ok = plain(&s->directory_entries); break;
      case 'f': ok = plain(&s->no_space_check); break;
      default:
        *error = std::string("unknown switch -") + token[i - 1] + " in " + std::string(token);
        return false;
    }
    if (!ok) {
      *error = std::string("the switch -") + letter + " does not take " + token[i];
      return false;
    }
  }
  return true;
}

}  // namespace

bool Tokenize(std::string_view line, std::vector<std::string>* tokens, std::string* error) {
  auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  tokens->clear();
  size_t i = 0;
  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) return true;
    size_t start = i;
    std::string token;
    bool quoted = false;
    for (; i < line.size() && (quoted || !is_blank(line[i])); ++i) {
      if (line[i] != '"') token += line[i];
      else if (quoted && i + 1 < line.size() && line[i + 1] == '"') token += line[++i];
      else quoted = !quoted;
    }
    if (quoted) {
      std::string_view rest = line.substr(start);
      while (is_blank(rest.back())) rest.remove_suffix(1);
      *error = "a double quote is not closed in " + std::string(rest);
      return false;
    }
    tokens->push_back(std::move(token));
  }
}

bool ParseCommandLine(std::string_view line, CommandLine* parsed, std::string* error) {
  std::vector<std::string> tokens;
  if (!Tokenize(line, &tokens, error)) return false;
  if (tokens.empty()) {
    *error = "empty command line";
    return false;
  }
  for (const std::string& token : tokens) {
    if (token.empty()) {
      // Dropping it would hand its role to the next argument: the archive
      // could become a file to add, a pattern could become "everything".
      *error = "an empty argument (\"\") names nothing";
      return false;
    }
  }
  const std::string& word = tokens[0];
  char letter = word.size() == 1 ? static_cast<char>(std::tolower(static_cast<unsigned char>(word[0]))) : 0;
  if (letter == 0 || kCommandLetters.find(letter) == std::string_view::npos) {
    *error = "unknown command " + word;
    return false;
  }
  *parsed = CommandLine();
  parsed->command = static_cast<Command>(letter);

  bool literal = false;  // after "--": no switches, no @lists
  bool archive_seen = false;
  bool base_possible = false;  // only the first argument after the archive
  std::vector<std::string> list_names;
  for (size_t next = 1; next < tokens.size(); ++next) {
    std::string& token = tokens[next];
    if (!literal && token[0] == '-') {
      bool literal_follows = false;
      if (!ParseSwitchGroup(token, &parsed->switches, &literal_follows, error)) return false;
      literal = literal || literal_follows;
      continue;
    }
    if (!literal && token.size() > 1 && token[0] == '@') {
      list_names.clear();
      if (!ReadListFile(token.substr(1), &list_names, error)) return false;
      for (std::string& name : list_names) parsed->files.push_back(std::move(name));
      base_possible = false;
      continue;
    }
    if (!archive_seen) {
      parsed->archive = std::move(token);
      archive_seen = true;
      base_possible = true;
      continue;
    }
    if (base_possible && EndsWithSeparator(token)) {
      parsed->base_directory = std::move(token);
    } else {
      parsed->files.push_back(std::move(token));
    }
    base_possible = false;
  }
  if (!archive_seen) {
    *error = "no archive named";
    return false;
  }
  return true;
}

}  // namespace lzh::commands
