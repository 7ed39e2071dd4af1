// status: chooses which printer conditions the status monitor announces.
#include "settings_dialog.h"

#include "qor/kernel.h"

int main() {
    // One settings program at a time; a second start ends without a word.
    HANDLE single = CreateMutexA(nullptr, FALSE, status::kMutexName);
    if (!single || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    status::StatusSettings settings;
    status::StatusModel model(settings);
    status::run_settings_dialog(model);
    CloseHandle(single);
    return 0;
}
