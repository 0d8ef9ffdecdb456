// KeptSysParam: the value of one system parameter, kept for the life of the process from the
// first read that gives a usable value. Until then every Get reads the parameter again, so an
// operator who sets a missing parameter is heard without a restart; once kept, a changed
// parameter takes effect in a new process.
//
//   UNSET ──Get: read, usable──▶ KEPT (answered from memory)
//     ▲  │
//     └──┘ Get: read, not usable (nothing kept), or the read fails (thrown)
//
//   KeptSysParam<std::u16string> sheet(u"system_default_css", NonEmptyText);
//   std::optional<std::u16string> css = sheet.Get(data_source);
//
// Thread-safety: Get and Clear may be called from any thread. The parameter is read without
// holding the lock (a call must not wait for another call's database work while it holds its
// own); of concurrent first reads the first to finish is kept and every call answers that one.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "lookups/sys_param.h"

namespace korvalis::emrdoc {

template <class Value>
class KeptSysParam {
 public:
  // The value a parameter text stands for; nullopt when it is not usable.
  using Reading = std::optional<Value> (*)(const std::u16string& text);

  KeptSysParam(std::u16string name, Reading reading) : name_(std::move(name)), reading_(reading) {}

  // The kept value; while there is none, the parameter read through `data_source`, kept
  // when usable. nullopt when it is not usable.
  std::optional<Value> Get(CSingleDataSource& data_source) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (value_) return value_;
    }
    std::optional<Value> read = reading_(GetSysParam(data_source, name_));
    if (!read) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!value_) value_ = std::move(read);
    return value_;
  }

  // Forgets the kept value. Tests use it between cases that change the parameter.
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    value_.reset();
  }

  const std::u16string& name() const { return name_; }

 private:
  const std::u16string name_;
  const Reading reading_;
  std::mutex mutex_;
  std::optional<Value> value_;
};

}  // namespace korvalis::emrdoc
