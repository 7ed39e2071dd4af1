// qorcups: CUPS queues for suite printers.
//   qorcups ppd --description FILE [--model M]   the CUPS description of a model
//   qorcups ppd --printer NAME                   ... of an installed printer
//   qorcups add PRINTER [--queue NAME]           creates the CUPS queue (lpadmin)
#include "device_uri.h"
#include "option_defaults.h"
#include "queue_name.h"
#include "queue_ppd.h"

#include "common/printer_defaults.h"
#include "common/printer_description.h"

#include "qor/spooler.h"
#include "qor/support/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

const char* kHelp =
    "usage: qorcups ppd --description FILE [--model D510x|D610x] [-o FILE]\n"
    "       qorcups ppd --printer PRINTER [-o FILE]\n"
    "       qorcups add PRINTER [--queue NAME]\n"
    "       qorcups --help | --version\n"
    "\n"
    "ppd writes the CUPS description of a ZEM-D model (its papers from the\n"
    "printer description FILE, the roll of the model's factory settings as\n"
    "default media), or of an installed suite printer (its own default paper\n"
    "and settings). add creates a CUPS queue that prints on the suite printer\n"
    "PRINTER through the suite's drivers and print service (lpadmin; the\n"
    "queue's name is the printer's with spaces as '_').\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "qorcups: %s\nTry 'qorcups --help'.\n", why.c_str());
    return kUsage;
}

int Failed(const std::string& why) {
    std::fprintf(stderr, "qorcups: %s\n", why.c_str());
    return kFailed;
}

struct Args {
    std::vector<std::string> positional;
    std::optional<std::string> description, model, printer, output, queue;
};

bool Parse(int argc, char** argv, Args* args, std::string* error) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        std::optional<std::string>* slot = arg == "--description" ? &args->description
                                           : arg == "--model"     ? &args->model
                                           : arg == "--printer"   ? &args->printer
                                           : arg == "-o"          ? &args->output
                                           : arg == "--queue"     ? &args->queue
                                                                  : nullptr;
        if (slot) {
            if (i + 1 >= argc) return (*error = arg + " needs a value"), false;
            *slot = argv[++i];
        } else if (arg.rfind("-", 0) == 0) {
            return (*error = "unknown option " + arg), false;
        } else {
            args->positional.push_back(arg);
        }
    }
    return true;
}

// The CUPS description of an installed printer: its description file and
// the defaults its interface driver gives a new document.
bool PrinterPpd(const std::string& printer_name, std::string* text, std::string* error) {
    std::u16string name(printer_name.begin(), printer_name.end());
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) {
        *error = "no suite printer \"" + printer_name + "\" (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    std::unique_ptr<PpdBlock> ppd = qor::load_printer_description(printer, error);
    EXDEVMODE devmode;
    const bool have = ppd && qorcups::PrinterDeviceMode(printer, name, ppd->data, &devmode);
    ClosePrinter(printer);
    if (!ppd) {
        *error = "printer \"" + printer_name + "\": " + *error;
        return false;
    }
    if (!have) {
        *error = "printer \"" + printer_name + "\" has no usable device mode";
        return false;
    }
    *text = qorcups::WriteQueuePpd(ppd->data, {"ZEM-D", "QOR ZEM-D (" + printer_name + ")"}, devmode);
    return true;
}

// The CUPS description of a model from a description file.
bool ModelPpd(const std::string& path, const std::string& model, std::string* text, std::string* error) {
    const std::optional<qor::setbank::Bytes> factory = qor::setbank::factory_settings("MDL:ZEM-" + model + ";");
    if (!factory) {
        *error = "unknown model \"" + model + "\" (D510x or D610x)";
        return false;
    }
    auto block = std::make_unique<PpdBlock>();
    std::memset(block.get(), 0, sizeof(PpdBlock));
    PPD_AttachTables(block.get());
    std::u16string wide(path.begin(), path.end());
    EXDEVMODE devmode;
    if (!PPD_Init(&block->data, wide.c_str()) ||
        !qorcups::DeviceModeDefaults(block->data, u"QOR ZEM-" + std::u16string(model.begin(), model.end()),
                                     &devmode)) {
        *error = "cannot read the printer description " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (const PaperMetrix* paper =
            qor::defaults::default_paper(block->data, qor::setbank::paper_width_mm(*factory))) {
        devmode.CurrentPaper = *paper;
    }
    *text = qorcups::WriteQueuePpd(block->data, {"ZEM-" + model, "QOR ZEM-" + model}, devmode);
    return true;
}

bool WriteText(const std::optional<std::string>& path, const std::string& text) {
    if (!path) return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    std::ofstream out(*path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

int RunLpadmin(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string EnvOr(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Add(const Args& args) {
    if (args.positional.size() != 1) return Usage("add needs PRINTER");
    const std::string& printer = args.positional[0];
    std::string ppd, error;
    if (!PrinterPpd(printer, &ppd, &error)) return Failed(error);
    const std::string queue = args.queue ? *args.queue : qorcups::QueueName(printer);
    if (queue.empty() || qorcups::QueueName(queue) != queue)
        return Usage("the queue name \"" + queue + "\" is not one CUPS takes");
    char path[] = "/tmp/qorcups-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return Failed("cannot write a temporary description file");
    close(fd);
    const bool written = WriteText(std::string(path), ppd);
    // The service the backend reaches: this one, whoever runs CUPS.
    const std::string uri = qorcups::FormatDeviceUri({printer, EnvOr("QOR_ROOT"), EnvOr("QOR_RUNTIME_DIR")});
    const int status = written ? RunLpadmin({"lpadmin", "-p", queue, "-E", "-v", uri, "-P", path, "-o",
                                             "printer-error-policy=abort-job", "-D", "QOR " + printer})
                               : -1;
    unlink(path);
    if (status == 127) return Failed("lpadmin is not installed (Debian package cups-client)");
    if (status != 0) return Failed("lpadmin could not create the queue \"" + queue + "\"");
    std::printf("CUPS queue %s prints on %s (%s)\n", queue.c_str(), printer.c_str(), uri.c_str());
    return kOk;
}

int Ppd(const Args& args) {
    if (!args.positional.empty()) return Usage("ppd takes no arguments");
    std::string text, error;
    if (args.printer) {
        if (!PrinterPpd(*args.printer, &text, &error)) return Failed(error);
    } else if (args.description) {
        if (!ModelPpd(*args.description, args.model.value_or("D510x"), &text, &error)) return Failed(error);
    } else {
        return Usage("ppd needs --description FILE or --printer PRINTER");
    }
    if (!WriteText(args.output, text)) return Failed("cannot write " + args.output.value_or("the output"));
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (command == "--version") {
        std::printf("qorcups %s\n", qor::kSuiteVersion);
        return kOk;
    }
    Args args;
    std::string error;
    if (!Parse(argc, argv, &args, &error)) return Usage(error);
    if (command == "ppd") return Ppd(args);
    if (command == "add") return Add(args);
    return Usage("unknown command \"" + command + "\"");
}
