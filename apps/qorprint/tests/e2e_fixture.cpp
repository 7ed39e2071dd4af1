#include "e2e_fixture.h"

#include "qoremu/control_client.h"

#include <png.h>

#include <cstddef>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

Bitmap ReadTicket(const std::string& path) {
    Bitmap b;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << path;
    image.format = PNG_FORMAT_GRAY;
    b.width = static_cast<int>(image.width);
    b.height = static_cast<int>(image.height);
    b.grey.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, b.grey.data(), 0, nullptr));
    return b;
}

std::string WriteRgbPng(const std::string& name, int width, int height, const std::vector<uint8_t>& rgb) {
    const std::string path = qortest::sandbox() + "/" + name;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr));
    return path;
}

std::string EncodeJpeg(int width, int height) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x)
            row[static_cast<size_t>(x)] = static_cast<JSAMPLE>((x * 255 / width) ^ (info.next_scanline * 3));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = qortest::sandbox() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

void PrintStack::SetUp() {
    ASSERT_TRUE(spooler_.ok());
    // Each test its own emulator and tickets, also when the cases share
    // one process and one sandbox.
    static int instance = 0;
    const std::string name = "zemd" + std::to_string(++instance);
    tickets_ = qortest::sandbox() + "/tickets-" + name;
    emulator_ =
        qortest::Child::spawn("qoremu", {"--name", name, "--model", "D510x", "--tickets", tickets_, "--state", "none"});
    const char* runtime = std::getenv("QOR_RUNTIME_DIR");
    ASSERT_NE(runtime, nullptr);
    socket_ = std::string(runtime) + "/qoremu/" + name + ".sock";
    control_ = std::string(runtime) + "/qoremu/" + name + ".ctl";
    ASSERT_TRUE(qoremu::wait_for_path(socket_));
    std::string error;
    ASSERT_TRUE(printstack::InstallPrinter(qortest::bin_dir(), QOR_DATA_DIR, socket_, &error)) << error;
}

void PrintStack::TearDown() {
    spooler_.stop();
    emulator_.kill();
}

int PrintStack::Print(std::vector<std::string> args) {
    args.insert(args.begin(), {"-q", "-P", printstack::kPrinter});
    qortest::Child child = qortest::Child::spawn("qorprint", args);
    return child.wait(std::chrono::seconds(60));
}

Outcome PrintStack::RunQorprint(const std::vector<std::string>& args) {
    const qortest::Output result = qortest::run(qortest::bin_dir() + "/qorprint", args, std::chrono::seconds(120));
    return Outcome{result.status, result.out, result.err};
}

Bitmap PrintStack::FirstTicket() {
    if (!qoremu::wait_for_tickets(tickets_, 1, std::chrono::seconds(60))) {
        // What the printer saw and what the queue holds, for the record.
        std::vector<std::string> lines;
        qoremu::control_command(control_, "stats", &lines);
        std::string seen;
        for (const std::string& line : lines) seen += line + "; ";
        ADD_FAILURE() << "no ticket; printer: " << seen << " queue empty: "
                      << spooler_.wait_idle(printstack::kPrinter, std::chrono::milliseconds(10));
    }
    const auto tickets = qoremu::list_tickets(tickets_);
    if (tickets.empty()) return {};
    return ReadTicket(tickets.front());
}

long PrintStack::Stat(const std::string& key) {
    std::vector<std::string> lines;
    if (!qoremu::control_command(control_, "stats", &lines)) return -1;
    for (const std::string& line : lines)
        if (line.rfind(key + " ", 0) == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    return -1;
}

}  // namespace e2e
