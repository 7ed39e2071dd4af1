#include "printer_link.h"

namespace tool {

CilLink::~CilLink() {
    end();
    unbind();
}

bool CilLink::bind() {
    std::string error;
    return cil_.load(&error);
}

bool CilLink::start(const std::string& printer) {
    if (!cil_.loaded()) return false;
    HANDLE session = nullptr;
    if (!cil_->CILStartSessionA(printer.c_str(), &session)) return false;
    session_ = session;
    return true;
}

bool CilLink::send(const uint8_t* data, size_t length) {
    if (!session_) return false;
    DWORD written = 0;  // not examined: the call's result says it all
    return cil_->CILSetPrinterData(session_, data, static_cast<DWORD>(length), &written);
}

bool CilLink::end() {
    if (!session_) return true;
    if (!cil_->CILEndSession(session_)) return false;
    session_ = nullptr;
    return true;
}

void CilLink::unbind() {
    if (!session_) cil_.unload();
}

}  // namespace tool
