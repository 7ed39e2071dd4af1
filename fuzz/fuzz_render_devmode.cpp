// Device modes handed to the rendering driver by callers: device set-up,
// capabilities, device fonts and the band surface's size.
#include "entries.h"
#include "fake_spooler.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void install() {
    char pattern[] = "/tmp/qor-fuzz-render-XXXXXX";
    const char* root = mkdtemp(pattern);
    if (!root) std::abort();
    std::string folder = std::string(root) + "/drivers/3";
    std::string command = "mkdir -p '" + folder + "'";
    if (std::system(command.c_str()) != 0) std::abort();
    const std::string ppd = "DefPaper=768\r\nDefBright=150\r\nNumPaper=2\r\n"
                            "768;\"80 x 297 mm\";80;297;72;297;0;640;2376;576;2376;32;32;0;0;0\r\n"
                            "900;\"odd\";80;5;72;5;0;640;56;577;40;32;16;8;0;0\r\n"
                            "NumUserDef=1\r\n256;\"80 mm\";80;100;72;100;0;640;799;576;799;32;32;0;0;0\r\n"
                            "Name=\"QORSTANDIN.DLL\"\r\n";
    FILE* file = std::fopen((folder + "/qorn5001.ppd").c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(ppd.data(), 1, ppd.size(), file);
    std::fclose(file);
    std::string drivers = std::string(root) + "/drivers";
    fakespooler::Printer printer;
    printer.name = u"ZEM Fuzz";
    printer.driver_folder = std::u16string(drivers.begin(), drivers.end());
    printer.driver_path = printer.driver_folder + u"/3/QORKPDN5.so";
    printer.data_file = printer.driver_folder + u"/3/qorn5001.ppd";
    fakespooler::install(printer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The caller's record, with its own sizes kept inside what was given.
    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() < sizeof(DEVMODEW)) bytes.resize(sizeof(DEVMODEW), 0);
    DEVMODEW head;
    std::memcpy(&head, bytes.data(), sizeof(head));
    if (head.dmSize > bytes.size()) head.dmSize = static_cast<WORD>(bytes.size());
    if (head.dmSize + static_cast<size_t>(head.dmDriverExtra) > bytes.size())
        head.dmDriverExtra = static_cast<WORD>(bytes.size() - head.dmSize);
    std::memcpy(bytes.data(), &head, sizeof(head));
    GDIINFO caps;
    DEVINFO info;
    std::u16string name = u"ZEM Fuzz";
    DHPDEV pdev = DrvEnablePDEV(reinterpret_cast<DEVMODEW*>(bytes.data()), nullptr, 0, nullptr, sizeof(caps),
                                reinterpret_cast<ULONG*>(&caps), sizeof(info), &info, nullptr, name.data(), nullptr);
    if (!pdev) return 0;
    ULONG_PTR id = 0;
    for (ULONG face = 0; face <= 3; ++face) DrvQueryFont(pdev, 0, face, &id);
    HSURF surface = DrvEnableSurface(pdev);
    (void)surface;
    DrvDisableSurface(pdev);
    DrvDisablePDEV(pdev);
    EngDeletePalette(info.hpalDefault);
    return 0;
}
