// qorprint: prints images and text files on a QOR ZEM-D printer through the
// graphics engine, with the device-mode settings chosen on the command line.
#include "devmode_setup.h"
#include "document.h"
#include "input_check.h"
#include "options.h"
#include "picture.h"

#include "common/printer_description.h"

#include "qor/gdi.h"
#include "qor/spooler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <strings.h>
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

std::string KindName(FileKind kind) { return kind == FileKind::Png ? "a PNG image" : "a JPEG image"; }

// Reads and checks every file before the job starts, so a bad file prints
// nothing.
bool ReadInputs(const PrintOptions& options, std::vector<InputFile>* inputs, std::string* error) {
    for (const std::string& path : options.files) {
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
        const std::optional<FileKind> named = KindByName(path);
        if (named && *named != input.kind) {
            *error = "cannot print '" + path + "': its name says " + KindName(*named) + ", but it holds " +
                     (input.kind == FileKind::Text ? std::string("something else") : KindName(input.kind));
            return false;
        }
        if (input.kind == FileKind::Text) {
            std::string bytes;
            if (!ReadWholeFile(path, &bytes, &why)) {
                *error = "cannot read '" + path + "': " + why;
                return false;
            }
            if (bytes.empty()) {
                *error = "cannot print '" + path + "': the file is empty";
                return false;
            }
            if (options.raw_text) {
                input.text = std::move(bytes);
            } else if (!CheckText(bytes, &input.text, &why)) {
                *error = "cannot print '" + path + "': " + why + " (--raw-text prints it all the same)";
                return false;
            }
            if (input.text.find_first_not_of(" \t\r\n\f") == std::string::npos) {
                *error = "cannot print '" + path + "': it holds no text, only blank lines";
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

// Whether a TrueType family of that name is installed (any case).
bool FaceInstalled(HDC dc, const std::string& face) {
    struct Search {
        std::string wanted;
        bool found = false;
    } search{face, false};
    LOGFONTW any{};
    EnumFontFamiliesExW(
        dc, &any,
        [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM param) -> int {
            auto* s = reinterpret_cast<Search*>(param);
            if (type != TRUETYPE_FONTTYPE) return 1;
            std::string name;
            for (size_t i = 0; i < LF_FACESIZE && font->lfFaceName[i]; ++i)
                name.push_back(font->lfFaceName[i] < 0x80 ? static_cast<char>(font->lfFaceName[i]) : '?');
            s->found = s->found || strcasecmp(name.c_str(), s->wanted.c_str()) == 0;
            return 1;
        },
        reinterpret_cast<LPARAM>(&search), 0);
    return search.found;
}

}  // namespace

int main(int argc, char** argv) {
    PrintOptions options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "qorprint: %s\n%s", error.c_str(), UsageHint().c_str());
        return kBadInput;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kPrinted;
    }
    if (options.version) {
        std::fputs(VersionText().c_str(), stdout);
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
    std::unique_ptr<PpdBlock> ppd = qor::load_printer_description(printer, &error);
    EXDEVMODE devmode;
    std::optional<qor::setbank::Bytes> settings;
    const bool devmode_ok = ppd && PrinterDevmode(printer, wide_name, ppd->data, &devmode, &settings, &error);
    ClosePrinter(printer);
    if (!devmode_ok) return Fail(kBadInput, error);
    const std::optional<int> roll_mm =
        settings ? std::optional<int>(qor::setbank::paper_width_mm(*settings)) : std::nullopt;
    if (options.list_papers) {
        std::string papers;
        if (!PaperList(wide_name, roll_mm, &papers, &error)) return Fail(kFailed, error);
        std::fputs(papers.c_str(), stdout);
        return kPrinted;
    }
    if (!ApplyOptions(options, ppd->data, roll_mm, &devmode, &error)) return Fail(kBadInput, error);
    // The sheet opens on what the command line asked for, and what the
    // user leaves in it is what prints: nothing given on the command line
    // overrides a choice made in the sheet.
    if (options.properties) {
        bool cancelled = false;
        if (!AskProperties(wide_name, &devmode, &cancelled, &error)) return Fail(cancelled ? kFailed : kBadInput, error);
    }

    std::vector<InputFile> inputs;
    if (!ReadInputs(options, &inputs, &error)) return Fail(kBadInput, error);

    HDC dc = CreateDCW(u"WINSPOOL", wide_name.c_str(), nullptr, &devmode.dm);
    if (!dc) return Fail(kFailed, "the printer '" + printer_name + "' cannot be used (error " +
                                      std::to_string(GetLastError()) + ")");
    TextStyle style;
    style.device_font = devmode.Font != 0;
    style.device_cell = devmode.Font == 2 ? 16 : 24;
    style.face = options.face;
    style.height = options.text_height;
    const bool prints_text = std::any_of(inputs.begin(), inputs.end(),
                                         [](const InputFile& input) { return input.kind == FileKind::Text; });
    if (prints_text && !style.device_font && !FaceInstalled(dc, style.face)) {
        DeleteDC(dc);
        return Fail(kBadInput, "no font face '" + style.face + "' is installed (fc-list : family lists them)");
    }

    int status = kPrinted;
    {
        Document document(dc, options.quiet ? std::function<void(const std::string&)>()
                                            : [](const std::string& line) {
                                                  std::fprintf(stderr, "qorprint: %s\n", line.c_str());
                                              });
        bool ok = true;
        for (size_t i = 0; ok && i < inputs.size(); ++i) {
            const InputFile& input = inputs[i];
            const std::string name = BaseName(input.path);
            ok = input.kind == FileKind::Text ? document.AddText(input.text, style, name, &error)
                                              : document.AddPicture(input.picture, options.scale, name, &error);
        }
        for (const std::string& warning : document.warnings()) std::fprintf(stderr, "qorprint: %s\n", warning.c_str());
        if (ok && document.planned_pages() > options.max_pages) {
            std::string files;
            for (const auto& file : document.pages_per_file())
                files += (files.empty() ? "" : ", ") + file.name + ": " + std::to_string(file.pages);
            status = Fail(kBadInput, "the job would print " + std::to_string(document.planned_pages()) + " pages (" +
                                         files + "), more than " + std::to_string(options.max_pages) +
                                         "; --max-pages " + std::to_string(document.planned_pages()) + " prints it");
        }
        const std::string title = options.title.empty() ? BaseName(options.files.front()) : options.title;
        if (ok && status == kPrinted) ok = document.Print(title, &error);
        if (!ok) status = Fail(kFailed, error);
        else if (!options.quiet && status == kPrinted)
            std::fprintf(stderr, "qorprint: %d page%s sent to %s\n", document.pages(), document.pages() == 1 ? "" : "s",
                         printer_name.c_str());
    }
    DeleteDC(dc);
    return status;
}
