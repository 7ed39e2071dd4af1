#include "ui_testkit.h"

#include "qor/spooler.h"
#include "qortest.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace uitest {

std::string InstalledDescriptionText() {
    std::ifstream file(QOR_DATA_DIR "/qorn5002.ppd", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Description Parse(const std::string& text) {
    Description description;
    PPD_Parse(&description.ppd(), text.data(), static_cast<DWORD>(text.size()));
    return description;
}

std::string FourPaperDescription() {
    std::string text = "DefPaper=301\r\nDefOrient=1\r\nDefDither=3\r\nDefBin=1\r\nNumPaper=4\r\n";
    for (int i = 0; i < 4; ++i) {
        const int width = 40 + 20 * i;
        text += std::to_string(300 + i) + ";\"Paper " + std::to_string(i) + "\";" + std::to_string(width) +
                ";200;" + std::to_string(width - 4) + ";200;0;0;0;0;0;0;0;0;0;0\r\n";
    }
    text += "NumBin=1\r\n\"Roll paper\";1\r\n";
    return text;
}

EXDEVMODE DefaultRecord(const PpdData& ppd) {
    EXDEVMODE record;
    std::memset(&record, 0, sizeof(record));
    EngSetDefaultEXDEVMODE(&record, u"QOR ZEM-D", &ppd);
    return record;
}

namespace {

std::filesystem::path DriverFolder3() {
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 2, 0);
    if (!needed || !GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer.data(), needed, &needed)) return {};
    std::string folder;
    for (const auto* c = reinterpret_cast<const char16_t*>(buffer.data()); *c; ++c)
        folder.push_back(static_cast<char>(*c));
    const std::filesystem::path three = std::filesystem::path(folder) / "3";
    std::error_code error;
    std::filesystem::create_directories(three, error);
    return three;
}

}  // namespace

bool InstallDescription(const std::string& text) {
    const std::filesystem::path three = DriverFolder3();
    if (three.empty()) return false;
    std::ofstream file(three / "qorn5002.ppd", std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool>(file);
}

bool InstallModule() {
    const std::filesystem::path three = DriverFolder3();
    std::error_code error;
    if (three.empty()) return false;
    std::filesystem::create_symlink(qortest::bin_dir() + "/QORCPUN7.so", three / "QORCPUN7.so", error);
    return !error;
}

}  // namespace uitest
