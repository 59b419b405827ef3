// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a built program (brindle-cli) as the user would, and collects its exit code, standard
// output and standard error.

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testutil {

struct ProgramRun {
    int code = -1; // -1 when the program could not start or ended by a signal
    std::string out;
    std::string err;
};

// Runs `program` with `args`. Each "NAME=value" of `env` replaces that variable of this
// process's environment. The output goes through the files ".stdout" and ".stderr" in `folder`.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& env,
                             const std::filesystem::path& folder) {
    const std::string outPath = (folder / ".stdout").string();
    const std::string errPath = (folder / ".stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings = env;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& own : env) {
            const std::size_t nameLength = own.find('=') + 1;
            replaced = replaced || std::strncmp(*e, own.c_str(), nameLength) == 0;
        }
        if (!replaced)
            envStrings.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    ProgramRun run;
    pid_t pid = 0;
    const int started =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

} // namespace testutil
