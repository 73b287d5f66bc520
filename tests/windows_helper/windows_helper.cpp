// What the end-to-end tests under Wine need of Windows that neither the
// Linux side nor Wine's own tools give reliably: the MS-DOS attributes of a
// file, exactly, and an archive held open by another program.
//
//   windows_helper attributes PATH [HEX]
//       sets PATH's attributes to HEX when given, then prints them in hex
//   windows_helper hold FILE PROGRAM [ARGUMENT...]
//       runs PROGRAM while FILE is held open without sharing; exits with
//       its status (127 when FILE or PROGRAM cannot be had)
//
// Arguments are taken from the wide command line, so that names the ANSI
// code page lacks arrive whole.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int Attributes(int argc, wchar_t** argv) {
  if (argc > 3 && !SetFileAttributesW(argv[2], std::wcstoul(argv[3], nullptr, 16))) return 127;
  DWORD attributes = GetFileAttributesW(argv[2]);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 127;
  std::printf("%lX\n", attributes);
  return 0;
}

int Hold(int argc, wchar_t** argv) {
  HANDLE held = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 127;
  std::wstring command;
  for (int i = 3; i < argc; ++i) command += (i > 3 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD status = 127;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(held);
  return static_cast<int>(status);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc >= 3 && std::wcscmp(argv[1], L"attributes") == 0) return Attributes(argc, argv);
  if (argv && argc >= 4 && std::wcscmp(argv[1], L"hold") == 0) return Hold(argc, argv);
  std::fputs("usage: windows_helper attributes PATH [HEX] | hold FILE PROGRAM [ARGUMENT...]\n", stderr);
  return 2;
}
