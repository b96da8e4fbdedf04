// HTTP fetch: the response record that every request leaves behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Kel/KelDateTime.h"

// The status code of a status line: its second blank-separated word as a decimal number,
// -1 when there is none ("HTTP/1.1 404 Not Found" gives 404; a failure message gives -1).
int32_t ResponseCodeOf(std::string_view responseText);

// What one request learned: the status line (or the failure message) and the response headers.
struct THTTPResponse {
  std::string ResponseText;
  int32_t ContentLength = -1;  // -1 when not known
  std::string ContentType;
  TDateTime Date = 0;
  TDateTime LastModified = 0;
  std::string Location;
  std::string Server;
  std::string ProxyConnection;
  std::string* ContentStream = nullptr;  // receives the body of a GET; not owned

  // Always derived from ResponseText.
  int32_t ResponseCode() const { return ResponseCodeOf(ResponseText); }
};
