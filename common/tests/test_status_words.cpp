#include "common/error_text.h"
#include "common/status.h"
#include "common/status_names.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cctype>

using qor::status::job_conditions;
using qor::status::join;
using qor::status::printer_conditions;
using Names = std::vector<std::string>;

TEST(StatusNames, PrinterWordsNameEveryConditionTheSuiteReports) {
    EXPECT_EQ(printer_conditions(0), Names{});
    EXPECT_EQ(join(printer_conditions(0), "ready"), "ready");
    EXPECT_EQ(printer_conditions(PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_PRINTING),
              (Names{"paper out", "printing"}));
    EXPECT_EQ(printer_conditions(PRINTER_STATUS_PAUSED | PRINTER_STATUS_OFFLINE), (Names{"paused", "offline"}));
    EXPECT_EQ(printer_conditions(PRINTER_STATUS_NOT_AVAILABLE), Names{"no answer"});
    // This system's own high bits, and the bits it gives its own meaning.
    EXPECT_EQ(printer_conditions(qor::status::kCutterError | qor::status::kPaperNearEnd),
              (Names{"cutter error", "paper near end"}));
    EXPECT_EQ(printer_conditions(qor::status::kAutoRecoverError | qor::status::kCoverOpen),
              (Names{"auto-recovery error", "cover open"}));
    for (DWORD bit = 1; bit; bit <<= 1) {
        if (!(qor::status::kAllPrinterBits & bit)) continue;
        EXPECT_NE(printer_conditions(bit)[0].substr(0, 2), "0x") << bit;
    }
    // A bit nobody defined still shows, as a number.
    EXPECT_EQ(printer_conditions(0x04000000 | PRINTER_STATUS_BUSY), (Names{"busy", "0x04000000"}));
    EXPECT_EQ(join(printer_conditions(PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_ERROR), "ready"),
              "fatal error, paper jam");
}

TEST(StatusNames, JobWords) {
    EXPECT_EQ(job_conditions(0), Names{});
    EXPECT_EQ(job_conditions(JOB_STATUS_SPOOLING), Names{"spooling"});
    EXPECT_EQ(job_conditions(JOB_STATUS_PRINTING | JOB_STATUS_PRINTED), (Names{"printing", "printed"}));
    EXPECT_EQ(job_conditions(JOB_STATUS_PAUSED | JOB_STATUS_DELETING), (Names{"paused", "being cancelled"}));
    EXPECT_EQ(job_conditions(0x80000000), Names{"0x80000000"});
}

TEST(ErrorText, CodesComeWithWordsAndTheNumber) {
    EXPECT_EQ(qor::errors::describe(ERROR_INVALID_PRINTER_NAME), "the printer name is invalid (error 1801)");
    EXPECT_EQ(qor::errors::describe(ERROR_UNKNOWN_PORT), "the port is unknown (error 1796)");
    EXPECT_EQ(qor::errors::describe(ERROR_INVALID_PARAMETER), "a parameter is not valid (error 87)");
    EXPECT_EQ(qor::errors::describe(4711), "error 4711");
    EXPECT_EQ(qor::errors::message(4711), nullptr);
    for (DWORD code : std::initializer_list<DWORD>{ERROR_ACCESS_DENIED, ERROR_BADDB, ERROR_PRINTER_DRIVER_IN_USE, ERROR_UNKNOWN_PRINT_MONITOR,
                       ERROR_PRINTER_ALREADY_EXISTS, ERROR_SPL_NO_STARTDOC, RPC_S_SERVER_UNAVAILABLE}) {
        const char* text = qor::errors::message(code);
        ASSERT_NE(text, nullptr) << code;
        // Reads inside a sentence: lower case, no full stop.
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(text[0]))) << text;
        EXPECT_NE(std::string(text).back(), '.') << text;
    }
}
