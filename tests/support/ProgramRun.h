// Runs a program of the project as a user's shell would, its output caught in files of a test
// folder.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TempDir.h"

struct TProgramResult {
  int Code = -1;  // the exit status, -1 when the program did not exit by itself
  std::string Out, Err;
};

// `s` as one word for the shell.
inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// `program` with `args`, no input, after `environment` ("NAME=value " words, or nothing).
inline TProgramResult RunProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
                                 const std::string& environment = std::string()) {
  std::string command = environment + ShellQuote(program);
  for (const auto& a : args) command += " " + ShellQuote(a);
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  command += " >" + ShellQuote(out) + " 2>" + ShellQuote(err) + " </dev/null";
  const int status = std::system(command.c_str());
  TProgramResult r;
  r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Out = ReadFileText(out);
  r.Err = ReadFileText(err);
  return r;
}
