#include "exchange/HostRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace pgvbench {

namespace {

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

class CSpawnFiles {
public:
    CSpawnFiles() { posix_spawn_file_actions_init(&m_Actions); }
    ~CSpawnFiles() { posix_spawn_file_actions_destroy(&m_Actions); }
    CSpawnFiles(const CSpawnFiles&) = delete;
    CSpawnFiles& operator=(const CSpawnFiles&) = delete;

    posix_spawn_file_actions_t* Get() { return &m_Actions; }

private:
    posix_spawn_file_actions_t m_Actions;
};

// The host's command line; the strings stay with the caller.
std::vector<char*> Arguments(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

std::vector<std::string> Words(const SHostProgram& host, const std::string& scriptPath) {
    return {host.fmhost, "--plugin", host.plugin, "--json", scriptPath};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void CheckStatus(const SHostProgram& host, int status) {
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(host.fmhost + " with " + host.plugin + " ended with status " +
                                 std::to_string(status));
    }
}

// The high-water mark of a process's resident memory, from /proc while it still has its memory.
long HighWaterKiB(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    throw std::runtime_error("the host's memory could not be read from /proc");
}

int WaitFor(pid_t child, rusage* usage) {
    int status = 0;
    while (wait4(child, &status, 0, usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("lost the fmhost process: " +
                                     std::string(std::strerror(errno)));
        }
    }
    return status;
}

}  // namespace

SHostProgram HostBeside(const std::string& plugin) {
    const size_t slash = plugin.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : plugin.substr(0, slash);
    return {folder + "/fmhost", plugin};
}

SHostRun RunHost(const SHostProgram& host, const std::string& scriptPath,
                 const std::string& outputPath) {
    CSpawnFiles files;
    posix_spawn_file_actions_addopen(files.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(files.Get(), STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> words = Words(host, scriptPath);
    const std::vector<char*> argv = Arguments(words);

    SHostRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, host.fmhost.c_str(), files.Get(), nullptr, argv.data(), environ);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + host.fmhost + ": " + std::strerror(spawned));
    }
    rusage usage = {};
    const int status = WaitFor(child, &usage);
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    CheckStatus(host, status);
    run.output = ReadAll(outputPath);
    return run;
}

long PeakRssKiB(const SHostProgram& host, const std::string& scriptPath,
                const std::string& outputPath, std::string& output) {
    std::vector<std::string> words = Words(host, scriptPath);
    const std::vector<char*> argv = Arguments(words);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (input < 0 || out < 0) {
        throw std::runtime_error("cannot open " + outputPath + ": " + std::strerror(errno));
    }
    // Traced, the host stops once more as it exits, its memory still there to be read.
    const pid_t child = fork();
    if (child == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0 && dup2(input, STDIN_FILENO) >= 0 &&
            dup2(out, STDOUT_FILENO) >= 0) {
            execv(host.fmhost.c_str(), argv.data());
        }
        _exit(127);
    }
    close(input);
    close(out);
    if (child < 0) {
        throw std::runtime_error("cannot start " + host.fmhost + ": " + std::strerror(errno));
    }
    long peak = -1;
    bool started = false;
    for (;;) {
        const int status = WaitFor(child, nullptr);
        if (!WIFSTOPPED(status)) {
            CheckStatus(host, status);
            break;
        }
        int forward = 0;
        if (!started) {
            // Stopped as its program started: from now on it stops only for signals and on its
            // way out.
            started = true;
            ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            peak = HighWaterKiB(child);
        } else {
            forward = WSTOPSIG(status);
        }
        ptrace(PTRACE_CONT, child, nullptr, forward);
    }
    if (peak < 0) {
        throw std::runtime_error(host.fmhost + " ended without being seen to exit");
    }
    output = ReadAll(outputPath);
    return peak;
}

}  // namespace pgvbench
