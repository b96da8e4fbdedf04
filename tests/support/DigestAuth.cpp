#include "support/DigestAuth.h"

#include <map>

#include <openssl/evp.h>

namespace {

std::string MD5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// The name=value pairs after "Digest ", values quoted or not.
std::map<std::string, std::string> DigestFields(const std::string& header) {
  std::map<std::string, std::string> fields;
  if (header.rfind("Digest ", 0) != 0) return fields;
  size_t i = 7;
  while (i < header.size()) {
    while (i < header.size() && (header[i] == ' ' || header[i] == ',')) ++i;
    const size_t eq = header.find('=', i);
    if (eq == std::string::npos) break;
    const std::string name = header.substr(i, eq - i);
    i = eq + 1;
    std::string value;
    if (i < header.size() && header[i] == '"') {
      const size_t end = header.find('"', i + 1);
      if (end == std::string::npos) break;
      value = header.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      const size_t end = header.find(',', i);
      value = header.substr(i, end == std::string::npos ? std::string::npos : end - i);
      i = end == std::string::npos ? header.size() : end;
    }
    fields[name] = value;
  }
  return fields;
}

}  // namespace

void ServeBehindBasicLogin(httplib::Server& server, const std::string& path, const std::string& authorization,
                           const std::string& realm) {
  server.Get(path, [authorization, realm](const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Authorization") != authorization) {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"" + realm + "\"");
      return;
    }
    res.set_content("<title>Secret</title>", "text/html");
  });
}

std::string DigestChallenge(const std::string& realm, const std::string& nonce) {
  return "Digest realm=\"" + realm + "\", qop=\"auth\", algorithm=MD5, nonce=\"" + nonce + "\"";
}

bool DigestAuthorized(const httplib::Request& request, const std::string& realm, const std::string& nonce,
                      const std::string& user, const std::string& password) {
  auto f = DigestFields(request.get_header_value("Authorization"));
  if (f["username"] != user || f["realm"] != realm || f["nonce"] != nonce || f["qop"] != "auth") return false;
  const std::string ha1 = MD5Hex(user + ":" + realm + ":" + password);
  const std::string ha2 = MD5Hex(request.method + ":" + f["uri"]);
  const std::string expected = MD5Hex(ha1 + ":" + nonce + ":" + f["nc"] + ":" + f["cnonce"] + ":auth:" + ha2);
  return f["response"] == expected && f["uri"] == request.target;
}
