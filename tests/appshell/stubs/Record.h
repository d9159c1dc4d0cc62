// Appends what a stand-in framework saw to the file named by APPSHELL_TEST_RECORD.
#pragma once
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

inline void record(const std::string& text) {
    const char* path = std::getenv("APPSHELL_TEST_RECORD");
    if (path == nullptr) return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    [[maybe_unused]] ssize_t written = write(fd, text.data(), text.size());
    close(fd);
}
