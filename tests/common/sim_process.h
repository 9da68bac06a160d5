#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// velmaris-ecusim run as a child process for one test, on a link in its own temporary
// folder. It is always ended: by Stop(), by the destructor when a test fails, and by the
// kernel if the test process itself dies.
class SimProcess {
public:
    // linkPath: where the link is made; by default in the simulator's own folder. A unit that
    // comes back on the same line is a second simulator on the first one's link path.
    explicit SimProcess(const std::vector<std::string>& options = {},
                        const std::string& linkPath = {}) {
        char pattern[] = "/tmp/velmaris-sim-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        dir = pattern;
        link = linkPath.empty() ? dir + "/ecu" : linkPath;
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        std::vector<std::string> args = {VELMARIS_ECUSIM_PATH, link};
        args.insert(args.end(), options.begin(), options.end());
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        // Wait (bounded) for the "ready" line.
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (text.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buf[256];
                const ssize_t n = read(out[0], buf, sizeof buf);
                if (n <= 0)
                    break;
                text.append(buf, static_cast<std::size_t>(n));
            }
        }
        close(out[0]);
        if (text.rfind("ready", 0) != 0) {
            Stop();
            throw std::runtime_error("velmaris-ecusim did not start");
        }
    }

    ~SimProcess() {
        Stop();
        std::string cleanup = "rm -rf '" + dir + "'";
        if (std::system(cleanup.c_str()) != 0) {
        }
    }

    // Terminates the simulator and waits for it (it writes its --dump file on the way out).
    void Stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string dir;
    std::string link;

private:
    pid_t pid_ = -1;
};
