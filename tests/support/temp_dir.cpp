#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ravelo::test {

TTempDir::TTempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  pattern += "/ravelo-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
  path_ = buffer.data();
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  // A test may leave read-only files or folders behind; make them writable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TTempDir::CreateFile(std::string_view relative,
                                           std::string_view content) const {
  const auto file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::filesystem::path TTempDir::CreateDir(std::string_view relative) const {
  const auto dir = path_ / relative;
  std::filesystem::create_directories(dir);
  return dir;
}

std::string TTempDir::ReadFile(std::string_view relative) const {
  std::ifstream in(path_ / relative, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + (path_ / relative).string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TTempDir::Exists(std::string_view relative) const {
  return std::filesystem::exists(path_ / relative);
}

}  // namespace ravelo::test
