#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// Failures of the extension settings.
class EExtension : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ENoExtension : public EExtension {
 public:
  explicit ENoExtension(const std::string& extension);
};

class EDuplicateExtension : public EExtension {
 public:
  explicit EDuplicateExtension(const std::string& extension);
};

// Raised with the settings store's own error nested (std::throw_with_nested)
// when one caused it.
class ECantAccessRegistry : public EExtension {
 public:
  ECantAccessRegistry();
};

class EExtensionsNotFound : public EExtension {
 public:
  EExtensionsNotFound();
};

}  // namespace ravelo
