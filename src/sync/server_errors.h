#pragma once

#include <stdexcept>

#include "model/server.h"

namespace ravelo {

// Failures of the server object itself (the FTP client raises its own).
class EServer : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No open connection. A node reading its remote side takes it for a side
// missing on the server (IServerUnavailableError); a sticky server never
// takes it for a lost connection.
class EServerUnavailable : public EServer, public IServerUnavailableError {
 public:
  EServerUnavailable() : EServer("Server Is Not Available") {}
};

// Neither a folder nor any folder above it, up to the project's remote
// folder, exists on the server.
class ENoRemoteParent : public EServer {
 public:
  ENoRemoteParent() : EServer("No Remote Parent Found") {}
};

}  // namespace ravelo
