// What qorcsp's endpoints say for a given set of printer states.
#include "printer_state.h"

#include <gtest/gtest.h>

using qorcsp::PrinterState;

TEST(QorcspRender, JsonAndMetricsCarryEveryPrinterAndCondition) {
    std::vector<PrinterState> states(2);
    states[0].printer = "QOR ZEM-Dx10P";
    states[0].driver = "QOR ZEM-Dx10P";
    states[0].spooler_status = 0x10;
    states[0].block_status = 0x40000010;
    states[0].conditions = {"paper out", "paper near end"};
    states[1].printer = "Kiosk \"B\"";
    states[1].driver = "QOR ZEM-D";
    EXPECT_EQ("{\"ok\":true,\"printers\":[{\"name\":\"QOR ZEM-Dx10P\",\"driver\":\"QOR ZEM-Dx10P\",\"status\":16,"
              "\"block_status\":1073741840,\"conditions\":[\"paper out\",\"paper near end\"]},"
              "{\"name\":\"Kiosk \\\"B\\\"\",\"driver\":\"QOR ZEM-D\",\"status\":0,\"block_status\":null,"
              "\"conditions\":[]}]}\n",
              qorcsp::render_json(states, true));
    EXPECT_EQ("qor_printer_list_ok 1\n"
              "qor_printer_status{printer=\"QOR ZEM-Dx10P\"} 16\n"
              "qor_printer_condition{printer=\"QOR ZEM-Dx10P\",condition=\"paper_out\"} 1\n"
              "qor_printer_condition{printer=\"QOR ZEM-Dx10P\",condition=\"paper_near_end\"} 1\n"
              "qor_printer_status{printer=\"Kiosk \\\"B\\\"\"} 0\n",
              qorcsp::render_metrics(states, true));
    EXPECT_EQ("qor_printer_list_ok 0\n", qorcsp::render_metrics({}, false));
}
