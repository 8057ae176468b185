// The built command-line tool run as a user runs it, for the tests that name it in QUILLFERN_CLI.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qf::test {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Runs the tool with `dir`/settings.ini as its settings file, so that the user's settings never leak
// in, and `input` as its standard input.
inline CliRun RunCli(const std::filesystem::path& dir, const std::string& arguments, const std::string& input = "") {
  const std::filesystem::path err = dir / "stderr.txt";
  const std::filesystem::path in = dir / "stdin.txt";
  std::ofstream(in, std::ios::binary) << input;
  const std::string command = std::string("'") + QUILLFERN_CLI + "' --settings '" + (dir / "settings.ini").string() +
                              "' " + arguments + " 2>'" + err.string() + "' <'" + in.string() + "'";
  CliRun run{};
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  run.status = WEXITSTATUS(pclose(pipe));
  std::stringstream text;
  text << std::ifstream(err).rdbuf();
  run.err = text.str();
  return run;
}

}  // namespace qf::test
