// CPU time an idle ZEM-D printer costs the spooler: qorspoold with the
// model module and QORLM2K watching a printer on an emulator port, measured
// over a stretch with no job, once before the printer's chain is opened and
// once after a job has opened it (the printer then watched between jobs).
//   QOR_IDLE_SECONDS=60 bench_idle   (60 by default; runs in its own sandbox)
#include "qoremu/control_client.h"
#include "spool_testing.h"

#include "process_cpu.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

double idle_share(pid_t pid, int seconds) {
    const double before = benchcpu::cpu_seconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return (benchcpu::cpu_seconds(pid) - before) / seconds * 100.0;
}

}  // namespace

TEST(IdleCost, SpoolerCpuWithAWatchedPrinter) {
    const char* configured = std::getenv("QOR_IDLE_SECONDS");
    const int seconds = configured ? std::atoi(configured) : 60;
    qorspool::PrivateSpooler spooler;
    const std::string dir = qortest::sandbox();
    const std::string socket = dir + "/zemd.sock", control = dir + "/zemd.ctl", tickets = dir + "/tickets";
    auto emulator = qortest::Child::spawn("qoremu", {"--socket", socket, "--control", control, "--tickets", tickets,
                                                     "--state", dir + "/zemd.state"});
    ASSERT_TRUE(spooler.ok() && qoremu::wait_for_path(control) &&
                spooler.add_driver("QOR ZEM-D", "QOR ZEM-D Monitor", "QORZEMLM.DLL") &&
                spooler.add_printer("ZEM", "USB001", "emu:" + socket, "QOR ZEM-D"));
    std::printf("qorspoold CPU over %d s idle, chain not opened: %.3f%% of a core\n", seconds,
                idle_share(spooler.pid(), seconds));

    std::u16string name = u"ZEM", document = u"idle", type = u"RAW";
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(name.data(), &printer, nullptr));
    DOC_INFO_1W info{document.data(), nullptr, type.data()};
    StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
    BYTE text[] = "idle\n\x1dV\x00";
    DWORD written = 0;
    WritePrinter(printer, text, sizeof text - 1, &written);
    EndDocPrinter(printer);
    ClosePrinter(printer);
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets, 1) && spooler.wait_idle("ZEM"));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the job's own polling ends
    std::printf("qorspoold CPU over %d s idle, printer watched: %.3f%% of a core\n", seconds,
                idle_share(spooler.pid(), seconds));
}
