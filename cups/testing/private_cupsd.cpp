#include "private_cupsd.h"

#include <cups/cups.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qorcupstest {
namespace {

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kSystemBin[] = "/usr/lib/cups";

bool WriteText(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream out(path);
    out << text;
    out.close();
    return out && chmod(path.c_str(), mode) == 0;
}

std::string GroupName() {
    const group* g = getgrgid(getgid());
    return g ? g->gr_name : "root";
}

// Polls another process's state (a scheduler's answers) at a pace that
// does not load the machine.
template <class Condition>
bool Poll(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

PrivateCupsd::PrivateCupsd() {
    if (!start(&unavailable_)) stop();
}

PrivateCupsd::~PrivateCupsd() { stop(); }

bool PrivateCupsd::start(std::string* why) {
    namespace fs = std::filesystem;
    if (access(kCupsd, X_OK) != 0 || !fs::is_directory(std::string(kSystemBin) + "/filter")) {
        *why = "CUPS is not installed (Debian packages cups and cups-filters)";
        return false;
    }
    // A scheduler started by root runs the filters as "lp", which must reach
    // the job files through the sandbox (search permission only).
    if (geteuid() == 0) chmod(qortest::sandbox().c_str(), 0711);
    // Each scheduler its own folders, also when test cases share a sandbox.
    static int instance = 0;
    folder_ = qortest::sandbox() + "/cups" + std::to_string(++instance);
    socket_ = folder_ + "/cups.sock";
    std::error_code ec;
    for (const char* sub : {"", "/spool", "/cache", "/state", "/log", "/ppd", "/bin", "/bin/backend"})
        fs::create_directories(folder_ + sub, ec);
    chmod(folder_.c_str(), 0755);
    // The system's filters and helpers, and the suite's backend. Mode 0700
    // makes the scheduler run it as its own user, who owns the print service.
    for (const auto& entry : fs::directory_iterator(kSystemBin, ec)) {
        const std::string name = entry.path().filename();
        if (name != "backend") fs::create_symlink(entry.path(), folder_ + "/bin/" + name, ec);
    }
    if (!WriteText(folder_ + "/bin/backend/qor", "#!/bin/sh\nexec '" + qortest::bin_dir() + "/qor-backend' \"$@\"\n",
                   0700)) {
        *why = "cannot write the backend into " + folder_;
        return false;
    }
    const std::string files =
        "ServerRoot " + folder_ + "\nRequestRoot " + folder_ + "/spool\nCacheDir " + folder_ +
        "/cache\nStateDir " + folder_ + "/state\nTempDir " + folder_ + "/spool\nServerBin " + folder_ +
        "/bin\nDataDir /usr/share/cups\nDocumentRoot /usr/share/cups/doc-root\nAccessLog " + folder_ +
        "/log/access_log\nErrorLog " + folder_ + "/log/error_log\nPageLog " + folder_ +
        "/log/page_log\nSystemGroup " + GroupName() + "\nFileDevice No\n";
    const std::string daemon =
        "Listen " + socket_ +
        "\nLogLevel debug\nMaxLogSize 0\nBrowsing No\nDefaultAuthType None\nWebInterface No\nJobRetryInterval 1\n"
        "MaxJobs 0\nPreserveJobHistory Yes\n"
        "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
        "<Policy default>\n<Limit All>\nOrder allow,deny\nAllow all\n</Limit>\n</Policy>\n";
    if (!WriteText(folder_ + "/cups-files.conf", files) || !WriteText(folder_ + "/cupsd.conf", daemon)) {
        *why = "cannot write the configuration into " + folder_;
        return false;
    }
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    cupsSetServer(socket_.c_str());
    cupsd_ = qortest::Child::spawn(kCupsd, {"-f", "-c", folder_ + "/cupsd.conf", "-s", folder_ + "/cups-files.conf"});
    const bool up = Poll(
        [&] {
            if (cupsd_.wait(std::chrono::milliseconds(0)) >= 0) return true;
            return run("lpstat", {"-r"}).out.find("is running") != std::string::npos;
        },
        std::chrono::seconds(10));
    if (!up || !cupsd_.running()) {
        *why = "cupsd does not start on this machine: " + error_log();
        return false;
    }
    return true;
}

void PrivateCupsd::stop() {
    if (cupsd_.running()) cupsd_.kill(15);
}

qortest::Output PrivateCupsd::run(const std::string& program, const std::vector<std::string>& args) const {
    return qortest::run("/usr/bin/" + program, args, std::chrono::seconds(30));
}

int PrivateCupsd::submit(const std::string& queue, const std::vector<std::string>& options,
                         const std::string& file) const {
    std::vector<std::string> args = {"-d", queue};
    for (const std::string& option : options) {
        args.push_back("-o");
        args.push_back(option);
    }
    args.push_back(file);
    const qortest::Output out = run("lp", args);
    const size_t dash = out.out.rfind(queue + "-");
    if (out.status != 0 || dash == std::string::npos) return 0;
    return std::atoi(out.out.c_str() + dash + queue.size() + 1);
}

CupsJob PrivateCupsd::job(int id) const {
    CupsJob result;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    if (!response) return result;
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) result.state = ippGetInteger(a, 0);
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
        result.message = ippGetString(a, 0, nullptr);
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-media-sheets-completed", IPP_TAG_INTEGER))
        result.pages = ippGetInteger(a, 0);
    ippDelete(response);
    return result;
}

CupsJob PrivateCupsd::wait_done(int id, std::chrono::milliseconds timeout) const {
    CupsJob last;
    Poll(
        [&] {
            last = job(id);
            return last.state >= IPP_JSTATE_CANCELED;
        },
        timeout);
    return last;
}

std::string PrivateCupsd::error_log() const {
    // What the jobs and the scheduler's errors say, without the chatter.
    std::ifstream in(folder_ + "/log/error_log");
    std::string text, line;
    while (std::getline(in, line))
        if ((line.find("[Job ") != std::string::npos && line.find("envp[") == std::string::npos &&
             line.find("argv[") == std::string::npos) ||
            line.rfind("E ", 0) == 0)
            text += line + "\n";
    return text;
}

}  // namespace qorcupstest
