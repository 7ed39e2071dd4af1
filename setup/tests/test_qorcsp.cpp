// qorcsp run as the service: both endpoints answer with the printers'
// state, a condition set on the printer shows at once, and a stop request
// ends it.
#include "qor/service.h"
#include "qoremu/control_client.h"
#include "qor/spooler.h"
#include "setup_testing.h"
#include "spool_testing.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string read_all(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(fd);
    return text;
}

std::string ask_local() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = std::string(std::getenv("QOR_RUNTIME_DIR")) + "/qorcsp.sock";
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return {};
    }
    return read_all(fd);
}

std::string scrape() {
    int port = 0;
    std::ifstream(std::string(std::getenv("QOR_RUNTIME_DIR")) + "/qorcsp.port") >> port;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (port == 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return {};
    }
    std::string request = "GET /metrics HTTP/1.0\r\n\r\n";
    EXPECT_EQ(ssize_t(request.size()), write(fd, request.data(), request.size()));
    return read_all(fd);
}

bool set_status(const char* printer_name, DWORD status) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<LPSTR>(printer_name), &printer, &defaults)) return false;
    BOOL ok = SetPrinterA(printer, 0, reinterpret_cast<LPBYTE>(uintptr_t(status)), PRINTER_CONTROL_SET_STATUS);
    ClosePrinter(printer);
    return ok;
}

}  // namespace

TEST(Qorcsp, ServesBothEndpointsAndStopsOnRequest) {
    setenv("QOR_CSP_PORT", "0", 1);
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    ASSERT_TRUE(spooler.add_printer("QOR ZEM-Dx10P", "FILE:", spooler.output_path(), "QOR ZEM-Dx10P"));
    ASSERT_TRUE(spooler.add_printer("Office", "FILE:", spooler.output_path(), "Other Driver"));
    setuptest::QorSetup setup;
    setuptest::install_real_service_program();
    ASSERT_TRUE(setup.reg_service(0));

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "QORCSP", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    ASSERT_TRUE(qortest::eventually([&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    }));
    EXPECT_EQ("{\"ok\":true,\"printers\":[{\"name\":\"QOR ZEM-Dx10P\",\"driver\":\"QOR ZEM-Dx10P\",\"status\":0,"
              "\"block_status\":null,\"conditions\":[]}]}\n",
              ask_local());
    std::string metrics = scrape();
    EXPECT_EQ(0u, metrics.rfind("HTTP/1.0 200 OK\r\n", 0)) << metrics;
    EXPECT_NE(std::string::npos, metrics.find("\r\n\r\nqor_printer_list_ok 1\nqor_printer_status{printer=\"QOR ZEM-Dx10P\"} 0\n"));

    // Paper out shows on the next request, well within a second.
    ASSERT_TRUE(set_status("QOR ZEM-Dx10P", PRINTER_STATUS_PAPER_OUT));
    auto asked = std::chrono::steady_clock::now();
    EXPECT_NE(std::string::npos, ask_local().find("\"conditions\":[\"paper out\"]"));
    EXPECT_NE(std::string::npos,
              scrape().find("qor_printer_condition{printer=\"QOR ZEM-Dx10P\",condition=\"paper_out\"} 1\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(qortest::eventually([&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED;
    }));
    EXPECT_EQ(0u, status.dwWin32ExitCode);
    EXPECT_TRUE(qortest::eventually([] { return ask_local().empty(); }));
    EXPECT_TRUE(setup.unreg_service(0));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// The printer's own condition: paper out raised on an emulator printer that
// the model module watches reaches the service's answer.
TEST(Qorcsp, PaperOutOnTheEmulatorShows) {
    setenv("QOR_CSP_PORT", "0", 1);
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    const std::string dir = qortest::sandbox();
    const std::string socket = dir + "/zemd.sock", control = dir + "/zemd.ctl", tickets = dir + "/tickets";
    auto emulator = qortest::Child::spawn("qoremu", {"--socket", socket, "--control", control, "--tickets", tickets,
                                                     "--state", dir + "/zemd.state", "--print-speed", "200"});
    ASSERT_TRUE(qoremu::wait_for_path(control));
    ASSERT_TRUE(spooler.add_driver("QOR ZEM-Dx10P", "QOR ZEM-D Monitor", "QORZEMLM.DLL"));
    ASSERT_TRUE(spooler.add_printer("QOR ZEM-Dx10P", "USB001", "emu:" + socket, "QOR ZEM-Dx10P"));

    // One job opens the printer's port; from then on the model module watches it.
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("QOR ZEM-Dx10P"), &printer, nullptr));
    char document[] = "csp", type[] = "RAW";
    DOC_INFO_1A info{document, nullptr, type};
    ASSERT_NE(0u, StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info)));
    char line[] = "qorcsp watch\n\x1d\x56\x00";
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer, line, DWORD(sizeof line - 1), &written));
    EXPECT_TRUE(EndDocPrinter(printer));
    ClosePrinter(printer);
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets, 1));
    ASSERT_TRUE(spooler.wait_idle("QOR ZEM-Dx10P"));

    setuptest::QorSetup setup;
    setuptest::install_real_service_program();
    ASSERT_TRUE(setup.reg_service(0));
    ASSERT_TRUE(qortest::eventually([] { return ask_local().find("\"conditions\":[]") != std::string::npos; }));

    std::string error;
    ASSERT_TRUE(qoremu::control_command(control, "raise paper-out", nullptr, &error)) << error;
    const auto raised = std::chrono::steady_clock::now();
    EXPECT_TRUE(qortest::eventually(
        [] { return ask_local().find("\"conditions\":[\"paper out\"]") != std::string::npos; },
        std::chrono::seconds(10)));
    RecordProperty("paper_out_ms", int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - raised)
                                           .count()));
    EXPECT_TRUE(setup.unreg_service(0));
    emulator.kill();
}

TEST(Qorcsp, CommandLine) {
    EXPECT_EQ(0, qortest::run("qorcsp", {"--version"}).status);
    EXPECT_EQ(0, qortest::run("qorcsp", {"--help"}).status);
    auto bad = qortest::run("qorcsp", {"/Bogus"});
    EXPECT_EQ(2, bad.status);
    EXPECT_NE(std::string::npos, bad.err.find("usage"));
    // Started by hand it is no service.
    EXPECT_EQ(2, qortest::run("qorcsp", {}).status);
}
