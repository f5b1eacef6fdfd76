#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace meterdesk::testing {

// A running meterdesk-log whose standard input stays open until the test
// closes it, with its output and errors collected, its environment set and
// optionally a limit on the size of the files it writes (a full disk).
class LoggerProcess {
public:
    struct Setup {
        std::map<std::string, std::string> environment;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };

    LoggerProcess(const std::vector<std::string>& arguments, const Setup& setup) {
        int out[2];
        int err[2];
        int in[2];
        if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) {
                close(fd);
            }
            for (const auto& [name, value] : setup.environment) {
                ::setenv(name.c_str(), value.c_str(), 1);
            }
            if (setup.fileSizeLimit != RLIM_INFINITY) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::vector<char*> argv{const_cast<char*>(MD_LOGGER_PATH)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(MD_LOGGER_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        close(in[0]);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~LoggerProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        for (int fd : {in_, out_, err_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    LoggerProcess(const LoggerProcess&) = delete;
    LoggerProcess& operator=(const LoggerProcess&) = delete;

    void Feed(const std::string& bytes) {
        if (in_ >= 0) {
            (void)!write(in_, bytes.data(), bytes.size());
        }
    }
    void CloseInput() {
        close(in_);
        in_ = -1;
    }
    // The reader of standard output goes away (as `| head` does).
    void CloseOutput() {
        Drain();
        close(out_);
        out_ = -1;
    }
    void Signal(int number) { kill(pid_, number); }

    bool Exited() {
        Drain();
        int status = 0;
        if (status_ < 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            Drain();
        }
        return status_ >= 0;
    }
    int Wait(std::chrono::seconds longest = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + longest;
        while (!Exited() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }
    // Waits until standard output holds `count` lines (the header included).
    bool WaitForLines(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Lines().size() < count && !Exited() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Lines().size() >= count;
    }
    std::vector<std::string> Lines() {
        Drain();
        std::vector<std::string> lines;
        std::istringstream text(stdout_);
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }
    const std::string& Errors() {
        Drain();
        return stderr_;
    }

private:
    void Drain() {
        char buffer[4096];
        ssize_t n = 0;
        while (out_ >= 0 && (n = read(out_, buffer, sizeof buffer)) > 0) {
            stdout_.append(buffer, static_cast<std::size_t>(n));
        }
        while (err_ >= 0 && (n = read(err_, buffer, sizeof buffer)) > 0) {
            stderr_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
    std::string stdout_;
    std::string stderr_;
};

} // namespace meterdesk::testing
