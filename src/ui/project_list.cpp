#include "ui/project_list.h"

#include <algorithm>

#include "settings/settings_store.h"
#include "shell/file_system.h"

namespace ravelo {

namespace {

// Control characters and the blank separate items and are skipped around them.
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(std::string_view folder) {
  return std::any_of(folder.begin(), folder.end(),
                     [](char c) { return IsBlank(c) || c == '"' || c == ';'; });
}

}  // namespace

std::string FormatProjectList(const std::vector<std::string>& folders) {
  if (folders.size() == 1 && folders.front().empty()) return "\"\"";
  std::string text;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (i > 0) text += ';';
    const std::string& folder = folders[i];
    if (!NeedsQuotes(folder)) {
      text += folder;
      continue;
    }
    text += '"';
    for (const char c : folder) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> ParseProjectList(std::string_view text) {
  std::vector<std::string> folders;
  std::size_t at = 0;
  const auto skip_blanks = [&] {
    while (at < text.size() && IsBlank(text[at])) ++at;
  };
  skip_blanks();
  while (at < text.size()) {
    std::string folder;
    if (text[at] == '"') {
      for (++at; at < text.size(); ++at) {
        if (text[at] != '"') {
          folder += text[at];
        } else if (at + 1 < text.size() && text[at + 1] == '"') {
          folder += '"';
          ++at;
        } else {
          ++at;
          break;
        }
      }
    } else {
      while (at < text.size() && !IsBlank(text[at]) && text[at] != ';') folder += text[at++];
    }
    folders.push_back(std::move(folder));
    skip_blanks();
    if (at < text.size() && text[at] == ';') {
      if (at + 1 == text.size()) folders.emplace_back();
      ++at;
      skip_blanks();
    }
  }
  return folders;
}

std::vector<std::string> LoadProjectList(TSettingsStore& store) {
  if (!store.ValueExists(kProjectsKey, "")) return {};
  return ParseProjectList(store.ReadString(kProjectsKey, ""));
}

void SaveProjectList(TSettingsStore& store, const std::vector<std::string>& folders) {
  store.WriteString(kProjectsKey, "", FormatProjectList(folders));
}

bool LoadPanelSetting(TSettingsStore& store) {
  try {
    return store.ReadBool(kRaveloKey, kProjectPanelValue);
  } catch (const std::exception&) {
    return false;  // never saved, or unreadable: the toolbar stays hidden
  }
}

void SavePanelSetting(TSettingsStore& store, bool visible) {
  store.WriteBool(kRaveloKey, kProjectPanelValue, visible);
}

std::string StripTrailingSlashes(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

std::string FolderPart(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ProjectFileName(std::string_view folder) {
  const std::string stripped = StripTrailingSlashes(folder);
  if (stripped.empty()) return {};
  return stripped + "/" + NamePart(stripped) + ".rvlp";
}

}  // namespace ravelo
