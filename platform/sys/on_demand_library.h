// A shared library of the system opened with dlopen the first time one of its functions is
// needed, rather than at the process's start: the libraries that only some calls use (the
// PostgreSQL client, the XSLT processor) and the many libraries they pull in are loaded and
// relocated only by a process that uses them.
//
// Such a library is reached through forwarding functions of the same names and signatures as
// the library's own (see platform/db/libpq_functions.cpp): callers include the library's
// header and call it as usual, and the program is linked without the library.
//
// Thread-safety: Function may be called from any thread; the library is opened once and stays
// loaded for the life of the process.
#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvalis::sys {

// The library or one of its functions could not be found; what() names the library and gives
// the loader's reason.
class LibraryUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OnDemandLibrary {
 public:
  // `soname`: the name the dynamic loader finds the library by ("libpq.so.5").
  explicit OnDemandLibrary(const char* soname) : candidates_{soname} {}
  // The first of `paths` that loads is the library (the project's own modules, which the
  // dynamic loader's search path does not reach). Precondition: `paths` is not empty.
  explicit OnDemandLibrary(std::vector<std::string> paths) : candidates_(std::move(paths)) {}
  OnDemandLibrary(const OnDemandLibrary&) = delete;
  OnDemandLibrary& operator=(const OnDemandLibrary&) = delete;

  // The address of the function `name`, opening the library first when it is not open yet.
  // Throws LibraryUnavailable when the library or the function cannot be found.
  void* Symbol(const char* name);

  template <class Function>
  Function Find(const char* name) {
    return reinterpret_cast<Function>(Symbol(name));
  }

  // The path or name the library was opened by; the first candidate before it is open.
  const std::string& name() const { return candidates_[opened_as_]; }

 private:
  std::vector<std::string> candidates_;
  size_t opened_as_ = 0;
  std::once_flag opened_;
  void* handle_ = nullptr;
  std::string open_error_;
};

}  // namespace korvalis::sys

// The table of a library's functions, written as an X-macro list of their names: in the table's
// struct, a member of each function's own type; in the function that fills the table, the
// look-up of each into the local `functions` from the local OnDemandLibrary `library`.
#define KORVALIS_ON_DEMAND_MEMBER(name) decltype(&::name) name;
#define KORVALIS_ON_DEMAND_FIND(name) functions.name = library.Find<decltype(&::name)>(#name);
