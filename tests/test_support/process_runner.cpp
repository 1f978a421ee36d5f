#include "process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

extern char** environ;

namespace vel::test {

namespace {

constexpr size_t kRunningAtOnce = 4;

// A child's files: its standard input, output and error live in a temporary directory.
struct Child {
  pid_t pid = -1;
  std::unique_ptr<TempDir> files;
};

std::vector<std::string> EnvironmentFor(const Invocation& run) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  variables["VEL_OUI_FILE"] = TestOuiFile();
  for (const auto& [name, value] : run.environment) variables[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

Child Start(const Invocation& run) {
  Child child;
  child.files = std::make_unique<TempDir>();
  std::string input = child.files->Write("stdin", run.input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, child.files->File("stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, child.files->File("stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> args = run.args;
  std::vector<std::string> environment = EnvironmentFor(run);
  int error = posix_spawn(&child.pid, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                          Pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + args[0]);
  return child;
}

RunResult Collect(const TempDir& files, int waitStatus) {
  RunResult result;
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  result.out = ReadFile(files.File("stdout"));
  result.err = ReadFile(files.File("stderr"));
  return result;
}

}  // namespace

RunningProgram::RunningProgram(const Invocation& run) {
  Child child = Start(run);
  pid_ = child.pid;
  files_ = std::move(child.files);
}

RunningProgram::~RunningProgram() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &waitStatus_, 0);
  }
}

bool RunningProgram::Running() {
  if (!ended_ && waitpid(pid_, &waitStatus_, WNOHANG) == pid_) ended_ = true;
  return !ended_;
}

std::string RunningProgram::OutputSoFar() const { return ReadFile(files_->File("stdout")); }
std::string RunningProgram::ErrorSoFar() const { return ReadFile(files_->File("stderr")); }

void RunningProgram::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

RunResult RunningProgram::Wait(std::chrono::milliseconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  while (Running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &waitStatus_, 0);
    ended_ = true;
  }
  return Collect(*files_, waitStatus_);
}

RunResult RunProgram(const Invocation& run) { return RunPrograms({run}).front(); }

std::vector<RunResult> RunPrograms(const std::vector<Invocation>& runs) {
  std::vector<RunResult> results(runs.size());
  std::map<pid_t, std::pair<size_t, Child>> running;
  size_t next = 0;
  while (next < runs.size() || !running.empty()) {
    while (next < runs.size() && running.size() < kRunningAtOnce) {
      Child child = Start(runs[next]);
      pid_t pid = child.pid;
      running.emplace(pid, std::make_pair(next++, std::move(child)));
    }
    int waitStatus = 0;
    pid_t done = waitpid(-1, &waitStatus, 0);
    auto finished = running.find(done);
    if (finished == running.end()) continue;
    results[finished->second.first] = Collect(*finished->second.second.files, waitStatus);
    running.erase(finished);
  }
  return results;
}

RunResult Vdecode(std::vector<std::string> args, std::string input,
                  std::vector<std::pair<std::string, std::string>> environment) {
  args.insert(args.begin(), VdecodePath());
  environment.insert(environment.begin(), {"TZ", "UTC"});
  return RunProgram({std::move(args), std::move(input), std::move(environment)});
}

std::string VdecodePath() { return VEL_BUILD_DIR "/tools/vdecode/vdecode"; }
std::string MksamplePath() { return VEL_BUILD_DIR "/tools/mksample/mksample"; }
std::string SourcePath(const std::string& relative) { return VEL_TEST_DATA_DIR "/../../" + relative; }
std::string TestOuiFile() { return VEL_TEST_DATA_DIR "/oui/vendors.csv"; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vel-tools-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::string path = File(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace vel::test
