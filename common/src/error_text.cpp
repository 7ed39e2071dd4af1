// The message table: every error code the platform layer and the spooler
// hand back to the suite's programs.
#include "common/error_text.h"

#include "qor/ddi.h"
#include "qor/memory.h"
#include "qor/module.h"
#include "qor/spooler.h"
#include "qor/strings.h"

namespace qor::errors {
namespace {

struct Message {
    DWORD code;
    const char* text;
};

constexpr Message kMessages[] = {
    {ERROR_SUCCESS, "no error"},
    {ERROR_INVALID_FUNCTION, "the function is not valid here"},
    {ERROR_FILE_NOT_FOUND, "the file does not exist"},
    {ERROR_PATH_NOT_FOUND, "the folder does not exist"},
    {ERROR_TOO_MANY_OPEN_FILES, "too many files are open"},
    {ERROR_ACCESS_DENIED, "access is denied"},
    {ERROR_INVALID_HANDLE, "the handle is not valid"},
    {ERROR_NOT_ENOUGH_MEMORY, "there is not enough memory"},
    {ERROR_INVALID_ACCESS, "the access asked for is not valid"},
    {ERROR_INVALID_DATA, "the data is not valid"},
    {ERROR_OUTOFMEMORY, "there is not enough memory"},
    {ERROR_NOT_READY, "the device is not ready"},
    {ERROR_BAD_LENGTH, "a length is wrong"},
    {ERROR_WRITE_FAULT, "the device cannot be written to"},
    {ERROR_READ_FAULT, "the device cannot be read from"},
    {ERROR_GEN_FAILURE, "the device does not work"},
    {ERROR_SHARING_VIOLATION, "the file is in use by another process"},
    {ERROR_HANDLE_EOF, "the end of the file was reached"},
    {ERROR_NOT_SUPPORTED, "this is not supported"},
    {ERROR_DEV_NOT_EXIST, "the device does not exist"},
    {ERROR_PRINT_CANCELLED, "the print job was cancelled"},
    {ERROR_FILE_EXISTS, "the file exists already"},
    {ERROR_INVALID_PARAMETER, "a parameter is not valid"},
    {ERROR_BROKEN_PIPE, "the other end of the connection has gone"},
    {ERROR_DISK_FULL, "the disk is full"},
    {ERROR_BAD_DRIVER_LEVEL, "the driver does not support this level"},
    {ERROR_CALL_NOT_IMPLEMENTED, "this is not implemented"},
    {ERROR_SEM_TIMEOUT, "the wait timed out"},
    {ERROR_INSUFFICIENT_BUFFER, "the buffer is too small"},
    {ERROR_INVALID_NAME, "the name is not valid"},
    {ERROR_INVALID_LEVEL, "the information level is not valid"},
    {ERROR_MOD_NOT_FOUND, "the module was not found"},
    {ERROR_PROC_NOT_FOUND, "the module lacks an entry point"},
    {ERROR_NEGATIVE_SEEK, "a position before the start of the file was asked for"},
    {ERROR_NOT_LOCKED, "the memory is not locked"},
    {ERROR_BAD_PATHNAME, "the path is not valid"},
    {ERROR_BUSY, "the resource is busy"},
    {ERROR_ALREADY_EXISTS, "that name exists already"},
    {ERROR_ENVVAR_NOT_FOUND, "the environment variable is not set"},
    {ERROR_NO_DATA, "the connection is being closed"},
    {ERROR_PIPE_NOT_CONNECTED, "nothing is connected at the other end"},
    {ERROR_MORE_DATA, "more data is available"},
    {ERROR_NO_MORE_ITEMS, "there are no more items"},
    {ERROR_NOT_OWNER, "the caller does not own the mutex"},
    {ERROR_INVALID_ADDRESS, "the address is not valid"},
    {ERROR_OPERATION_ABORTED, "the operation was aborted"},
    {ERROR_INVALID_FLAGS, "the flags are not valid"},
    {ERROR_FILE_INVALID, "the file is no longer valid"},
    {ERROR_BADDB, "the registry file is damaged"},
    {ERROR_BADKEY, "the registry key is not valid"},
    {ERROR_CANTOPEN, "the registry key cannot be opened"},
    {ERROR_CANTREAD, "the registry key cannot be read"},
    {ERROR_CANTWRITE, "the registry key cannot be written"},
    {ERROR_KEY_DELETED, "the registry key has been deleted"},
    {ERROR_SERVICE_ALREADY_RUNNING, "the service is running already"},
    {ERROR_SERVICE_DOES_NOT_EXIST, "the service does not exist"},
    {ERROR_SERVICE_EXISTS, "the service exists already"},
    {ERROR_NO_UNICODE_TRANSLATION, "the text cannot be converted"},
    {ERROR_DLL_INIT_FAILED, "the module failed to initialise"},
    {ERROR_IO_DEVICE, "the device reported an input/output error"},
    {ERROR_DEVICE_NOT_CONNECTED, "the device is not connected"},
    {ERROR_NONE_MAPPED, "the account name is unknown"},
    {ERROR_INVALID_SID, "the security identifier is not valid"},
    {ERROR_INVALID_SECURITY_DESCR, "the security descriptor is not valid"},
    {ERROR_NO_SYSTEM_RESOURCES, "the system lacks the resources"},
    {ERROR_TIMEOUT, "the operation timed out"},
    {RPC_S_SERVER_UNAVAILABLE, "the print service cannot be reached"},
    {ERROR_PRINTER_DRIVER_ALREADY_INSTALLED, "the printer driver is installed already"},
    {ERROR_UNKNOWN_PORT, "the port is unknown"},
    {ERROR_UNKNOWN_PRINTER_DRIVER, "the printer driver is unknown"},
    {ERROR_UNKNOWN_PRINTPROCESSOR, "the print processor is unknown"},
    {ERROR_INVALID_PRINTER_NAME, "the printer name is invalid"},
    {ERROR_PRINTER_ALREADY_EXISTS, "the printer exists already"},
    {ERROR_INVALID_PRINTER_COMMAND, "the printer command is not valid"},
    {ERROR_INVALID_DATATYPE, "the data type is not valid"},
    {ERROR_INVALID_ENVIRONMENT, "the driver environment is not valid"},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "the module has no resources"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "the module has no resources of that type"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "the module has no resource of that name"},
    {ERROR_PRINTER_DELETED, "the printer has been deleted"},
    {ERROR_INVALID_PRINTER_STATE, "the printer is not in a state that allows this"},
    {ERROR_UNKNOWN_PRINT_MONITOR, "the print monitor is unknown"},
    {ERROR_PRINTER_DRIVER_IN_USE, "the printer driver is in use by a printer"},
    {ERROR_SPOOL_FILE_NOT_FOUND, "the spool file was not found"},
    {ERROR_SPL_NO_STARTDOC, "no document was started"},
    {ERROR_PRINT_MONITOR_ALREADY_INSTALLED, "the print monitor is installed already"},
    {ERROR_PRINT_MONITOR_IN_USE, "the print monitor is in use by a driver"},
    {ERROR_PRINTER_HAS_JOBS_QUEUED, "the printer has jobs queued"},
    {ERROR_PRINTER_NOT_FOUND, "the printer was not found"},
};

}  // namespace

const char* message(DWORD code) {
    for (const auto& m : kMessages)
        if (m.code == code) return m.text;
    return nullptr;
}

std::string describe(DWORD code) {
    std::string number = "error " + std::to_string(code);
    const char* text = message(code);
    return text ? std::string(text) + " (" + number + ")" : number;
}

}  // namespace qor::errors
