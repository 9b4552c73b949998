#include "support/temp_tree.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

using testing_support::readAndClose;
using testing_support::TempTree;

extern char **environ;

namespace {

struct Finished
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built program as a scheduler would: its own environment plus `extra`, no terminal.
Finished runProgram(
    const std::vector<std::string> &arguments, const std::vector<std::string> &extra)
{
    std::vector<std::string> environment;
    for (char **variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=")
            && !entry.starts_with("QT_QPA_PLATFORM="))
            environment.push_back(entry);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words { ABLAGEKEHRER_PROGRAM };
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
    pid_t child = 0;
    Finished finished;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        finished.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    finished.out = readAndClose(out);
    finished.err = readAndClose(err);
    return finished;
}

} // namespace

TEST(Program, HelpAndVersionAnswerAndTouchNothing)
{
    TempTree tree;
    tree.writeFile("data/old.log");
    tree.setModified("data/old.log", 0);
    const std::string folder = "/VERZEICHNIS:" + (tree / "data");
    for (const char *help : { "--help", "-h", "/?" }) {
        const Finished shown = runProgram({ folder, "GO", help }, {});
        EXPECT_EQ(shown.exitCode, 0) << help;
        EXPECT_NE(shown.out.find("/VERZEICHNIS:pfad"), std::string::npos) << help;
        EXPECT_NE(shown.out.find("/etc/ablagekehrer.ini"), std::string::npos) << help;
        EXPECT_EQ(shown.err, "") << help;
    }
    tree.writeFile("eigene.ini", "[Pfade]\n1=/srv\n");
    const Finished named = runProgram({ "/INI:" + (tree / "eigene.ini"), "--help" }, {});
    EXPECT_NE(named.out.find("In Gebrauch: " + (tree / "eigene.ini") + "\n"), std::string::npos);
    const Finished version = runProgram({ "--version", folder, "GO" }, {});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Ablagekehrer " ABLAGEKEHRER_VERSION "\n");
    EXPECT_TRUE(tree.exists("data/old.log"));
}

TEST(Program, DisplayThatCannotBeOpenedRunsWithoutTheWindow)
{
    TempTree tree;
    tree.writeFile("data/old.log");
    tree.setModified("data/old.log", 0);
    const std::vector<std::string> arguments { "/VERZEICHNIS:" + (tree / "data"), "/TAGE:1",
        "/PROTOKOLL:" + (tree / "run.log"), "GO" };
    // A display number nobody serves, as a cron job may inherit one.
    for (const std::vector<std::string> &display :
        { std::vector<std::string> { "DISPLAY=:77" }, { "WAYLAND_DISPLAY=ablagekehrer-none" } }) {
        tree.writeFile("data/old.log");
        tree.setModified("data/old.log", 0);
        const Finished run = runProgram(arguments, display);
        EXPECT_EQ(run.exitCode, 0) << display[0];
        EXPECT_EQ(run.out + run.err, "") << display[0];
        EXPECT_FALSE(tree.exists("data/old.log")) << display[0];
    }
}
