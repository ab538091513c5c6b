#include "project/project_header.h"

#include <limits>
#include <utility>

#include "net/tls.h"
#include "project/project_errors.h"
#include "project/project_file_io.h"
#include "project/project_stream.h"
#include "sync/remote_path.h"

namespace ravelo {

namespace {

// The block's fields in file order, for the reader and the writer alike. A
// new field is appended here, after the last one, with its default in
// TProjectHeader: older files lack it and keep that default, older readers
// skip it.
template <class Header, class Visit>
void VisitBlockFields(Header& header, Visit& visit) {
  visit(header.Host);
  visit(header.Login);
  visit(header.Password);
  visit(header.RemotePath);
  visit(header.AutoUploadFresh);
  visit(header.Connected);
  visit(header.DataMode);
  visit(header.TlsMode);
  visit(header.AcceptedFingerprint);
  visit(header.TlsOffered);
  visit(header.PreciseTimes);
  visit(header.ExactRecords);
}

// Every file has at least these many fields; those after them are optional.
constexpr int kFieldsOfEveryFile = 6;

class TFieldReader {
 public:
  explicit TFieldReader(std::string_view block) : block_(block) {}

  void operator()(std::string& field) {
    if (Missing()) return;
    field = block_.ReadString();
  }
  void operator()(bool& field) {
    if (Missing()) return;
    field = block_.ReadByte() != 0;
  }
  void operator()(TFtpDataMode& field) { ReadMode(field, dmAutomatic); }
  void operator()(TFtpTlsMode& field) { ReadMode(field, tmRequire); }

 private:
  template <class Mode>
  void ReadMode(Mode& field, Mode last) {
    if (Missing()) return;
    const std::uint8_t value = block_.ReadByte();
    if (value > last) throw EBrokenStream();
    field = static_cast<Mode>(value);
  }

  // A field newer than the file: it keeps its default.
  bool Missing() { return index_++ >= kFieldsOfEveryFile && block_.AtEnd(); }

  TProjectReader block_;
  int index_ = 0;
};

class TFieldWriter {
 public:
  explicit TFieldWriter(TProjectWriter& block) : block_(block) {}
  void operator()(const std::string& field) { block_.WriteString(field); }
  void operator()(bool field) { block_.WriteByte(field ? 1 : 0); }
  void operator()(std::uint8_t mode) { block_.WriteByte(mode); }

 private:
  TProjectWriter& block_;
};

}  // namespace

TProjectHeader::TProjectHeader(std::string host, std::string login, std::string password,
                               std::string remote_path)
    : RemotePath(NormalizeRemoteRoot(remote_path)),
      Host(std::move(host)),
      Login(std::move(login)),
      Password(std::move(password)),
      DataMode(dmAutomatic),
      TlsMode(tmIfOffered),
      PreciseTimes(true) {}

TProjectHeader TProjectHeader::CreateFromStream(TProjectReader& stream) {
  TProjectHeader header;
  header.BlockSize = stream.ReadInt32();
  if (header.BlockSize < 1) throw EBrokenStream();
  TFieldReader fields(stream.ReadBytes(static_cast<std::size_t>(header.BlockSize)));
  VisitBlockFields(header, fields);
  header.RemotePath = NormalizeRemoteRoot(header.RemotePath);
  if (NormalizeFingerprint(header.AcceptedFingerprint) != header.AcceptedFingerprint)
    throw EBrokenStream();
  return header;
}

TProjectHeader TProjectHeader::CreateFromFile(const std::string& file_name) {
  const std::string bytes = ReadProjectFileBytes(file_name);
  TProjectReader stream(bytes);
  return CreateFromStream(stream);
}

void TProjectHeader::WriteTo(TProjectWriter& stream) const {
  TProjectWriter block;
  TFieldWriter fields(block);
  VisitBlockFields(*this, fields);
  if (block.Position() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw ECantWriteToStream();
  stream.WriteInt32(static_cast<std::int32_t>(block.Position()));
  stream.WriteBytes(block.Bytes());
}

}  // namespace ravelo
