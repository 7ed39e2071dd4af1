// Tells when a device that went away is back: a printer plugged in again,
// a serial adapter back under its name. A port whose device is missing
// waits for it here instead of for the next retry, so the job goes on as
// soon as the node appears.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace qor::spooler {

class DeviceArrivals {
public:
    // Called on the watcher's thread, with no lock of this class held.
    using Arrived = std::function<void(const std::string& path)>;
    explicit DeviceArrivals(Arrived arrived);
    ~DeviceArrivals();
    DeviceArrivals(const DeviceArrivals&) = delete;
    DeviceArrivals& operator=(const DeviceArrivals&) = delete;

    // Waits for `path` (absolute) to appear, then calls back once. False
    // when it is there already or cannot be watched; the caller then
    // retries on its own schedule.
    bool expect(const std::string& path);
    void stop();

private:
    void run();
    // Lock held. Watches the deepest existing folder on the way to `path`;
    // true when `path` exists.
    bool arm(const std::string& path);

    Arrived arrived_;
    std::mutex mutex_;
    int inotify_ = -1;
    int wake_[2] = {-1, -1};
    bool stopping_ = false;
    std::map<int, std::string> watches_;  // watch descriptor -> folder
    std::set<std::string> expected_;
    std::thread thread_;
};

}  // namespace qor::spooler
