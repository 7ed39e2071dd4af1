#include "fixture.h"

#include "qoremu/control_client.h"

namespace emutest {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes le16(int v) { return {uint8_t(v & 0xFF), uint8_t(v >> 8)}; }

void EmulatorTest::start(qoremu::EmulatorOptions options) {
    // Each test case has its own folder, also when one process runs them all.
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string own = qortest::sandbox() + "/" + test->test_suite_name() + "." + test->name();
    if (options.tickets_dir.empty()) options.tickets_dir = own + "/tickets";
    if (options.state_path.empty()) options.state_path = own + "/zemd.state";
    options_ = options;
    std::string error;
    emulator_ = qoremu::Emulator::start(options, &error);
    ASSERT_TRUE(emulator_) << error;
    ASSERT_TRUE(link_.connect(emulator_->socket_path())) << link_.error();
}

void EmulatorTest::stop() {
    link_.close();
    emulator_.reset();
}

void EmulatorTest::send(const Bytes& bytes) {
    ASSERT_EQ(link_.send(bytes.data(), bytes.size(), std::chrono::seconds(10)), long(bytes.size())) << link_.error();
}

Bytes EmulatorTest::receive(size_t count, int timeout_ms) {
    Bytes got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        uint8_t buffer[256];
        long n = link_.receive(buffer, std::min(sizeof(buffer), count - got.size()), std::chrono::milliseconds(20));
        if (n < 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

Bytes EmulatorTest::sync() {
    send({0x12, 0x6C, 0x00});
    Bytes got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        for (size_t i = 0; i + 9 <= got.size(); ++i) {
            if (got[i] != 0x55) continue;
            bool nibbles = true;
            for (size_t k = 1; k <= 8; ++k) nibbles = nibbles && got[i + k] <= 0x0F;
            if (nibbles) return Bytes(got.begin(), got.begin() + long(i));
        }
        uint8_t buffer[64];
        long n = link_.receive(buffer, sizeof(buffer), std::chrono::milliseconds(20));
        if (n < 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    ADD_FAILURE() << "the printer never answered the setting read";
    return got;
}

void EmulatorTest::expect_silence(int ms) {
    uint8_t buffer[64];
    long n = link_.receive(buffer, sizeof(buffer), std::chrono::milliseconds(ms));
    EXPECT_EQ(n, 0) << "unexpected byte " << (n > 0 ? int(buffer[0]) : -1);
}

Image EmulatorTest::ticket(size_t number) {
    Image image;
    if (!emulator_->wait_for_tickets(number)) {
        ADD_FAILURE() << "ticket " << number << " never came";
        return image;
    }
    auto tickets = qoremu::list_tickets(emulator_->tickets_dir());
    std::string error;
    if (!read_png(tickets[number - 1], &image, &error)) ADD_FAILURE() << error;
    return image;
}

std::string EmulatorTest::stat(const std::string& key) {
    std::vector<std::string> lines;
    std::string error;
    if (!emulator_->control("stats", &lines, &error)) {
        ADD_FAILURE() << error;
        return "";
    }
    for (const auto& line : lines)
        if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    ADD_FAILURE() << "no statistic " << key;
    return "";
}

void EmulatorTest::control(const std::string& command) {
    std::string error;
    ASSERT_TRUE(emulator_->control(command, nullptr, &error)) << command << ": " << error;
}

}  // namespace emutest
