// The real programs writing to a standard output that cannot take it: a full disk, a closed
// descriptor, a pipe whose reader has gone. Each must say so on stderr and exit non-zero.
#include "../core/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillet {
namespace {

using testing::TempDir;

enum class Stdout { File, Full, Closed, PipeWithoutReader };

struct Outcome {
    bool exited = false; // normally, not by a signal
    int status = -1;
    std::string err;
};

// Runs `argv` with SIGPIPE ignored, standard output as `where` says (a file: `file`), and its
// standard error collected.
Outcome Start(const std::vector<std::string>& argv, Stdout where, const std::string& file) {
    int out = -1;
    if (where == Stdout::File) {
        out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    } else if (where == Stdout::Full) {
        out = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    } else if (where == Stdout::PipeWithoutReader) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        ::close(ends[0]);
        out = ends[1];
    }
    EXPECT_TRUE(where == Stdout::Closed || out >= 0);
    int err[2];
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only calls safe after a fork in a process with threads.
        ::signal(SIGPIPE, SIG_IGN);
        ::dup2(err[1], 2);
        if (where == Stdout::Closed) {
            ::close(1);
        } else {
            ::dup2(out, 1);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (out >= 0) {
        ::close(out);
    }
    ::close(err[1]);
    Outcome run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
        run.err.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(err[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(StdoutFaultTest, AFailedWriteToStandardOutputIsReportedAndFails) {
    const std::string drawing = std::string(QUILLET_TEST_DATA) + "/octagon-one-fill.qlf";
    const std::vector<std::vector<std::string>> commands = {
        {QUILLET_EXE, "--help"},
        {QUILLET_EXE, "--version"},
        {QUILLET_TOOL_EXE, "--help"},
        {QUILLET_TOOL_EXE, "--version"},
        {QUILLET_TOOL_EXE, "check", drawing},
        {QUILLET_TOOL_EXE, "check", "--help"},
        {QUILLET_TOOL_EXE, "info", drawing},
        {QUILLET_TOOL_EXE, "info", drawing, "--json"},
        {QUILLET_TOOL_EXE, "info", "--help"},
        {QUILLET_TOOL_EXE, "render", drawing, "-"},
        {QUILLET_TOOL_EXE, "render", "--help"},
        {QUILLET_TOOL_EXE, "export", drawing, "-"},
        {QUILLET_TOOL_EXE, "export", "--help"},
    };
    TempDir dir;
    for (const std::vector<std::string>& command : commands) {
        std::string name;
        for (const std::string& arg : command) {
            name += (name.empty() ? "" : " ") + arg;
        }
        SCOPED_TRACE(name);
        // Where standard output takes it, the command succeeds and writes something: a
        // failure below is the output's alone.
        const std::string file = dir.File("out");
        const Outcome good = Start(command, Stdout::File, file);
        EXPECT_TRUE(good.exited);
        EXPECT_EQ(good.status, 0);
        EXPECT_EQ(good.err, "");
        EXPECT_FALSE(TempDir::Read(file).empty());

        for (const Stdout where : {Stdout::Full, Stdout::Closed, Stdout::PipeWithoutReader}) {
            SCOPED_TRACE(where == Stdout::Full     ? "/dev/full"
                         : where == Stdout::Closed ? "closed"
                                                   : "a pipe without a reader");
            const Outcome bad = Start(command, where, file);
            EXPECT_TRUE(bad.exited);
            EXPECT_EQ(bad.status, 1);
            EXPECT_NE(bad.err.find("cannot write to standard output"), std::string::npos)
                << bad.err;
        }
    }
}

} // namespace
} // namespace quillet
