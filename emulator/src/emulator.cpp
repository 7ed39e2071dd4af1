#include "qoremu/emulator.h"

#include <system_error>

#include "qoremu/control_client.h"
#include "server.h"

namespace qoremu {

std::vector<std::string> emulator_arguments(const EmulatorOptions& o) {
    std::vector<std::string> args = {"--name", o.name, "--model", o.model};
    auto add = [&](const char* option, const std::string& value) {
        if (!value.empty()) {
            args.push_back(option);
            args.push_back(value);
        }
    };
    if (!o.socket) args.push_back("--no-socket");
    add("--socket", o.socket_path);
    add("--control", o.control_path);
    if (o.pty) args.push_back("--pty");
    add("--pty-link", o.pty_link);
    add("--tickets", o.tickets_dir);
    add("--state", o.state_path);
    if (o.baud) add("--baud", std::to_string(o.baud));
    if (o.print_speed) add("--print-speed", std::to_string(o.print_speed));
    add("--rx-buffer", std::to_string(o.receive_buffer));
    add("--reset-time", std::to_string(o.reset_ms));
    for (const auto& c : o.conditions) add("--raise", c);
    if (o.silent) args.push_back("--silent");
    return args;
}

std::unique_ptr<Emulator> Emulator::start(const EmulatorOptions& options, std::string* error) {
    auto server = Server::create(options, error);
    if (!server) return nullptr;
    std::unique_ptr<Emulator> emulator(new Emulator());
    emulator->server_ = std::move(server);
    Server* s = emulator->server_.get();
    try {
        emulator->thread_ = std::thread([s] { s->run(); });
    } catch (const std::system_error& e) {
        if (error) *error = std::string("cannot start the emulator's thread: ") + e.what();
        return nullptr;
    }
    return emulator;
}

Emulator::~Emulator() { stop(); }

void Emulator::stop() {
    if (!server_) return;
    server_->stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
}

const std::string& Emulator::socket_path() const { return server_->socket_path(); }
const std::string& Emulator::control_path() const { return server_->control_path(); }
const std::string& Emulator::tickets_dir() const { return server_->tickets_dir(); }
std::string Emulator::pty_path() const { return server_->pty_path(); }

bool Emulator::control(const std::string& command, std::vector<std::string>* lines, std::string* error) {
    return control_command(control_path(), command, lines, error);
}

bool Emulator::wait_for_tickets(size_t count, std::chrono::milliseconds timeout) {
    return qoremu::wait_for_tickets(tickets_dir(), count, timeout);
}

}  // namespace qoremu
