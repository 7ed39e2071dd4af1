// The CUPS backend "qor": prints a queue's raster job on the suite printer
// its device URI names, through the graphics engine and the print service,
// and reports the printer's condition to CUPS until the job has printed.
//
// It reads the raster itself instead of leaving that to a filter: CUPS runs
// filters as an unprivileged user, which cannot reach the print service's
// private socket, while a backend installed with mode 0700 runs as the
// user that owns the service. On the system spooler (a device URI without
// places of a per-user one) it prints as lp, a member of the group qor.
#include "device_uri.h"
#include "job_options.h"
#include "job_watch.h"
#include "option_defaults.h"
#include "raster_job.h"
#include "run_as.h"

#include "common/printer_description.h"

#include "qor/spooler.h"
#include "qor/support/places.h"

#include <cups/backend.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The account that prints on the system spooler, the one CUPS runs the
// other backends as.
constexpr char kSystemUser[] = "lp";

std::atomic<bool> g_cancelled{false};

void OnTerminate(int) { g_cancelled = true; }

int Fail(const std::string& message) {
    std::fprintf(stderr, "ERROR: %s\n", message.c_str());
    return CUPS_BACKEND_FAILED;
}

void Say(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        std::puts("direct qor \"Unknown\" \"QOR ZEM-D on the suite's print service\"");
        return CUPS_BACKEND_OK;
    }
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return CUPS_BACKEND_FAILED;
    }
    setvbuf(stderr, nullptr, _IOLBF, 0);
    struct sigaction action{};
    action.sa_handler = OnTerminate;
    sigaction(SIGTERM, &action, nullptr);

    const char* device = std::getenv("DEVICE_URI");
    const std::optional<qorcups::DeviceUri> uri = qorcups::ParseDeviceUri(device ? device : "");
    if (!uri) return Fail(std::string("the device URI \"") + (device ? device : "") + "\" names no suite printer");
    if (!uri->root.empty()) setenv("QOR_ROOT", uri->root.c_str(), 1);
    if (!uri->runtime.empty()) setenv("QOR_RUNTIME_DIR", uri->runtime.c_str(), 1);

    std::string error;
    if (geteuid() == 0 && qor::places::system_mode()) {
        if (!qorcups::BecomeUser(kSystemUser, &error)) return Fail(error);
        std::fprintf(stderr, "DEBUG: printing on the system spooler as %s\n", kSystemUser);
    }
    if (!qorcups::CheckJobOptions(argv[5], std::getenv("PPD"), &error)) return Fail(error);

    const std::u16string printer_name(uri->printer.begin(), uri->printer.end());
    std::u16string name = printer_name;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr))
        return Fail("the suite printer \"" + uri->printer + "\" does not exist (error " +
                    std::to_string(GetLastError()) + "); qorctl printers lists them");
    std::unique_ptr<PpdBlock> ppd = qor::load_printer_description(printer, &error);
    qorcups::RasterJob job;
    job.printer = printer_name;
    job.title = argv[3];
    const bool have_devmode = ppd && qorcups::PrinterDeviceMode(printer, printer_name, ppd->data, &job.base);
    ClosePrinter(printer);
    if (!ppd) return Fail("the suite printer \"" + uri->printer + "\": " + error);
    if (!have_devmode) return Fail("the suite printer \"" + uri->printer + "\" has no usable device mode");
    job.ppd = &ppd->data;

    int fd = 0;
    if (argc == 7 && (fd = open(argv[6], O_RDONLY | O_CLOEXEC)) < 0)
        return Fail(std::string("cannot open the job file ") + argv[6]);
    qorcups::RasterOutcome outcome;
    const bool sent = qorcups::PrintRaster(
        fd, job, [](int page) { std::fprintf(stderr, "INFO: page %d handed to the print service\n", page); },
        &outcome, &error);
    if (fd > 0) close(fd);
    if (!sent) return Fail(error);

    std::fprintf(stderr, "INFO: waiting for the printer (job %u of the print service)\n", outcome.job_id);
    qorcups::WatchOptions watch;
    watch.stop = &g_cancelled;
    watch.say = Say;
    switch (qorcups::WatchJob(printer_name, outcome.job_id, watch, &error)) {
    case qorcups::JobEnd::Printed:
        for (int page = 1; page <= outcome.pages; ++page) std::fprintf(stderr, "PAGE: %d 1\n", page);
        std::fprintf(stderr, "INFO: printed %d page%s\n", outcome.pages, outcome.pages == 1 ? "" : "s");
        return CUPS_BACKEND_OK;
    case qorcups::JobEnd::Cancelled:
        std::fputs("INFO: cancelled\n", stderr);
        return CUPS_BACKEND_OK;
    case qorcups::JobEnd::Lost:
        break;
    }
    return Fail(error);
}
