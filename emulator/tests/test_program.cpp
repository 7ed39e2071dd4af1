// The qoremu program and the pseudo-terminal transport, across processes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "png_image.h"
#include "qoremu/control_client.h"
#include "qoremu/emulator.h"
#include "qoremu/link.h"
#include "qortest.h"

namespace {

using namespace std::chrono_literals;

// Runs qoremu with `args` and returns its exit status and standard output.
int run_program(const std::string& args, std::string* output) {
    std::string command = qortest::bin_dir() + "/qoremu " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output->append(buffer, n);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EmuProgram, HelpDocumentsTheOptions) {
    std::string out;
    EXPECT_EQ(run_program("--help", &out), 0);
    for (const char* option : {"--socket", "--control", "--pty", "--tickets", "--state", "--model", "--baud",
                               "--print-speed", "--raise", "--silent"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
    out.clear();
    EXPECT_EQ(run_program("--baud 12", &out), 2);
    EXPECT_NE(out.find("--baud"), std::string::npos);
    out.clear();
    EXPECT_EQ(run_program("--frobnicate", &out), 2);
    out.clear();
    EXPECT_EQ(run_program("--model D999 --no-socket --pty", &out), 1);
    EXPECT_NE(out.find("unknown model"), std::string::npos);
}

TEST(EmuProgram, RunsAsAProcessAndPrints) {
    std::string tickets = qortest::sandbox() + "/program-tickets";
    auto child = qortest::Child::spawn("qoremu", {"--name", "prog", "--tickets", tickets, "--raise", "paper-near-end"});
    std::string socket = qoremu::default_socket_path("prog"), control = qoremu::default_control_path("prog");
    ASSERT_TRUE(qoremu::wait_for_path(control));
    ASSERT_TRUE(qoremu::wait_for_path(socket));
    qoremu::Link link;
    ASSERT_TRUE(link.connect(socket)) << link.error();
    const uint8_t job[] = {0x10, 0x04, 0x04, 0x1B, 0x40, 'O', 'K', 0x0A, 0x1D, 0x56, 0x00};
    ASSERT_EQ(link.send(job, sizeof(job), 5s), long(sizeof(job)));
    uint8_t reply = 0;
    ASSERT_EQ(link.receive(&reply, 1, 5s), 1);
    EXPECT_EQ(reply, 0x1E);  // near end, from --raise
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets, 1));
    // A second emulator under the same name is refused.
    std::string out;
    EXPECT_EQ(run_program("--name prog", &out), 1);
    EXPECT_NE(out.find("another emulator"), std::string::npos) << out;
    // The same control from the command line.
    out.clear();
    EXPECT_EQ(run_program("--name prog --command 'raise cover-open' --command status", &out), 0);
    EXPECT_NE(out.find("conditions paper-near-end cover-open"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(run_program("--name prog --command 'raise everything'", &out), 1);
    EXPECT_NE(out.find("unknown condition"), std::string::npos) << out;
    ASSERT_TRUE(qoremu::control_command(control, "quit"));
    EXPECT_EQ(child.wait(10s), 0);
    EXPECT_FALSE(qoremu::wait_for_path(control, 10ms)) << "sockets are removed at exit";
}

TEST(EmuProgram, RendersAStoredStreamWithoutTransports) {
    std::string job = qortest::sandbox() + "/job.bin", tickets = qortest::sandbox() + "/render";
    FILE* f = std::fopen(job.c_str(), "wb");
    ASSERT_TRUE(f);
    const uint8_t bytes[] = {0x1B, 0x40, 'H', 'i', 0x0A, 0x1B, 0x24, 0x20, 0x00,
                             0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0xFF, 0x81};
    std::fwrite(bytes, 1, sizeof(bytes), f);
    std::fclose(f);
    std::string out;
    ASSERT_EQ(run_program("--render " + job + " --tickets " + tickets + " --state none", &out), 0) << out;
    EXPECT_EQ(out, tickets + "/ticket-0001.png\n");
    emutest::Image image;
    std::string error;
    ASSERT_TRUE(emutest::read_png(tickets + "/ticket-0001.png", &image, &error)) << error;
    EXPECT_EQ(image.height, 35);  // the text line, then the two raster rows torn off
    EXPECT_TRUE(image.at(32, 33) && image.at(39, 33) && image.at(32, 34) && !image.at(33, 34));
    out.clear();
    EXPECT_EQ(run_program("--render " + qortest::sandbox() + "/missing", &out), 1);
}

TEST(EmuProgram, SigtermEndsItCleanly) {
    auto child = qortest::Child::spawn("qoremu", {"--name", "term"});
    ASSERT_TRUE(qoremu::wait_for_path(qoremu::default_control_path("term")));
    EXPECT_EQ(child.kill(SIGTERM), 0);
}

// Reads from fd until `count` bytes arrived or time runs out.
std::string read_some(int fd, size_t count, int timeout_ms) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[64];
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n > 0) got.append(buffer, size_t(n));
    }
    return got;
}

TEST(EmuProgram, PseudoTerminalCarriesDataLikeASerialLine) {
    qoremu::EmulatorOptions options;
    options.socket = false;
    options.pty = true;
    options.pty_link = qortest::sandbox() + "/ttyZEM0";
    options.tickets_dir = qortest::sandbox() + "/pty-tickets";
    std::string error;
    auto emulator = qoremu::Emulator::start(options, &error);
    ASSERT_TRUE(emulator) << error;
    int fd = ::open(options.pty_link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios mode;
    ASSERT_EQ(::tcgetattr(fd, &mode), 0);
    ::cfmakeraw(&mode);
    ::cfsetspeed(&mode, B38400);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &mode), 0);
    const uint8_t job[] = {0x1D, 0x61, 0x00, 0x12, 0x71, 0x05, 0x12, 0x6C, 0x00, 0x10, 0x04, 0x01,
                           0x1B, 0x40, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x81, 0x1D, 0x56, 0x00};
    ASSERT_EQ(::write(fd, job, sizeof(job)), ssize_t(sizeof(job)));
    // The real-time reply overtakes the setting read still in the buffer.
    EXPECT_EQ(read_some(fd, 10, 3000), std::string("\x12\x55\x08\x01\x07\x00\x00\x00\x08\x0C", 10));
    ASSERT_TRUE(emulator->wait_for_tickets(1));
    emutest::Image image;
    ASSERT_TRUE(emutest::read_png(qoremu::list_tickets(options.tickets_dir).at(0), &image, &error)) << error;
    EXPECT_EQ(image.height, 1);
    EXPECT_TRUE(image.at(0, 0) && image.at(7, 0) && !image.at(1, 0));
    ::close(fd);
}

}  // namespace
