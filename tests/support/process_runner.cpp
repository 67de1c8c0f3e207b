#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace qv::test {

namespace {

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& overrides)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!overrides.contains(text.substr(0, text.find('='))))
            env.push_back(text);
    }
    for (const auto& [name, value] : overrides)
        env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads what is there; false at the end of the stream (a terminal whose
// other side is closed answers with an error).
bool drain(int fd, std::string& into)
{
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0)
        into.append(buffer, static_cast<std::size_t>(got));
    return got > 0;
}

}  // namespace

ProcessResult runProcess(const std::string& program, const ProcessRun& run)
{
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
        return result;

    // A terminal for standard error: the parent reads its master side as it
    // would read a pipe.
    if (run.stderrIsTerminal) {
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        errPipe[0] = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (errPipe[0] < 0 || ::grantpt(errPipe[0]) != 0 || ::unlockpt(errPipe[0]) != 0)
            return result;
        errPipe[1] = ::open(::ptsname(errPipe[0]), O_RDWR | O_NOCTTY);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    std::vector<std::string> argTexts{program};
    argTexts.insert(argTexts.end(), run.args.begin(), run.args.end());
    std::vector<std::string> envTexts = environmentWith(run.env);
    std::vector<char*> argv = pointersTo(argTexts);
    std::vector<char*> envp = pointersTo(envTexts);

    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run.timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            break;
        }
        const bool due = run.interruptWhen ? run.interruptWhen()
                                           : !run.interruptOn.empty() && result.err.find(run.interruptOn) != std::string::npos;
        if (due && !result.interruptSent) {
            for (int i = 0; i < run.interruptRepeats; ++i)
                ::kill(pid, run.interruptSignal);
            result.interruptSent = true;
        }
        if (::poll(fds, 2, run.interruptWhen ? 2 : 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const bool closing = i == 1 && run.closeStderrEarly;
            if (!drain(fds[i].fd, i == 0 ? result.out : result.err) || closing) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);

    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

}  // namespace qv::test
