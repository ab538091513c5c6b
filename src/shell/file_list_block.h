#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ravelo {

// The dropped-files block: the file list our drag object offers and our drop
// target reads, under kFileListMimeType. Little-endian: the offset of the
// first name (20), the drop point x and y, a non-client-area flag, a
// wide-character flag (0: 8-bit names, else 16-bit names); then the names,
// each ended by a zero character, and one more zero character.
inline constexpr std::string_view kFileListMimeType = "application/x-ravelo-file-list";
inline constexpr std::size_t kFileListHeaderSize = 20;

enum TNameWidth { nwNarrow, nwWide };

// Builds the block for the paths, in order: 20 header bytes, each path with
// its zero, a final zero (21 bytes for no paths). Narrow names are the UTF-8
// bytes as they stand; wide names are UTF-16, a byte that is no valid UTF-8
// becoming U+FFFD. Throws std::invalid_argument for an empty path or one
// holding a zero byte, which the format cannot carry.
std::string EncodeFileList(const std::vector<std::string>& paths, TNameWidth width = nwNarrow);

// Reads the names of a block, however damaged: an offset outside the block,
// a name without its zero at the end, an odd trailing byte of a wide block
// and anything after the first empty name are left out. Wide names come back
// as UTF-8, a lone surrogate becoming U+FFFD. Never reads outside the block.
std::vector<std::string> DecodeFileList(std::string_view block);

}  // namespace ravelo
