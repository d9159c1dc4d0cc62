// Starting the built executable as a child process and watching it.
#pragma once
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct ChildOptions {
    std::map<std::string, std::string> environment; // added to, or replacing, ours
    std::string standardError = "/dev/null";        // file the child's stderr goes to
};

class ChildProcess {
  public:
    // Starts `path` with exactly `arguments` as its argv (argv[0] included).
    ChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                 const ChildOptions& options = {});
    ~ChildProcess(); // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) const;
    // The wait status once the child ends, or nothing if it is still running after `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));

  private:
    pid_t pid_ = -1;
};

std::string readFile(const std::string& path);

// Waits until the file holds a line equal to `line`; false after `timeout`.
bool waitForLine(const std::string& path, const std::string& line,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A fresh directory removed with everything in it when the object goes.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
