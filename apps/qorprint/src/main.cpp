// qorprint: prints images and text files on a QOR ZEM-D printer through the
// graphics engine, with the device-mode settings chosen on the command line.
#include "devmode_setup.h"
#include "document.h"
#include "options.h"
#include "picture.h"

#include "qor/gdi.h"
#include "qor/spooler.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kPrinted = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "qorprint: %s\n", message.c_str());
    return status;
}

std::u16string Wide(const std::string& text) {
    std::u16string out;
    for (unsigned char c : text) out.push_back(c);  // printer names are ASCII here; others fail to open
    return out;
}

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

std::vector<std::string> LocalPrinters() {
    std::vector<std::string> names;
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (!needed) return names;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(Narrow(info[i].pPrinterName));
    return names;
}

std::string ChoosePrinter(const PrintOptions& options, std::string* error) {
    if (!options.printer.empty()) return options.printer;
    if (const char* env = std::getenv("QOR_PRINTER"); env && *env) return env;
    const std::vector<std::string> printers = LocalPrinters();
    if (printers.size() == 1) return printers[0];
    *error = printers.empty() ? "no printer is installed (qorctl adds one; scripts/print-demo.sh sets one up)"
                              : "several printers are installed; choose one with -P";
    return {};
}

struct InputFile {
    std::string path;
    FileKind kind;
    Picture picture;
    std::string text;
};

// Reads every file before the job starts, so a bad file prints nothing.
bool ReadInputs(const std::vector<std::string>& paths, std::vector<InputFile>* inputs, std::string* error) {
    for (const std::string& path : paths) {
        InputFile input{path, FileKind::Text, {}, {}};
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            *error = "cannot print '" + path + "': it is a folder";
            return false;
        }
        std::string why;
        if (!SniffFile(path, &input.kind, &why)) {
            *error = "cannot read '" + path + "': " + why;
            return false;
        }
        if (input.kind == FileKind::Text) {
            if (!ReadWholeFile(path, &input.text, &why)) {
                *error = "cannot read '" + path + "': " + why;
                return false;
            }
        } else if (!LoadPicture(path, input.kind, &input.picture, &why)) {
            *error = "cannot print '" + path + "': " + why;
            return false;
        }
        inputs->push_back(std::move(input));
    }
    return true;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

}  // namespace

int main(int argc, char** argv) {
    PrintOptions options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "qorprint: %s\n\n%s", error.c_str(), UsageText().c_str());
        return kBadInput;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kPrinted;
    }

    const std::string printer_name = ChoosePrinter(options, &error);
    if (printer_name.empty()) return Fail(kBadInput, error);
    std::u16string wide_name = Wide(printer_name);
    HANDLE printer = nullptr;
    if (!OpenPrinterW(wide_name.data(), &printer, nullptr)) {
        const DWORD code = GetLastError();
        if (code == RPC_S_SERVER_UNAVAILABLE) return Fail(kBadInput, "the print service cannot be reached");
        std::string known;
        for (const std::string& name : LocalPrinters()) known += (known.empty() ? "" : ", ") + name;
        return Fail(kBadInput, "no printer named '" + printer_name + "'" +
                                   (known.empty() ? std::string(" (none is installed)") : " (installed: " + known + ")"));
    }
    std::unique_ptr<PpdBlock> ppd = LoadPrinterDescription(printer, &error);
    EXDEVMODE devmode;
    const bool settings_ok = ppd && PrinterDevmode(printer, wide_name, ppd->data, &devmode, &error) &&
                             ApplyOptions(options, ppd->data, &devmode, &error);
    if (ppd && options.list_papers) {
        ClosePrinter(printer);
        std::fputs(PaperList(ppd->data).c_str(), stdout);
        return kPrinted;
    }
    ClosePrinter(printer);
    if (!settings_ok) return Fail(kBadInput, error);

    std::vector<InputFile> inputs;
    if (!ReadInputs(options.files, &inputs, &error)) return Fail(kBadInput, error);

    HDC dc = CreateDCW(u"WINSPOOL", wide_name.c_str(), nullptr, &devmode.dm);
    if (!dc) return Fail(kFailed, "the printer '" + printer_name + "' cannot be used (error " +
                                      std::to_string(GetLastError()) + ")");
    TextStyle style;
    style.device_font = devmode.Font != 0;
    style.device_cell = devmode.Font == 2 ? 16 : 24;
    style.face = options.face;
    style.height = options.text_height;

    int status = kPrinted;
    {
        Document document(dc, options.quiet ? std::function<void(const std::string&)>()
                                            : [](const std::string& line) {
                                                  std::fprintf(stderr, "qorprint: %s\n", line.c_str());
                                              });
        const std::string title = options.title.empty() ? BaseName(options.files.front()) : options.title;
        bool ok = document.Start(title, &error);
        for (size_t i = 0; ok && i < inputs.size(); ++i) {
            const InputFile& input = inputs[i];
            const std::string name = BaseName(input.path);
            ok = input.kind == FileKind::Text ? document.PrintText(input.text, style, name, &error)
                                              : document.PrintPicture(input.picture, name, &error);
        }
        if (ok) ok = document.Finish(&error);
        if (!ok) status = Fail(kFailed, error);
        else if (!options.quiet)
            std::fprintf(stderr, "qorprint: %d page%s sent to %s\n", document.pages(), document.pages() == 1 ? "" : "s",
                         printer_name.c_str());
    }
    DeleteDC(dc);
    return status;
}
