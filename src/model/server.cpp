#include "model/server.h"

#include "model/time_info.h"
#include "model/tree_errors.h"

namespace ravelo {

TRemoteFileInfo TNoServer::GetFileInfo(TNode&) {
  throw ENoServer();
}
bool TNoServer::FolderExists(TNode&) {
  throw ENoServer();
}
void TNoServer::Download(TNode&) {
  throw ENoServer();
}
void TNoServer::Upload(TNode&) {
  throw ENoServer();
}
void TNoServer::DeleteFile(TNode&) {
  throw ENoServer();
}
void TNoServer::DeleteFolder(TNode&) {
  throw ENoServer();
}
std::shared_ptr<ITimeInfo> TNoServer::ListFolder(TNode&) {
  throw ENoServer();
}
void TNoServer::Rename(TNode&, const std::string&) {
  throw ENoServer();
}
void TNoServer::MakeFolder(TNode&) {
  throw ENoServer();
}

const std::shared_ptr<IServer>& NoServer() {
  static const std::shared_ptr<IServer> no_server = std::make_shared<TNoServer>();
  return no_server;
}

}  // namespace ravelo
