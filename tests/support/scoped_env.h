#pragma once

// An environment variable set for an object's lifetime. Header only.

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ravelo::test {

class TScopedEnv {
 public:
  TScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
    ::tzset();  // TZ is read again only when asked
  }
  ~TScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
    ::tzset();
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace ravelo::test
