// Errors of the program: every failure is raised as an error carrying its message text.
#pragma once

#include <stdexcept>
#include <string>

// A failure with a message for the user (or for the caller that records it).
class EError : public std::runtime_error {
 public:
  explicit EError(const std::string& message) : std::runtime_error(message) {}
};

// A silent abort: ends an operation without a message box ("Operation aborted").
class EAbort : public EError {
 public:
  EAbort() : EError("Operation aborted") {}
};

// A failed conversion of a text to a number or a date ("'x' is not a valid integer value").
class EConvertError : public EError {
 public:
  using EError::EError;
};

// A programming error caught at run time: a required object is missing, a call came too early.
// It is no EError: code that ends an operation silently on an expected failure lets it pass.
class EAssertionFailed : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Checks a precondition in every build; raises EAssertionFailed with the message when it fails.
#define KelAssert(condition, message)                                                   \
  do {                                                                                  \
    if (!(condition)) throw EAssertionFailed(std::string(message) + " (" __FILE__ ")"); \
  } while (0)
