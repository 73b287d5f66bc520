// Win32 terminal: the console as UTF-16 (any code page shows rightly),
// files and pipes as bytes, and CONIN$/CONOUT$ for questions.
#include <windows.h>

#include <string_view>

#include "os/terminal.h"

namespace lzh::os {

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

// `text` is the caller's (the ANSI code page). A console gets it as UTF-16;
// anything else gets the bytes, with '\n' as CR LF when `crlf`.
void WriteText(HANDLE handle, std::string_view text, bool crlf) {
  DWORD mode, written;
  if (GetConsoleMode(handle, &mode)) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::string bytes;
  for (char c : text) {
    if (c == '\n' && crlf) bytes += '\r';
    bytes += c;
  }
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void WriteStderr(std::string_view text) { WriteText(GetStdHandle(STD_ERROR_HANDLE), text, false); }

void WriteStdout(std::string_view text) { WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text, true); }

bool AskOnTerminal(std::string_view question, std::string* answer) {
  HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(in);
    return false;
  }
  WriteText(out, question, false);
  DWORD count;
  answer->clear();
  char c;
  while (ReadFile(in, &c, 1, &count, nullptr) && count == 1 && c != '\n') {
    if (c != '\r' && answer->size() < 256) answer->push_back(c);
  }
  CloseHandle(out);
  CloseHandle(in);
  return true;
}

}  // namespace lzh::os
