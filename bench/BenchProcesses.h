// What the benchmarks over the live system share: a PID namespace of their
// own, so that only the processes they start count, and those processes.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quorvane::bench {

// Moves the rest of the program into a new PID namespace with a /proc of its
// own: the parent waits there for the child, which runs as process 1 and
// returns true. Without the right to (only root has it) this says so and the
// program goes on among all processes of the machine. Returns false in the
// parent after the child ended, with its exit status in ExitCode.
//
// QUORVANE_BENCH_OWN_NAMESPACE=1 says that the caller made one already
// (unshare --pid --fork --mount-proc), for runs under a tool that follows one
// process only, such as heaptrack.
inline bool EnterOwnPidNamespace(int& ExitCode, bool& Isolated) {
    ExitCode = 0;
    Isolated = false;
    if (const char* Given = std::getenv("QUORVANE_BENCH_OWN_NAMESPACE"); Given && std::string(Given) == "1") {
        Isolated = true;
        std::cerr << "In the PID namespace that the caller made.\n";
        return true;
    }
    if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        std::cerr << "No PID namespace of its own (" << std::strerror(errno)
                  << "; run as root for one): the figures count every process of this machine.\n";
        return true;
    }
    const pid_t Child = ::fork();
    if (Child < 0) {
        std::cerr << "fork: " << std::strerror(errno) << "\n";
        ExitCode = 1;
        return false;
    }
    if (Child > 0) {
        int Status = 0;
        while (::waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
        ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 1;
        return false;
    }
    // The new /proc must not show through to the machine's mount namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        std::cerr << "Cannot mount /proc of the new PID namespace: " << std::strerror(errno) << "\n";
        ::_exit(1);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    Isolated = true;
    std::cerr << "In a PID namespace of its own: only this program and its processes count.\n";
    return true;
}

// Sleeping processes (/bin/sleep, or another program that sleeps), as many as
// asked for; all end with this object and, through the parent-death signal,
// when the program dies.
class TSleepers {
public:
    TSleepers() = default;
    ~TSleepers() { Resize(0); }
    TSleepers(const TSleepers&) = delete;
    TSleepers& operator=(const TSleepers&) = delete;

    void Resize(std::size_t Count) {
        while (FChildren.size() > Count) {
            const pid_t Child = FChildren.back();
            FChildren.pop_back();
            ::kill(Child, SIGKILL);
            while (::waitpid(Child, nullptr, 0) < 0 && errno == EINTR) {}
        }
        const std::size_t First = FChildren.size();
        const pid_t Parent = ::getpid();
        while (FChildren.size() < Count) {
            const pid_t Child = ::fork();
            if (Child < 0) {
                std::cerr << "fork: " << std::strerror(errno) << "\n";
                break;
            }
            if (Child == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != Parent)
                    ::_exit(1);
                ::execl(FProgram.c_str(), Name().c_str(), "100000", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            FChildren.push_back(Child);
        }
        WaitUntilAsleep(First);
    }
    std::size_t Count() const { return FChildren.size(); }

    // The program of the processes started from now on; it is started with
    // one argument, "100000", and must sleep until it is ended.
    void SetProgram(std::string Program) {
        Resize(0);
        FProgram = std::move(Program);
    }

private:
    // So that every command sees the same sleeping processes, not copies of
    // this one on their way to exec.
    void WaitUntilAsleep(std::size_t First) const {
        for (std::size_t I = First; I < FChildren.size(); ++I) {
            const std::string Stat = "/proc/" + std::to_string(FChildren[I]) + "/stat";
            for (int Round = 0; Round < 500; ++Round) {
                std::ifstream File(Stat);
                std::string Text;
                std::getline(File, Text);
                const std::size_t Close = Text.rfind(')');
                if (Text.find("(" + Name().substr(0, 15) + ")") != std::string::npos && Close != std::string::npos &&
                    Text.compare(Close, 3, ") S") == 0)
                    break;
                ::usleep(2'000);
            }
        }
    }
    std::string Name() const { return FProgram.substr(FProgram.rfind('/') + 1); }

    std::string FProgram = "/bin/sleep";
    std::vector<pid_t> FChildren;
};

}  // namespace quorvane::bench
