#pragma once

#include <cstdint>
#include <string>

#include "net/ftp_connection_modes.h"

namespace ravelo {

class TProjectReader;
class TProjectWriter;

// The connection settings and the two flags at the start of a project file.
//
// In the file: the header block's length (32-bit signed, at least 1), then
// the block: host, login, password and remote path as strings (UTF-8
// bytes), then the two flags, one byte each (0 false, anything else true;
// written as 1). Then, in this order: the data mode and the TLS mode (one
// byte each, the values of TFtpDataMode and TFtpTlsMode), the accepted
// fingerprint (a string), the TLS-offered flag and the time-rule flag (one
// byte each), and the exact-record marks (a string). A reader takes the
// whole block and decodes the fields from it, so bytes after the last field
// it knows are skipped: a later version appends its fields there, and files
// written before them load with the defaults below (those of the files
// written before the fields after the flags: active, plain FTP, LIST).
//
// A plain value; the project guards its own copy.
struct TProjectHeader {
  TProjectHeader() = default;
  // A new project: normalizes the remote path; both flags true; data mode
  // automatic, "Use TLS if offered", the precise time rule.
  TProjectHeader(std::string host, std::string login, std::string password,
                 std::string remote_path);

  // Reads a header at the reader's position. Throws EBrokenStream for a
  // block length below 1, a mode out of range or a fingerprint that is not
  // 64 upper-case hex digits, and EEndOfStream when the block or a field in
  // it ends early.
  static TProjectHeader CreateFromStream(TProjectReader& stream);
  // Reads the header of the project file; std::system_error when the file
  // cannot be read, else as CreateFromStream. For showing a project's
  // settings without opening it.
  static TProjectHeader CreateFromFile(const std::string& file_name);
  // Writes the block's length and the block.
  void WriteTo(TProjectWriter& stream) const;

  // The block's length as read; not used after reading.
  std::int32_t BlockSize = 0;
  // Empty, or beginning with "/" and not ending with one.
  std::string RemotePath;
  std::string Host;
  std::string Login;
  // Kept and stored as plain text: the file is its owner's only.
  std::string Password;
  bool AutoUploadFresh = true;
  // The project was connected when it was last saved.
  bool Connected = true;
  TFtpDataMode DataMode = dmActive;
  TFtpTlsMode TlsMode = tmPlain;
  // The SHA-256 fingerprint (64 upper-case hex digits) of a certificate the
  // user accepted although it does not verify; "" for none.
  std::string AcceptedFingerprint;
  // The server accepted AUTH TLS once (no silent downgrade).
  bool TlsOffered = false;
  // The time rule: list with MLSD when the server offers it; off, always
  // LIST.
  bool PreciseTimes = false;
  // One bit per file record in record order, the lowest bit of the first
  // byte first: set when the record's remote time was read exactly; clear,
  // and for every record past the end, a LIST time. Filled only while a
  // project file is read or written.
  std::string ExactRecords;
};

}  // namespace ravelo
