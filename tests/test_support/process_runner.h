// Runs the project's programs as child processes for the tests that drive
// them from outside: arguments, standard input and environment in; exit
// status, standard output and standard error out.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vel::test {

// The program sees the test's environment, with VEL_OUI_FILE naming the
// tests' own vendor registry (TestOuiFile) so that vendor names do not depend
// on the machine, and then the invocation's own variables.
struct Invocation {
  std::vector<std::string> args;  // args[0] is the program's path
  std::string input;              // standard input
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of the test's own
};

struct RunResult {
  int status = -1;  // exit status; 128 + signal number when a signal ended the program
  std::string out;
  std::string err;
};

RunResult RunProgram(const Invocation& run);
// Runs vdecode with these arguments and standard input, in the UTC time zone, with further environment.
RunResult Vdecode(std::vector<std::string> args, std::string input = {},
                  std::vector<std::pair<std::string, std::string>> environment = {});
// Runs several at once (a few at a time) and returns the results in order.
std::vector<RunResult> RunPrograms(const std::vector<Invocation>& runs);

class TempDir;

// A program running beside the test, for tests that talk to it while it runs
// (send it packets, signal it). Killed when destroyed while still running.
class RunningProgram {
 public:
  explicit RunningProgram(const Invocation& run);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Whether it still runs.
  bool Running();
  // What it wrote so far.
  std::string OutputSoFar() const;
  std::string ErrorSoFar() const;
  void Signal(int signal);
  // Waits for its end, killing it when the time is up; then its result.
  RunResult Wait(std::chrono::milliseconds patience);

 private:
  int pid_ = -1;
  int waitStatus_ = 0;
  bool ended_ = false;
  std::unique_ptr<TempDir> files_;
};

// Paths of the programs under test and of the source tree.
std::string VdecodePath();
std::string MksamplePath();
std::string SourcePath(const std::string& relative);
// tests/data/oui/vendors.csv: a small vendor registry in the IEEE MA-L CSV form.
std::string TestOuiFile();

// A directory of its own under the system's temporary directory, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to a file of the directory and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
// The lines of text, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vel::test
