#include "render_testkit.h"

#include "fake_spooler.h"

#include "qortest.h"
#include "qor/gdi.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace rendertest {
namespace {

std::string root() {
    const char* value = std::getenv("QOR_ROOT");
    return value ? value : qortest::sandbox() + "/root";
}

std::string driver_folder() { return root() + "/drivers"; }

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace

std::string test_description() {
    const char* lines[] = {
        "; description for the rendering driver's tests",
        "DefPaper=768",
        "DefOrient=1",
        "DefBright=150",
        "DefFont=0",
        "DefDither=3",
        "DefBin=1",
        "NumPaper=3",
        "768;\"80 x 297 mm\";80;297;72;297;0;640;2376;576;2376;32;32;0;0;0",
        "300;\"odd\";80;5;72;5;0;640;56;577;40;32;16;8;0;0",
        "301;\"long\";58;1000;54;1000;0;464;8000;432;8000;16;24;0;0;0",
        "NumUserDef=1",
        "256;\"80 mm\";80;100;72;100;0;640;799;576;799;32;32;0;0;0",
        "Name=\"QORSTANDIN.DLL\"",
    };
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

void install_driver(const std::string& description) {
    std::string folder = driver_folder() + "/3";
    std::string command = "mkdir -p '" + folder + "'";
    if (system(command.c_str()) != 0) return;
    for (const char* module : {"QORKPDN5.so", "QORSTANDIN.so"}) {
        std::string target = qortest::bin_dir() + "/" + module;
        std::string link = folder + "/" + module;
        unlink(link.c_str());
        if (symlink(target.c_str(), link.c_str()) != 0) return;
    }
    write_file(folder + "/qorn5001.ppd", description);
    fakespooler::Printer printer;
    printer.name = kPrinter;
    printer.driver_folder = widen(driver_folder());
    printer.driver_path = driver_path();
    printer.data_file = widen(driver_folder()) + u"\\3\\qorn5001.ppd";
    printer.job_id = kJobId;
    fakespooler::install(printer);
}

std::u16string driver_path() { return widen(driver_folder() + "/3/QORKPDN5.so"); }

EXDEVMODE make_devmode(const DevmodeChanges& changes) {
    PpdBlock block{};
    PPD_AttachTables(&block);
    std::string text = test_description();
    PPD_Parse(&block.data, text.data(), static_cast<DWORD>(text.size()));
    EXDEVMODE devmode{};
    EngSetDefaultEXDEVMODE(&devmode, kPrinter, &block.data);
    devmode.Font = changes.font;
    devmode.Bright = changes.bright;
    devmode.dm.dmOrientation = changes.orientation;
    devmode.dm.dmPaperSize = changes.paper;
    devmode.PaperCode = static_cast<WORD>(changes.paper);
    PaperMetrix paper;
    if (CheckPaperMetrix(&paper, static_cast<WORD>(changes.paper), &block.data)) devmode.CurrentPaper = paper;
    devmode.dm.dmFields |= DM_PAPERSIZE | DM_ORIENTATION;
    devmode.CodePage = changes.code_page;
    return devmode;
}

HDC create_dc(const EXDEVMODE& devmode) {
    std::u16string path = driver_path();
    return CreateDCW(path.c_str(), kPrinter, nullptr, &devmode.dm);
}

std::vector<std::string> calls() {
    std::ifstream in(root() + "/standin/calls.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<uint8_t> stream() {
    std::ifstream in(root() + "/standin/stream.bin", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Record> records() {
    std::vector<uint8_t> bytes = stream();
    std::vector<Record> result;
    size_t at = 0;
    bool next_is_image = false;
    for (const std::string& line : calls()) {
        if (line.rfind("write ", 0) != 0) continue;
        size_t length = std::stoul(line.substr(6));
        Record record;
        if (at + length > bytes.size()) break;
        record.bytes.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + length));
        at += length;
        record.image = next_is_image;
        if (!record.image && length >= 8) {
            std::memcpy(&record.type, record.bytes.data(), 2);
            std::memcpy(&record.length, record.bytes.data() + 4, 4);
        }
        next_is_image = !record.image && record.type == 4;
        result.push_back(std::move(record));
    }
    return result;
}

std::vector<uint16_t> record_types() {
    std::vector<uint16_t> types;
    for (const Record& record : records()) types.push_back(record.image ? 0xFFFF : record.type);
    return types;
}

bool print_document(HDC hdc, int pages, const std::function<void(int)>& draw) {
    DOCINFOW doc{sizeof(DOCINFOW), u"test document", nullptr, nullptr, 0};
    if (StartDocW(hdc, &doc) <= 0) return false;
    for (int page = 0; page < pages; ++page) {
        if (StartPage(hdc) <= 0) return false;
        if (draw) draw(page);
        if (EndPage(hdc) <= 0) return false;
    }
    return EndDoc(hdc) > 0;
}

GreyImage grey_image(size_t index, DWORD width) {
    GreyImage image;
    size_t seen = 0;
    for (Record& record : records()) {
        if (!record.image) continue;
        if (seen++ != index) continue;
        image.width = width;
        image.stride = (width + 3) & ~3u;
        image.height = static_cast<DWORD>(record.bytes.size() / image.stride);
        image.bytes = std::move(record.bytes);
        break;
    }
    return image;
}

std::vector<std::string> spooler_calls() { return fakespooler::calls(); }

}  // namespace rendertest

