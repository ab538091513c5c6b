#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ravelo {

class TSettingsStore;

// The known project folders and the window's own settings, as the settings
// store keeps them.
inline constexpr std::string_view kRaveloKey = "\\Software\\Ravelo";
inline constexpr std::string_view kProjectsKey = "\\Software\\Ravelo\\Projects";
inline constexpr std::string_view kProjectPanelValue = "Project Panel";

// The list's text form: folders joined by ";", each in double quotes (a
// quote inside doubled) when it holds a blank, a control character, a
// double quote or ";"; a list of one empty folder is two double quotes.
std::string FormatProjectList(const std::vector<std::string>& folders);
// Reads that form leniently: blanks and control characters around items
// are skipped, an unquoted item ends at ";" or a blank, an unclosed quote
// runs to the end, and a ";" at the very end adds an empty item.
std::vector<std::string> ParseProjectList(std::string_view text);

// The list from the store; empty when it has none. Throws what the store
// throws for a damaged settings file.
std::vector<std::string> LoadProjectList(TSettingsStore& store);
void SaveProjectList(TSettingsStore& store, const std::vector<std::string>& folders);
// Whether the projects toolbar is shown; hidden when the value is missing
// or cannot be read.
bool LoadPanelSetting(TSettingsStore& store);
void SavePanelSetting(TSettingsStore& store, bool visible);

// A folder as the list keeps it: without trailing "/" (a lone "/" gives the
// empty text).
std::string StripTrailingSlashes(std::string_view path);
// The folder part of a path, up to and including its last "/"; empty when
// it has none.
std::string FolderPart(std::string_view path);
// The project file of a project folder: the folder, "/", the folder's last
// component and ".rvlp"; empty for an empty folder.
std::string ProjectFileName(std::string_view folder);

}  // namespace ravelo
