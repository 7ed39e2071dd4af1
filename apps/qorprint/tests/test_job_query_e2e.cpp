// The printer's interface driver deciding in qorspoold whether a job may
// print, with the whole stack: a job whose device mode the driver cannot
// print waits in the queue until SetJob gives it one it can; the "No cut"
// setting reaching the next job's command stream.
#include "e2e_fixture.h"

#include "qor/devmode.h"
#include "qor/registry.h"
#include "qor/spooler.h"
#include "qor/support/utf.h"
#include "qoremu/control_client.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {
namespace {

std::u16string Name() { return qor::utf8_to_utf16(printstack::kPrinter); }

// A handle whose documents carry `devmode` (none when empty).
HANDLE Open(std::vector<uint8_t>* devmode) {
    std::u16string name = Name();
    PRINTER_DEFAULTSW defaults{nullptr, devmode ? reinterpret_cast<DEVMODEW*>(devmode->data()) : nullptr,
                               PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    return OpenPrinterW(name.data(), &h, &defaults) ? h : nullptr;
}

// The driver's own record for the printer.
std::vector<uint8_t> DriverDevMode() {
    HANDLE h = Open(nullptr);
    std::u16string name = Name();
    const LONG size = DocumentPropertiesW(nullptr, h, name.data(), nullptr, nullptr, 0);
    std::vector<uint8_t> bytes(size > 0 ? size_t(size) : 0);
    if (size <= 0 || DocumentPropertiesW(nullptr, h, name.data(), reinterpret_cast<DEVMODEW*>(bytes.data()), nullptr,
                                         DM_OUT_BUFFER) != 1)  // IDOK
        bytes.clear();
    ClosePrinter(h);
    return bytes;
}

DWORD PrintRaw(HANDLE h, const std::string& text) {
    std::u16string doc = u"query", type = u"RAW";
    DOC_INFO_1W info{doc.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&info));
    const std::string data = text + "\n\n\x1D\x56\x41\x10";  // the text and a cut
    DWORD written = 0;
    if (!job || !WritePrinter(h, const_cast<char*>(data.data()), DWORD(data.size()), &written) || !EndDocPrinter(h))
        return 0;
    return job;
}

DWORD JobStatus(HANDLE h, DWORD job) {
    DWORD needed = 0;
    GetJobW(h, job, 2, nullptr, 0, &needed);
    std::vector<uint8_t> buffer(needed);
    if (!needed || !GetJobW(h, job, 2, buffer.data(), needed, &needed)) return 0xFFFFFFFF;
    return reinterpret_cast<JOB_INFO_2W*>(buffer.data())->Status;
}

class JobQueryStack : public PrintStack {
protected:
    // The job waits, refused by the driver; `fix` mends its device mode
    // through SetJob and then it prints.
    void HeldUntilFixed(void (*spoil)(DEVMODEW*), void (*fix)(DEVMODEW*), size_t ticket) {
        std::vector<uint8_t> devmode = DriverDevMode();
        ASSERT_FALSE(devmode.empty());
        spoil(reinterpret_cast<DEVMODEW*>(devmode.data()));
        HANDLE h = Open(&devmode);
        ASSERT_NE(h, nullptr);
        const DWORD job = PrintRaw(h, "held");
        ASSERT_NE(job, 0u);
        EXPECT_TRUE(qortest::eventually([&] { return (JobStatus(h, job) & JOB_STATUS_BLOCKED_DEVQ) != 0; }));
        EXPECT_EQ(qoremu::list_tickets(tickets_).size(), ticket - 1) << "nothing of it reached the printer";
        fix(reinterpret_cast<DEVMODEW*>(devmode.data()));
        JOB_INFO_2W info{};
        info.pDevMode = reinterpret_cast<DEVMODEW*>(devmode.data());
        ASSERT_TRUE(SetJobW(h, job, 2, reinterpret_cast<LPBYTE>(&info), 0));
        EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, ticket, std::chrono::seconds(30)));
        EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
        ClosePrinter(h);
    }
};

TEST_F(JobQueryStack, ThreeCopiesAndHalfScaleWaitUntilTheirDeviceModeIsFixed) {
    HeldUntilFixed([](DEVMODEW* dm) { dm->dmCopies = 3; }, [](DEVMODEW* dm) { dm->dmCopies = 1; }, 1);
    HeldUntilFixed([](DEVMODEW* dm) { dm->dmScale = 50; }, [](DEVMODEW* dm) { dm->dmScale = 100; }, 2);
    // Without a device mode there is nothing to refuse.
    HANDLE h = Open(nullptr);
    ASSERT_NE(PrintRaw(h, "plain"), 0u);
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, 3, std::chrono::seconds(30)));
    ClosePrinter(h);
}

// The newest of `count` kept jobs' streams.
std::string KeptStream(size_t count) {
    std::vector<std::filesystem::path> kept;
    const bool all = qortest::eventually([&] {
        kept.clear();
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(std::getenv("QOR_ROOT")) + "/spool/PRINTERS"))
            if (entry.path().extension() == ".SPL") kept.push_back(entry.path());
        return kept.size() == count;
    });
    if (!all) return {};
    std::sort(kept.begin(), kept.end());
    std::ifstream in(kept.back(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST_F(JobQueryStack, NoCutOnTheOptionsPageLeavesTheNextJobWithoutACut) {
    ASSERT_EQ(qortest::run(qortest::bin_dir() + "/qorctl", {"set-printer", printstack::kPrinter, "+keep-printed"}).status,
              0);
    const std::string text = WriteFile("nocut.txt", "No cut here\n");
    // The emulator ends a ticket at a cut, so the kept jobs' streams are
    // what shows it: cut before the setting, none after it.
    ASSERT_EQ(Print({"--paper", kPaper, text}), 0);
    EXPECT_NE(KeptStream(1).find("\x1D\x56"), std::string::npos) << "a cut by default";

    HANDLE h = Open(nullptr);
    ASSERT_NE(h, nullptr);
    DWORD no_cut = 2;  // what the Options page stores for "No cut"
    std::u16string cutter = u"CUTTER";
    ASSERT_EQ(SetPrinterDataW(h, cutter.data(), REG_DWORD, reinterpret_cast<LPBYTE>(&no_cut), sizeof no_cut), 0u);
    ClosePrinter(h);
    ASSERT_EQ(Print({"--paper", kPaper, text}), 0);
    const std::string stream = KeptStream(2);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.find("\x1D\x56"), std::string::npos) << "no cut command";
}

}  // namespace
}  // namespace e2e
