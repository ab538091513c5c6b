#pragma once

#include <string>
#include <string_view>

#include "net/ftp_connection_modes.h"
#include "net/ftp_transfer_type.h"

namespace ravelo {

class ILauncher;
class ISynDevice;
class TExtensions;

// Where the project's site is and how to log in to it.
struct TSiteSettings {
  std::string Host;  // "host", "host:port" or "[v6address]:port"
  std::string Login;
  std::string Password;
  // The site's folder on the server as the user gave it; empty for the
  // server's root (NormalizeRemoteRoot makes the server's form of it).
  std::string RemotePath;
  // How the servers connect and list, read at each connect. The defaults
  // are those of projects made before these settings: active data
  // connections, plain FTP, LIST.
  TFtpDataMode DataMode = dmActive;
  TFtpTlsMode TlsMode = tmPlain;
  // A certificate the user accepted although it does not verify (its
  // SHA-256 fingerprint); "" for none.
  std::string AcceptedFingerprint{};
  // The server accepted AUTH TLS once: under tmIfOffered one that no longer
  // does is refused (no silent downgrade).
  bool TlsOffered = false;
  // List with MLSD when the server offers it (exact times).
  bool PreciseTimes = false;
};

// What the synchronized nodes need of the open project. The project
// implements it and installs itself (SetSyncProject) while it is open; tests
// install their own. Any thread; the project must outlive every operation
// of its tree.
class ISyncProject {
 public:
  virtual ~ISyncProject() = default;

  // The local cache folder, without a trailing "/".
  virtual std::string LocalRoot() const = 0;
  virtual const TExtensions& Extensions() const = 0;
  virtual ISynDevice& Device() = 0;
  // Opens local copies (Launch).
  virtual ILauncher& Launcher() = 0;
  // Read by a server each time it connects.
  virtual TSiteSettings Site() const = 0;
  // A server of the site accepted AUTH TLS: Site().TlsOffered is true from
  // now on (kept in the project). Any thread.
  virtual void RememberTlsOffered() = 0;
};

// The installed project; throws std::logic_error when none is.
ISyncProject& SyncProject();
// Installs one (none uninstalls); not owned.
void SetSyncProject(ISyncProject* project);

// How a file of that name travels: its extension's transfer type in the
// installed project's settings, binary for an extension without settings.
TFtpTransferType TransferTypeOf(std::string_view name);

}  // namespace ravelo
