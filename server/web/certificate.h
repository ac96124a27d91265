// The server's TLS certificate: made on first start when none is given, self-signed for
// localhost (DNS:localhost, IP:127.0.0.1 and the listening address). Start-up only.
#pragma once

#include <string>

namespace tamovox::web {

// Writes certPath and keyPath (key mode 0600) unless both exist. Empty string on success.
std::string ensureCertificate(const std::string& certPath, const std::string& keyPath, const std::string& listenAddress);

}  // namespace tamovox::web
