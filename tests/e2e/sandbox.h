// A private directory per test in which tavo runs: bin/ holds a copy of tavo
// (or tavo.exe) and of whichever library the test asks for (a test double or
// the real library), work/ is the current directory, and the double's call
// log lies beside them. Every run gets the locale the program was told
// (Target::locale) unless a test sets LC_ALL itself. No test can see another library than its own, nor
// another test's files.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "temp_tree.h"

// What the e2e program was told to run, from its command line.
struct Target {
  std::string tavo;           // tavo or tavo.exe
  std::string fullDouble;     // the test double
  std::string partialDouble;  // the test double lacking UnlhaGetFileCount
  std::string library;        // the real archiver library
  std::string wine;           // the wine program, empty for native runs
  // The locale every run gets unless a test sets LC_ALL: under Wine it
  // picks the ANSI code page (ja_JP.UTF-8 gives 932, en_US.UTF-8 1252).
  // Empty: the C locale.
  std::string locale;
  std::string helper;  // windows_helper.exe, for the Wine runs
  bool UnderWine() const { return !wine.empty(); }
};
extern Target target;

struct Outcome {
  std::string output;  // standard output, byte for byte
  int status;          // exit status as the shell sees it
  long peakKilobytes;  // the process's largest resident size
  std::string errors;  // standard error, which is a file here
};

enum class Library { None, Full, Partial, Real };

using Environment = std::vector<std::pair<std::string, std::string>>;

class Sandbox {
 public:
  explicit Sandbox(Library library = Library::Full);
  Outcome Run(const std::vector<std::string>& arguments, const Environment& environment = {}) const;
  // Runs another program of this platform (under Wine for the Windows
  // build) in `directory`, in the environment tavo gets.
  Outcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, const Environment& environment = {}) const;
  // The double's call log, one call a line.
  std::vector<std::string> Calls() const;
  // An archive as the double sees it, with its member count, in work/.
  void Archive(const std::string& relative, int members) const;
  void File(const std::string& relative, const std::string& content = "plain") const;
  // The contents of a file below work/; empty when there is none.
  std::string Read(const std::string& relative) const;
  // The line end tavo writes on this platform.
  std::string Eol() const { return target.UnderWine() ? "\r\n" : "\n"; }
  std::string work() const { return (tree_.root() / "work").string(); }

 private:
  TempTree tree_;
};
