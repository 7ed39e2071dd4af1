// The installed files agree with the programs: the udev rule matches the
// printers' own device IDs and nobody else's, and the service manager's
// units and folders are the ones the spooler uses.
#include "status.h"

#include "qor/support/places.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fnmatch.h>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

std::string source_file(const std::string& relative) {
    std::ifstream in(std::string(QOR_PACKAGING_DIR) + "/" + relative);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of `key=` (or `key!="..."`) on the line that has it.
std::string value_after(const std::string& text, const std::string& key) {
    auto at = text.find(key);
    if (at == std::string::npos) return {};
    auto start = at + key.size();
    auto end = text.find('\n', start);
    std::string value = text.substr(start, end - start);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.find('"', 1) - 1);
    return value;
}

TEST(InstalledFiles, TheUdevRuleTakesTheZemdPrintersByTheirDeviceIdAndNoOther) {
    std::string rule = source_file("udev/60-qor-zemd.rules");
    std::string pattern = value_after(rule, "ATTRS{ieee1284_id}!=");
    ASSERT_FALSE(pattern.empty()) << rule;
    for (auto model : {qoremu::Model::D510x, qoremu::Model::D610x}) {
        std::string id = qoremu::device_id(model).substr(2);  // without its length bytes
        EXPECT_EQ(fnmatch(pattern.c_str(), id.c_str(), 0), 0) << id;
    }
    for (const char* other : {"MFG:ACME;CMD:ESC/POS;MDL:ZEM-D510x;CLS:PRINTER;",
                              "MFG:QOR;CMD:PCL;MDL:LX-200;CLS:PRINTER;", ""})
        EXPECT_NE(fnmatch(pattern.c_str(), other, 0), 0) << other;
    EXPECT_NE(rule.find("GROUP=\"qor\""), std::string::npos);
    EXPECT_NE(rule.find("SYMLINK+=\"qor/zemd-"), std::string::npos);
}

TEST(InstalledFiles, TheUnitsAndFoldersAreTheOnesTheSpoolerUses) {
    unsetenv("QOR_SYSTEM_ROOT");
    unsetenv("QOR_SYSTEM_RUNTIME_DIR");
    std::string socket = source_file("systemd/qorspoold.socket");
    EXPECT_EQ(value_after(socket, "ListenStream="),
              qor::places::system_runtime_dir() + "/" + qor::places::kSpoolerSocketName);
    EXPECT_EQ(value_after(socket, "SocketMode="), "0666");
    std::string service = source_file("systemd/qorspoold.service");
    EXPECT_EQ(value_after(service, "ExecStart=").rfind("/usr/lib/qor/qorspoold --system", 0), 0u);

    std::string tmpfiles = source_file("systemd/qor.tmpfiles");
    auto line_for = [&](const std::string& path) {
        std::smatch m;
        std::regex re("d " + path + " ([0-7]+) (\\S+) (\\S+)");
        return std::regex_search(tmpfiles, m, re) ? m[1].str() + " " + m[2].str() + ":" + m[3].str() : "";
    };
    EXPECT_EQ(line_for(qor::places::system_root()), "2750 root:qor");
    EXPECT_EQ(line_for(qor::places::system_runtime_dir()), "0755 root:root");
    EXPECT_EQ(line_for(qor::places::system_runtime_dir() + "/objects"), "2770 root:qor");
    EXPECT_EQ(line_for(qor::places::system_runtime_dir() + "/windows"), "3770 root:qor");
}

}  // namespace
