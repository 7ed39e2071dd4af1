// qorcil run as a program against the whole stack: --help and every
// command once, with the exit statuses scripts rely on.
#include "cil_stack.h"


#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using ciltest::PrinterStack;

namespace {

struct Run {
    int exit_code = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts qorcil in the background with stdout and stderr going to files of
// the sandbox, for the runs a test interrupts.
pid_t Start(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
    std::vector<std::string> argv_store{qortest::bin_dir() + "/qorcil"};
    argv_store.insert(argv_store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argv_store) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int Finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Run Qorcil(const std::vector<std::string>& args) {
    const qortest::Output result = qortest::run(qortest::bin_dir() + "/qorcil", args, std::chrono::seconds(120));
    return Run{result.status, result.out, result.err};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class QorcilCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(stack_.ok()); }
    PrinterStack stack_;
};

}  // namespace

TEST_F(QorcilCli, HelpAndVersion) {
    auto run = Qorcil({"--help"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(Contains(run.out, "usage: qorcil COMMAND"));
    for (const char* command : {"status", "send", "receive", "settings"}) {
        run = Qorcil({command, "--help"});
        EXPECT_EQ(run.exit_code, 0) << command;
        EXPECT_TRUE(Contains(run.out, std::string("usage: qorcil ") + command)) << run.out;
    }
    run = Qorcil({"--version"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(Contains(run.out, "qorcil "));
    run = Qorcil({"status", "--bytes", "3"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Contains(run.err, "--bytes"));
}

TEST_F(QorcilCli, StatusExitTellsReadyConditionOrNoAnswer) {
    auto run = Qorcil({"status"});  // the default printer is the only QOR ZEM one
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, std::string(PrinterStack::kPrinter) + ": ready (0x00000000)\n");
    ASSERT_TRUE(stack_.control("raise paper-out"));
    run = Qorcil({"status", "-P", PrinterStack::kPrinter, "--json"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(Contains(run.out, "\"status\": \"0x00000010\"")) << run.out;
    EXPECT_TRUE(Contains(run.out, "\"conditions\": [\"paper-out\"]")) << run.out;
    ASSERT_TRUE(stack_.control("clear paper-out"));
    ASSERT_TRUE(stack_.control("silent on"));
    run = Qorcil({"status"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Contains(run.out, "not answering (0x80000000)"));
    ASSERT_TRUE(stack_.control("silent off"));
}

TEST_F(QorcilCli, WatchPrintsEachChangeUntilInterrupted) {
    const std::string out = qortest::sandbox() + "/watch.out", err = qortest::sandbox() + "/watch.err";
    const pid_t pid = Start({"status", "--watch", "--interval", "100"}, out, err);
    auto lines = [&] {
        std::istringstream text(Slurp(out));
        size_t count = 0;
        for (std::string line; std::getline(text, line);) count += line.find(PrinterStack::kPrinter) == 0;
        return count;
    };
    EXPECT_TRUE(qortest::eventually([&] { return lines() == 1; }, std::chrono::seconds(10)));
    ASSERT_TRUE(stack_.control("raise cover-open"));
    EXPECT_TRUE(qortest::eventually([&] { return lines() == 2; }, std::chrono::seconds(10)));
    kill(pid, SIGINT);
    EXPECT_EQ(Finish(pid), 1);  // the last status had a condition
    EXPECT_TRUE(Contains(Slurp(out), "cover-open (0x00400000)"));
    EXPECT_TRUE(Contains(Slurp(out), "The cover of the printer-head is open."));
}

TEST_F(QorcilCli, SendReceiveAndSettings) {
    auto run = Qorcil({"send", "--hex", "1d 61 00 12 71 05 12 6c 00", "--receive", "21"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, std::string(PrinterStack::kPrinter) + ": sent 9 bytes\n55 08 01 07 00 00 00 08 0c\n");
    // A session of its own: what the printer sent to the earlier one went
    // with that session's port.
    run = Qorcil({"receive", "--bytes", "21", "--json"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "\"count\": ")) << run.out;

    const std::string file = qortest::sandbox() + "/ticket.bin";
    const char ticket[] = "qorcil send test\n\x1d\x56\x00";
    std::ofstream(file, std::ios::binary).write(ticket, sizeof ticket - 1);
    run = Qorcil({"send", file, "--json"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "\"sent\": 20")) << run.out;

    run = Qorcil({"settings"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "setbank 18 07 00 c8\n");
    run = Qorcil({"settings", "--json"});
    EXPECT_TRUE(Contains(run.out, "\"bytes\": [24, 7, 0, 200]")) << run.out;
}

TEST_F(QorcilCli, ErrorsNameTheFileOrThePrinter) {
    auto run = Qorcil({"send", "--hex", "1d 6"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Contains(run.err, "--hex"));
    run = Qorcil({"send", qortest::sandbox() + "/missing.bin"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Contains(run.err, "missing.bin"));
    run = Qorcil({"status", "-P", "Nothing Here"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(Contains(run.err, "Nothing Here: cannot open a session")) << run.err;
    EXPECT_TRUE(Contains(run.err, "(100001)"));
}
