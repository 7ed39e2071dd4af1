#include "driver_strings.h"

#include "context.h"

#include "qor/module.h"

std::u16string DriverString(UINT id) {
    WCHAR buffer[512];
    const int length = LoadStringW(DriverModule(), id, buffer, 512);
    return length > 0 ? std::u16string(buffer, static_cast<size_t>(length)) : std::u16string();
}
