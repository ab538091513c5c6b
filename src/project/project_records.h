#pragma once

#include <string>
#include <string_view>

namespace ravelo {

class ISynDevice;
class TProjectReader;
class TProjectWriter;
class TSynFolder;

// The file records of a project file: the record count (32-bit signed),
// then per synchronized file its path below the root (names joined by "\",
// UTF-8 bytes), its synchronized local time and its synchronized remote
// time (64-bit floats). Which remote times were read exactly is kept in the
// header (TProjectHeader::ExactRecords), a bit per record.

// Rebuilds the files (and the folders on their paths) under root, which
// must be empty; exact_records marks the records whose remote time is
// exact (the others hold LIST times). The main thread, before any
// operation of the tree runs. A damaged or hostile file is refused whole:
// - EBrokenStream: a negative count, a time that is not a finite number,
//   bytes after the last record, more marks than records;
// - EEndOfStream: the file ends early, or the count is more than the bytes
//   left could hold (found before anything is made);
// - ECantCreateSynFile: an empty path, one ending in "\", a name "." or "..",
//   holding "/" or NUL, or one the local cache keeps for itself
//   (device.IsReservedName);
// - EUnnamedNode: an empty name inside the path;
// - EDuplicateNode: two records of one path (ignoring ASCII case), or a
//   file where a folder of its name was made;
// - ENoFolderWithName: a path through a file.
void ReadFileRecords(TProjectReader& stream, TSynFolder& root, const ISynDevice& device,
                     std::string_view exact_records = {});

// Writes a record of every file under root whose two synchronized times
// are defined, depth-first in child order, and their count; answers their
// exact-record marks. Walks the tree through its iterators: other threads
// may change it meanwhile.
std::string WriteFileRecords(TProjectWriter& stream, TSynFolder& root);

}  // namespace ravelo
