// The QORLM2K exports the model module calls, bound by name at load.
#pragma once

#include "qorlm2k.h"

namespace qor::model {

struct Lm2kEntries {
    PFN_QORMonInitCriticalSection init = nullptr;
    PFN_QORMonOpenPortEx open_port = nullptr;
    PFN_QORMonStartDocPort start_doc = nullptr;
    PFN_QORMonWritePort write_port = nullptr;
    PFN_QORMonReadPort read_port = nullptr;
    PFN_QORMonEndDocPort end_doc = nullptr;
    PFN_QORMonClosePort close_port = nullptr;
    PFN_QORMonGetPrinterDataFromPort get_printer_data = nullptr;
    PFN_QORMonShutdown shutdown = nullptr;
    PFN_WriteCommand write_command = nullptr;
    PFN_ReadCommand read_command = nullptr;
    PFN_CheckConnectComPort check_connect = nullptr;
    PFN_ComBreak com_break = nullptr;

    bool complete() const;
};

// Loads QORLM2K and binds every entry; null (with the last error) when the
// library or an entry is missing. Loaded once per process.
const Lm2kEntries* lm2k();

}  // namespace qor::model
