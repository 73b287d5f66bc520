// The parts of the C++ runtime that the Windows self-extracting program
// takes from here instead of the statically linked libstdc++.
//
// The program is built without exceptions, but libstdc++'s operator new
// and the helpers its containers call on a misuse (std::__throw_*) throw,
// and linking them in would bring the whole exception machinery along:
// the unwinder, the personality routine, the exception classes with their
// strings and the verbose terminate handler with its demangler, together
// more than the extractor itself. Here each of them ends the program with
// a line on standard error, which is what an exception that nothing
// catches would have done. A helper the program comes to need and this
// file lacks brings the machinery back: either its definitions clash with
// these or the program outgrows its limit, and the build fails.
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fputs("This program has to stop: ", stderr);
  std::fputs(what, stderr);
  std::fputs("\n", stderr);
  std::abort();
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* block = std::malloc(size > 0 ? size : 1)) return block;
  Fail("out of memory");
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace std {

void __throw_bad_alloc() { Fail("out of memory"); }
void __throw_bad_array_new_length() { Fail("out of memory"); }
void __throw_bad_function_call() { Fail("an empty function was called"); }
void __throw_length_error(const char* what) { Fail(what); }
void __throw_logic_error(const char* what) { Fail(what); }
void __throw_out_of_range_fmt(const char* what, ...) { Fail(what); }

}  // namespace std

// Registers the destructor of a thread_local object (the decoders keep
// their window per thread). The program has one thread, which ends only
// when the process does, and the system takes back its memory then: there
// is nothing to run, and libstdc++'s version would bring the exception
// machinery along.
extern "C" int __cxa_thread_atexit(void (*)(void*), void*, void*) { return 0; }
