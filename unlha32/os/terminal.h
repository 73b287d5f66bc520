// The terminal: standard output and error, and questions to the user.
//
// Text goes out in the caller's form (TextForCaller, os/text.h). Progress
// goes to stderr only when it is a terminal; questions go to the
// controlling terminal (not to redirected standard streams), and there is
// none in batch runs. On Windows both streams write a console as UTF-16,
// so that the text shows rightly whatever the console's code page; to a
// file or pipe they write the bytes, standard output with CR LF line ends
// as the C runtime's text mode would. os/posix/terminal.cpp and
// os/win32/terminal.cpp implement it.
#pragma once

#include <string>
#include <string_view>

namespace lzh::os {

bool StderrIsTerminal();
void WriteStderr(std::string_view text);
void WriteStdout(std::string_view text);
// Shows `question` on the terminal and reads one line of answer; false
// when no terminal is attached.
bool AskOnTerminal(std::string_view question, std::string* answer);

}  // namespace lzh::os
