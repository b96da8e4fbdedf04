// Pages behind a login as a test server keeps them: HTTP Basic, and Digest (RFC 7616, MD5,
// qop "auth") with the challenge it sends and the check of the answer a client computed.
#pragma once

#include <string>

#include <httplib.h>

// Serves `path` with a page titled "Secret" to requests whose Authorization header is
// `authorization`; any other request gets 401 with a Basic challenge for `realm`.
void ServeBehindBasicLogin(httplib::Server& server, const std::string& path, const std::string& authorization,
                           const std::string& realm);

// The WWW-Authenticate value of a 401 answer.
std::string DigestChallenge(const std::string& realm, const std::string& nonce);

// Whether the request's Authorization header is a Digest answer to that challenge for `user`
// and `password`, computed for this request's method and target.
bool DigestAuthorized(const httplib::Request& request, const std::string& realm, const std::string& nonce,
                      const std::string& user, const std::string& password);
