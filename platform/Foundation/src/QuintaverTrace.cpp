#include <Foundation/QuintaverTrace.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

FOUNDATION_EXPORT void QuintaverTrace(const char* format, ...) {
    const char* path = std::getenv("QUINTAVER_APPKIT_TRACE");
    if (path == nullptr || path[0] == '\0') return;

    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    if (static_cast<size_t>(length) > sizeof line - 2) length = sizeof line - 2;
    line[length++] = '\n';

    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // A trace is best effort: a short or failed write loses the line and nothing else.
    [[maybe_unused]] ssize_t written = write(fd, line, static_cast<size_t>(length));
    close(fd);
}
