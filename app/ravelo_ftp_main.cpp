// ravelo-ftp: the FTP client on the command line, for checking a server by
// hand and in scripts.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "net/ftp_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return ravelo::RunFtpCommand(
      arguments, [](const char* name) { return std::getenv(name); }, std::cout, std::cerr);
}
