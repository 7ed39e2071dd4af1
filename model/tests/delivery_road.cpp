#include "delivery_road.h"

#include "qor/support/places.h"
#include "qor/support/utf.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace delivery {

References::References(const std::string& dir)
    : device_([&] {
          qoremu::DeviceOptions options;
          options.tickets_dir = dir;
          options.receive_buffer = 1 << 20;
          return options;
      }()) {
    qor::places::ensure_dir(dir);
}

void References::add(const JobId& id, const std::vector<uint8_t>& bytes) {
    const auto now = qoremu::Clock::now();
    const size_t before = device_.tickets().size();
    for (size_t at = 0; at < bytes.size();) {
        size_t n = std::min(bytes.size() - at, device_.room(now));
        device_.accept(bytes.data() + at, n, now);
        at += n;
        device_.run(now);
    }
    device_.run(now);
    ASSERT_EQ(device_.tickets().size(), before + 1) << id.text();
    const std::string& path = device_.tickets().back();
    by_content_[file_content(path)] = id;
    path_by_id_[id.text()] = path;
}

const JobId* References::find(const std::string& png) const {
    auto it = by_content_.find(png);
    return it == by_content_.end() ? nullptr : &it->second;
}

const std::string& References::path(const JobId& id) const { return path_by_id_.at(id.text()); }

std::string file_content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TicketCount count_tickets(const References& refs, const std::vector<std::string>& tickets) {
    TicketCount count;
    for (const auto& path : tickets) {
        ++count.tickets;
        const JobId* id = refs.find(file_content(path));
        if (!id) {
            ++count.foreign;
            continue;
        }
        ++count.printed[id->text()];
        count.order[{id->round, id->client}].push_back(id->job);
    }
    return count;
}

void DeliveryRoad::SetUp() {
    // While the spooler is down between a kill and its restart, nothing here
    // may start one of its own.
    setenv("QOR_SPOOLER_NO_AUTOSTART", "1", 1);
    // One folder per test, for running several in one process by hand.
    const std::string dir = qortest::sandbox() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    socket_ = dir + "/zemd.sock";
    control_ = dir + "/zemd.ctl";
    tickets_ = dir + "/tickets";
    refs_ = std::make_unique<References>(dir + "/references");
    restart_spooler(false);
    ASSERT_TRUE(spooler_->add_driver("QOR ZEM-D", "QOR ZEM-D Monitor", "QORZEMLM.DLL"));
}

void DeliveryRoad::TearDown() {
    // The registry lives as long as the process's sandbox: the next test
    // in this process adds the printer again.
    std::u16string name = qor::utf8_to_utf16(kPrinter);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (spooler_ && OpenPrinterW(name.data(), &printer, &all)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
    if (spooler_) spooler_->stop();
    if (emulator_.running()) emulator_.kill(SIGTERM);
}

void DeliveryRoad::start_emulator(const std::vector<std::string>& options) {
    if (!options.empty() || emulator_options_.empty()) {
        emulator_options_ = {"--socket", socket_, "--control", control_, "--tickets", tickets_, "--state", "none"};
        emulator_options_.insert(emulator_options_.end(), options.begin(), options.end());
    }
    emulator_ = qortest::Child::spawn("qoremu", emulator_options_);
    ASSERT_TRUE(qortest::eventually([&] { return qoremu::control_command(control_, "stats"); },
                                    std::chrono::seconds(10)));
}

void DeliveryRoad::restart_spooler(bool kill) {
    if (spooler_ && kill) ::kill(spooler_->pid(), SIGKILL);
    spooler_.reset();
    spooler_ = std::make_unique<qorspool::PrivateSpooler>(200);
    ASSERT_TRUE(spooler_->ok());
}

void DeliveryRoad::add_printer(const std::string& port) {
    ASSERT_TRUE(spooler_->add_printer(kPrinter, port, "emu:" + socket_, "QOR ZEM-D"));
}

std::string DeliveryRoad::stat(const std::string& key) const {
    std::vector<std::string> lines;
    if (!qoremu::control_command(control_, "stats", &lines)) return {};
    for (const auto& line : lines)
        if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

void DeliveryRoad::control(const std::string& command) const {
    std::string error;
    ASSERT_TRUE(qoremu::control_command(control_, command, nullptr, &error)) << command << ": " << error;
}

namespace {

class OpenPrinter {
public:
    explicit OpenPrinter(const char* printer) {
        std::u16string name = qor::utf8_to_utf16(printer);
        if (!OpenPrinterW(name.data(), &handle_, nullptr)) handle_ = nullptr;
    }
    ~OpenPrinter() {
        if (handle_) ClosePrinter(handle_);
    }
    OpenPrinter(const OpenPrinter&) = delete;
    OpenPrinter& operator=(const OpenPrinter&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

bool level2(HANDLE printer, DWORD& status, DWORD& jobs) {
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    if (!printer || !GetPrinterW(printer, 2, buffer.data(), DWORD(buffer.size()), &needed)) return false;
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    status = info->Status;
    jobs = info->cJobs;
    return true;
}

}  // namespace

DWORD DeliveryRoad::printer_status() const {
    OpenPrinter printer(kPrinter);
    DWORD status = 0, jobs = 0;
    return level2(printer.get(), status, jobs) ? status : 0xFFFFFFFF;
}

DWORD DeliveryRoad::jobs_left() const {
    OpenPrinter printer(kPrinter);
    DWORD status = 0, jobs = 0;
    return level2(printer.get(), status, jobs) ? jobs : 0xFFFFFFFF;
}

DWORD DeliveryRoad::print(const std::vector<uint8_t>& bytes) const {
    OpenPrinter printer(kPrinter);
    std::u16string document = u"delivery", type = u"RAW";
    DOC_INFO_1W info{document.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(printer.get(), 1, reinterpret_cast<LPBYTE>(&info));
    DWORD written = 0;
    if (!job || !WritePrinter(printer.get(), const_cast<uint8_t*>(bytes.data()), DWORD(bytes.size()), &written) ||
        written != bytes.size() || !EndDocPrinter(printer.get()))
        return 0;
    return job;
}

std::vector<std::string> DeliveryRoad::tickets() const { return qoremu::list_tickets(tickets_); }

}  // namespace delivery
