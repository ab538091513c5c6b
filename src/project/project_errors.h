#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// Failures of the project and its file.
class EProject : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file ends, or a length or count runs past its end.
class EEndOfStream : public EProject {
 public:
  EEndOfStream() : EProject("End Of Stream Reached Unexpectedly") {}
};

// A value no writer produces: a header length below 1, a negative record
// count, a time that is not a number, bytes after the last record.
class EBrokenStream : public EProject {
 public:
  EBrokenStream() : EProject("Data In Stream Is Not Recognized") {}
};

// A record path that names no file a node may stand for.
class ECantCreateSynFile : public EProject {
 public:
  explicit ECantCreateSynFile(const std::string& path)
      : EProject("Can't Create SynFile From String \"" + path + "\"") {}
};

class ECantWriteToStream : public EProject {
 public:
  ECantWriteToStream() : EProject("Can't Write All Bytes To Stream") {}
};

class ENoLocalRoot : public EProject {
 public:
  ENoLocalRoot() : EProject("Local Root Should Be Specified") {}
};

// Text given as a certificate's fingerprint that is not a SHA-256 one.
class EInvalidFingerprint : public EProject {
 public:
  EInvalidFingerprint() : EProject("Not A SHA-256 Fingerprint (64 Hex Digits)") {}
};

}  // namespace ravelo
