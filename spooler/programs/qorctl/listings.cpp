// The listing commands: a table for people, JSON for scripts.
#include "commands.h"
#include "output.h"

#include "common/status_names.h"

#include <cstdio>

namespace qorctl {
namespace {

std::string joined(const std::vector<std::string>& names) { return names.empty() ? "-" : qor::status::join(names, ""); }

std::string iso_time(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

int print_out(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    return kOk;
}

}  // namespace

int list_printers(const Args& a, bool json) {
    if (!a.empty()) return usage_error("printers takes no arguments");
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, c);
        }))
        return fail("listing the printers");
    auto* p = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    if (json) {
        std::vector<std::string> items;
        for (DWORD i = 0; i < count; ++i)
            items.push_back(JsonObject()
                                .text("name", narrow(p[i].pPrinterName))
                                .text("port", narrow(p[i].pPortName))
                                .text("driver", narrow(p[i].pDriverName))
                                .number("status", p[i].Status)
                                .raw("conditions", json_strings(qor::status::printer_conditions(p[i].Status)))
                                .number("jobs", p[i].cJobs)
                                .raw("attributes", json_strings(attribute_names(p[i].Attributes)))
                                .str());
        return print_out(JsonObject().raw("printers", json_array(items)).str() + "\n");
    }
    Table table({"PRINTER", "PORT", "DRIVER", "JOBS", "ATTRIBUTES", "STATUS"});
    for (DWORD i = 0; i < count; ++i)
        table.add({narrow(p[i].pPrinterName), narrow(p[i].pPortName), narrow(p[i].pDriverName),
                   std::to_string(p[i].cJobs), joined(attribute_names(p[i].Attributes)),
                   qor::status::join(qor::status::printer_conditions(p[i].Status), "ready")});
    return print_out(table.text());
}

int list_jobs(const Args& a, bool json) {
    if (a.size() != 1) return usage_error("jobs needs PRINTER");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumJobsW(p.get(), 0, 0xFFFFFFFF, 1, b, s, n, c);
        }))
        return fail("listing the jobs of printer " + quoted(a[0]));
    auto* j = reinterpret_cast<JOB_INFO_1W*>(buf.data());
    if (json) {
        std::vector<std::string> items;
        for (DWORD i = 0; i < count; ++i)
            items.push_back(JsonObject()
                                .number("id", j[i].JobId)
                                .number("status", j[i].Status)
                                .raw("conditions", json_strings(qor::status::job_conditions(j[i].Status)))
                                .text("user", narrow(j[i].pUserName))
                                .number("pages", j[i].TotalPages)
                                .number("pages_printed", j[i].PagesPrinted)
                                .number("position", j[i].Position)
                                .text("submitted", iso_time(j[i].Submitted))
                                .text("document", narrow(j[i].pDocument))
                                .str());
        return print_out(JsonObject().text("printer", a[0]).raw("jobs", json_array(items)).str() + "\n");
    }
    Table table({"JOB", "STATUS", "USER", "PAGES", "DOCUMENT"});
    for (DWORD i = 0; i < count; ++i)
        table.add({std::to_string(j[i].JobId), qor::status::join(qor::status::job_conditions(j[i].Status), "queued"),
                   narrow(j[i].pUserName), std::to_string(j[i].TotalPages), narrow(j[i].pDocument)});
    return print_out(table.text());
}

int list_ports(const Args& a) {
    if (!a.empty()) return usage_error("ports takes no arguments");
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) { return EnumPortsW(nullptr, 2, b, s, n, c); }))
        return fail("listing the ports");
    auto* p = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    Table table({"PORT", "MONITOR", "DEVICE AND SETTINGS"});
    for (DWORD i = 0; i < count; ++i)
        table.add({narrow(p[i].pPortName), narrow(p[i].pMonitorName), narrow(p[i].pDescription)});
    return print_out(table.text());
}

int list_drivers(const Args& a) {
    if (!a.empty()) return usage_error("drivers takes no arguments");
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumPrinterDriversW(nullptr, nullptr, 3, b, s, n, c);
        }))
        return fail("listing the drivers");
    auto* d = reinterpret_cast<DRIVER_INFO_3W*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
        std::printf("%s\n  driver  %s\n  data    %s\n  config  %s\n  monitor %s\n", narrow(d[i].pName).c_str(),
                    narrow(d[i].pDriverPath).c_str(), narrow(d[i].pDataFile).c_str(), narrow(d[i].pConfigFile).c_str(),
                    d[i].pMonitorName ? narrow(d[i].pMonitorName).c_str() : "-");
    return kOk;
}

int list_monitors(const Args& a) {
    if (!a.empty()) return usage_error("monitors takes no arguments");
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumMonitorsW(nullptr, 2, b, s, n, c);
        }))
        return fail("listing the monitors");
    auto* m = reinterpret_cast<MONITOR_INFO_2W*>(buf.data());
    Table table({"MONITOR", "MODULE"});
    for (DWORD i = 0; i < count; ++i) {
        std::string module = narrow(m[i].pDLLName);
        table.add({narrow(m[i].pName), module.empty() ? "(built into the service)" : module});
    }
    return print_out(table.text());
}

}  // namespace qorctl
