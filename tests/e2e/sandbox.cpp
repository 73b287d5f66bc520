// Running tavo as a child process with a controlled environment: the double's
// variables, LHA and the locale are cleared unless a test sets them, and
// LD_LIBRARY_PATH is dropped so that only the library beside tavo is found.
// Standard error goes to a file, as in a batch run: nothing meant for a
// terminal may reach it.
#include "sandbox.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

extern char** environ;

Target target;

namespace {

bool Controlled(const std::string& entry) {
  for (const char* name : {"LHA=", "TAVO_DOUBLE_", "LC_ALL=", "LANG=", "LC_CTYPE=", "LD_LIBRARY_PATH="})
    if (entry.rfind(name, 0) == 0) return true;
  return false;
}

}  // namespace

Sandbox::Sandbox(Library library) {
  fs::create_directories(tree_.root() / "bin");
  fs::create_directories(tree_.root() / "work");
  fs::copy_file(target.tavo, tree_.root() / "bin" / fs::path(target.tavo).filename());
  if (library == Library::None) return;
  const std::string& source = library == Library::Full      ? target.fullDouble
                              : library == Library::Partial ? target.partialDouble
                                                            : target.library;
  if (source.empty()) throw std::runtime_error("this test program was not told where its library is");
  fs::copy_file(source, tree_.root() / "bin" / fs::path(source).filename());
}

Outcome Sandbox::Run(const std::vector<std::string>& arguments, const Environment& environment) const {
  return RunProgram((tree_.root() / "bin" / fs::path(target.tavo).filename()).string(), arguments, work(),
                    environment);
}

Outcome Sandbox::RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& directory, const Environment& environment) const {
  std::vector<std::string> command;
  if (target.UnderWine()) command.push_back(target.wine);
  command.push_back(program);
  command.insert(command.end(), arguments.begin(), arguments.end());

  std::string logPath = (tree_.root() / "calls.log").string();
  std::vector<std::string> variables;
  for (char** e = environ; *e; ++e)
    if (!Controlled(*e)) variables.emplace_back(*e);
  bool localeGiven = std::any_of(environment.begin(), environment.end(), [](const auto& v) { return v.first == "LC_ALL"; });
  if (!localeGiven) variables.push_back("LC_ALL=" + (target.locale.empty() ? std::string("C") : target.locale));
  variables.push_back("TAVO_DOUBLE_LOG=" + (target.UnderWine() ? "Z:" + logPath : logPath));
  for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);

  std::vector<char*> argv, envp;
  for (std::string& s : command) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (std::string& s : variables) envp.push_back(s.data());
  envp.push_back(nullptr);

  const fs::path errorsPath = tree_.root() / "stderr.txt";
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (chdir(directory.c_str()) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  Outcome outcome{};
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0) outcome.output.append(chunk, static_cast<std::size_t>(got));
  close(pipeEnds[0]);
  int status = 0;
  struct rusage usage{};
  wait4(child, &status, 0, &usage);
  outcome.peakKilobytes = usage.ru_maxrss;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  std::ifstream errors(errorsPath, std::ios::binary);
  outcome.errors.assign(std::istreambuf_iterator<char>(errors), {});
  return outcome;
}

std::vector<std::string> Sandbox::Calls() const {
  std::vector<std::string> calls;
  std::ifstream log(tree_.root() / "calls.log", std::ios::binary);
  for (std::string line; std::getline(log, line);) calls.push_back(line);
  return calls;
}

void Sandbox::Archive(const std::string& relative, int members) const {
  File(relative, "TAVO-DOUBLE-ARCHIVE " + std::to_string(members) + "\n");
}

void Sandbox::File(const std::string& relative, const std::string& content) const {
  tree_.File("work/" + relative, content);
}

std::string Sandbox::Read(const std::string& relative) const {
  std::ifstream file(tree_.root() / "work" / relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
