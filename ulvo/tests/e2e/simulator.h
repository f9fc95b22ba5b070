#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace ulvo {

// A running instrument-sim: the device it serves and, at the end, its exit code.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      std::vector<std::string> all = {SURVEY_BIN_DIR "/instrument-sim"};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') path_ += c;
    close(fds[0]);
  }
  ~Simulator() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGTERM);
      Wait();
    }
  }
  const std::string& Path() const { return path_; }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string path_;
};

}  // namespace ulvo
