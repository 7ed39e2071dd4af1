#include "qor/ui/window_directory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qor::windir {
namespace {

// Records and packets are little-endian on every platform we build for;
// the fixed parts below are what crosses the process boundary.
constexpr uint32_t kRecordMagic = 0x4E495751;  // "QWIN"
constexpr uint32_t kPacketMagic = 0x54535051;  // "QPST"
constexpr uint16_t kVersion = 1;
constexpr size_t kMaxText = 1024;       // units of a title, class or property name
constexpr size_t kMaxProperties = 64;

#pragma pack(push, 1)
struct RecordHeader {
    uint32_t magic;
    uint16_t version;
    uint16_t header_size;
    uint32_t pid;
    uint32_t flags;
    uint64_t handle;
    uint16_t class_length;
    uint16_t title_length;
    uint16_t property_count;
    uint16_t reserved;
};
struct PropertyHeader {
    uint64_t value;
    uint16_t name_length;
    uint16_t reserved;
};
struct PacketHeader {
    uint32_t magic;
    uint32_t request;
    uint64_t handle;
    uint32_t message;
    uint16_t has_text;
    uint16_t text_length;
    uint64_t wparam;
    int64_t lparam;
};
#pragma pack(pop)
static_assert(sizeof(RecordHeader) == 32 && offsetof(RecordHeader, pid) == 8 && offsetof(RecordHeader, handle) == 16 &&
              offsetof(RecordHeader, class_length) == 24 && offsetof(RecordHeader, property_count) == 28);
static_assert(sizeof(PropertyHeader) == 12 && offsetof(PropertyHeader, name_length) == 8);
static_assert(sizeof(PacketHeader) == 40 && offsetof(PacketHeader, handle) == 8 && offsetof(PacketHeader, message) == 16 &&
              offsetof(PacketHeader, text_length) == 22 && offsetof(PacketHeader, wparam) == 24 &&
              offsetof(PacketHeader, lparam) == 32);
// One datagram holds a packet; longer texts are refused when sending.
constexpr size_t kMaxPacket = kMaxPacketSize;
static_assert(kMaxPacket == sizeof(PacketHeader) + 2 * kMaxText);

void put(std::vector<uint8_t>& out, const void* data, size_t size) {
    auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

void put_text(std::vector<uint8_t>& out, const std::u16string& text) { put(out, text.data(), 2 * text.size()); }

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    template <class T>
    bool read(T& value) {
        if (sizeof(T) > size_ - pos_) return false;
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return true;
    }
    bool text(size_t units, std::u16string& out) {
        if (units > kMaxText || 2 * units > size_ - pos_) return false;
        out.resize(units);
        std::memcpy(out.data(), data_ + pos_, 2 * units);
        pos_ += 2 * units;
        return true;
    }
    bool skip_to(size_t offset) {
        if (offset < pos_ || offset > size_) return false;
        pos_ = offset;
        return true;
    }
    bool at_end() const { return pos_ == size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string record_path(uint32_t pid, uint64_t handle) {
    char name[64];
    std::snprintf(name, sizeof name, "/%u-%llx.win", pid, static_cast<unsigned long long>(handle));
    return directory() + name;
}

std::string socket_path(uint32_t pid) { return directory() + "/" + std::to_string(pid) + ".sock"; }

bool alive(uint32_t pid) { return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

bool fill_address(uint32_t pid, sockaddr_un& address) {
    std::string path = socket_path(pid);
    if (path.size() >= sizeof address.sun_path) return false;
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::optional<std::vector<uint8_t>> read_small_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> data(64 * 1024);
    ssize_t got = read(fd, data.data(), data.size());
    close(fd);
    if (got < 0) return std::nullopt;
    data.resize(static_cast<size_t>(got));
    return data;
}

}  // namespace

std::vector<uint8_t> encode_record(const WindowRecord& record) {
    RecordHeader header{kRecordMagic,
                        kVersion,
                        sizeof(RecordHeader),
                        record.pid,
                        record.flags,
                        record.handle,
                        static_cast<uint16_t>(std::min(record.class_name.size(), kMaxText)),
                        static_cast<uint16_t>(std::min(record.title.size(), kMaxText)),
                        static_cast<uint16_t>(std::min(record.properties.size(), kMaxProperties)),
                        0};
    std::vector<uint8_t> out;
    put(out, &header, sizeof header);
    put_text(out, record.class_name.substr(0, header.class_length));
    put_text(out, record.title.substr(0, header.title_length));
    for (size_t i = 0; i < header.property_count; ++i) {
        const auto& [name, value] = record.properties[i];
        PropertyHeader property{value, static_cast<uint16_t>(std::min(name.size(), kMaxText)), 0};
        put(out, &property, sizeof property);
        put_text(out, name.substr(0, property.name_length));
    }
    return out;
}

std::optional<WindowRecord> decode_record(const uint8_t* data, size_t size) {
    Cursor in(data, size);
    RecordHeader header;
    if (!in.read(header) || header.magic != kRecordMagic || header.version != kVersion ||
        header.header_size < sizeof header || !in.skip_to(header.header_size) ||
        header.property_count > kMaxProperties)
        return std::nullopt;
    WindowRecord record;
    record.pid = header.pid;
    record.flags = header.flags;
    record.handle = header.handle;
    if (!in.text(header.class_length, record.class_name) || !in.text(header.title_length, record.title))
        return std::nullopt;
    for (uint16_t i = 0; i < header.property_count; ++i) {
        PropertyHeader property;
        std::u16string name;
        if (!in.read(property) || !in.text(property.name_length, name)) return std::nullopt;
        record.properties.emplace_back(std::move(name), property.value);
    }
    if (!in.at_end()) return std::nullopt;
    return record;
}

std::vector<uint8_t> encode_packet(const Packet& packet) {
    PacketHeader header{kPacketMagic,
                        static_cast<uint32_t>(packet.request),
                        packet.handle,
                        packet.message,
                        static_cast<uint16_t>(packet.has_text),
                        static_cast<uint16_t>(std::min(packet.text.size(), kMaxText)),
                        packet.wparam,
                        packet.lparam};
    std::vector<uint8_t> out;
    put(out, &header, sizeof header);
    put_text(out, packet.text.substr(0, header.text_length));
    return out;
}

std::optional<Packet> decode_packet(const uint8_t* data, size_t size) {
    Cursor in(data, size);
    PacketHeader header;
    if (!in.read(header) || header.magic != kPacketMagic || header.request < 1 || header.request > 4 ||
        header.has_text > 1)
        return std::nullopt;
    Packet packet;
    packet.request = static_cast<Request>(header.request);
    packet.handle = header.handle;
    packet.message = header.message;
    packet.wparam = header.wparam;
    packet.lparam = header.lparam;
    packet.has_text = header.has_text;
    if (!in.text(header.text_length, packet.text) || !in.at_end()) return std::nullopt;
    return packet;
}

std::string directory() {
    const char* runtime = std::getenv("QOR_RUNTIME_DIR");
    std::string base = runtime && *runtime ? runtime : "/tmp/qor-" + std::to_string(getuid());
    mkdir(base.c_str(), 0700);
    std::string folder = base + "/windows";
    mkdir(folder.c_str(), 0700);
    return folder;
}

bool publish(const WindowRecord& record) {
    std::vector<uint8_t> bytes = encode_record(record);
    std::string path = record_path(record.pid, record.handle);
    std::string temporary = path + ".new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void withdraw(uint64_t handle) { unlink(record_path(static_cast<uint32_t>(getpid()), handle).c_str()); }

std::vector<WindowRecord> list() {
    std::vector<WindowRecord> records;
    std::string folder = directory();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return records;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".win") != 0) continue;
        std::string path = folder + "/" + name;
        auto bytes = read_small_file(path);
        if (!bytes) continue;
        auto record = decode_record(bytes->data(), bytes->size());
        // The file name must agree with the record, so one process cannot
        // speak for another's windows through a record it wrote.
        if (!record || record_path(record->pid, record->handle) != path) continue;
        if (!alive(record->pid)) {
            unlink(path.c_str());
            unlink(socket_path(record->pid).c_str());
            continue;
        }
        records.push_back(std::move(*record));
    }
    closedir(dir);
    return records;
}

bool send(uint32_t pid, const Packet& packet) {
    if (packet.text.size() > kMaxText) return false;
    sockaddr_un address;
    if (!fill_address(pid, address)) return false;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    std::vector<uint8_t> bytes = encode_packet(packet);
    ssize_t sent = sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                          sizeof address);
    close(fd);
    return sent == static_cast<ssize_t>(bytes.size());
}

int broadcast(uint32_t message, uint64_t wparam, const std::u16string& text) {
    int reached = 0;
    for (const WindowRecord& record : list()) {
        Packet packet;
        packet.request = Request::kPost;
        packet.handle = record.handle;
        packet.message = message;
        packet.wparam = wparam;
        packet.has_text = true;
        packet.text = text;
        if (send(record.pid, packet)) ++reached;
    }
    return reached;
}

int listener() {
    static int fd = [] {
        sockaddr_un address;
        uint32_t pid = static_cast<uint32_t>(getpid());
        if (!fill_address(pid, address)) return -1;
        int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0) return -1;
        unlink(address.sun_path);  // a dead process of the same number left it
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(s);
            return -1;
        }
        return s;
    }();
    return fd;
}

std::optional<Packet> receive(int fd) {
    uint8_t buffer[kMaxPacket + 1];
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return std::nullopt;
    return decode_packet(buffer, static_cast<size_t>(got));
}

}  // namespace qor::windir
