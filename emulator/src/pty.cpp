#include "pty.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace qoremu {

PseudoTerminal::~PseudoTerminal() { close(); }

void PseudoTerminal::close() {
    if (held_slave_ >= 0) ::close(held_slave_);
    if (master_ >= 0) ::close(master_);
    held_slave_ = master_ = -1;
    if (!link_.empty()) ::unlink(link_.c_str());
    path_.clear();
}

bool PseudoTerminal::open(const std::string& link, std::string* error) {
    close();
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (error) *error = std::string("pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) ::close(master);
        return false;
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof(name)) != 0) {
        if (error) *error = std::string("ptsname: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        if (error) *error = std::string(name) + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    termios mode;
    if (::tcgetattr(slave, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(slave, TCSANOW, &mode);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    held_slave_ = slave;
    path_ = name;
    if (!link.empty()) {
        std::string temporary = link + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(name, temporary.c_str()) != 0 || std::rename(temporary.c_str(), link.c_str()) != 0) {
            if (error) *error = link + ": " + std::strerror(errno);
            close();
            return false;
        }
        link_ = link;
    }
    return true;
}

}  // namespace qoremu
