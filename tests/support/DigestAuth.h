// HTTP Digest authentication (RFC 7616, MD5, qop "auth") as a test server checks it: the
// challenge it sends and the check of the answer a client computed from the password.
#pragma once

#include <string>

#include <httplib.h>

// The WWW-Authenticate value of a 401 answer.
std::string DigestChallenge(const std::string& realm, const std::string& nonce);

// Whether the request's Authorization header is a Digest answer to that challenge for `user`
// and `password`, computed for this request's method and target.
bool DigestAuthorized(const httplib::Request& request, const std::string& realm, const std::string& nonce,
                      const std::string& user, const std::string& password);
