// Stands in for the Java runtime in the launch tests. The launch passes the
// plug-in file after "-cp"; here that value names the behaviour:
//   token             the start-up token on both streams, then waits for the
//                     end of its input
//   token-then-data   as token, with protocol bytes after the token on
//                     standard output and a line after it on standard error
//   stdout-only       the token on standard output only; standard error stays
//                     open and silent
//   silent            writes nothing, keeps every stream open
//   chatter           a few bytes without the token on both streams, then
//                     keeps them open
//   exit              exits at once
//   ignore-term       the token on both streams, ignores SIGTERM and the end
//                     of its input: only SIGKILL ends it
//   sleep             writes nothing and runs until a signal ends it
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

void write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

const std::string stdout_token("\0\7IMALIVE", 9);
const std::string stderr_token("IMALIVE");

int wait_for_end_of_input() {
    char buffer[256];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-cp") == 0) mode = argv[i + 1];

    if (mode == "exit") return 3;
    if (mode == "token") {
        write_all(STDERR_FILENO, stderr_token);
        write_all(STDOUT_FILENO, stdout_token);
        return wait_for_end_of_input();
    }
    if (mode == "token-then-data") {
        write_all(STDERR_FILENO, stderr_token + "after the token\n");
        write_all(STDOUT_FILENO, stdout_token + std::string("\0\3abc", 5));
        return wait_for_end_of_input();
    }
    if (mode == "stdout-only") {
        write_all(STDOUT_FILENO, stdout_token);
        return wait_for_end_of_input();
    }
    if (mode == "silent") return wait_for_end_of_input();
    if (mode == "chatter") {
        write_all(STDERR_FILENO, "starting");
        write_all(STDOUT_FILENO, std::string("\0\5hello", 7));
        return wait_for_end_of_input();
    }
    if (mode == "ignore-term") {
        signal(SIGTERM, SIG_IGN);
        write_all(STDERR_FILENO, stderr_token);
        write_all(STDOUT_FILENO, stdout_token);
        for (;;) pause();
    }
    if (mode == "sleep")
        for (;;) pause();
    return 2;
}
