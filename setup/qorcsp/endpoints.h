// The two read-only endpoints: JSON on a local socket
// ($QOR_RUNTIME_DIR/qorcsp.sock, one document per connection) and text
// metrics over HTTP on 127.0.0.1 (port from QOR_CSP_PORT, default 9187;
// 0 picks a free one). The port in use is written to
// $QOR_RUNTIME_DIR/qorcsp.port.
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace qorcsp {

class Endpoints {
public:
    using Render = std::function<std::string()>;
    Endpoints(Render json, Render metrics) : json_(std::move(json)), metrics_(std::move(metrics)) {}
    ~Endpoints();
    Endpoints(const Endpoints&) = delete;
    Endpoints& operator=(const Endpoints&) = delete;

    // Binds both endpoints; false (with a message on stderr) when either fails.
    bool open();
    // Serves until stop() is called from another thread.
    void serve();
    void stop();

private:
    void answer_local(int listener);
    void answer_metrics(int listener);
    Render json_, metrics_;
    int local_ = -1, tcp_ = -1;
    int wake_[2] = {-1, -1};
    std::string socket_path_, port_path_;
};

}  // namespace qorcsp
