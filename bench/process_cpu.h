// The CPU time a process has used, for the benchmarks that watch a
// service or program while it sits idle or works.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace benchcpu {

// User plus system CPU seconds of `pid`, from /proc; -1 when it is gone.
inline double cpu_seconds(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return -1;
    char buffer[1024] = {};
    const size_t read = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    const std::string text(buffer, read);
    // Fields after the command name, which may hold spaces and parentheses.
    const size_t end = text.rfind(')');
    if (end == std::string::npos || end + 2 > text.size()) return -1;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace benchcpu
