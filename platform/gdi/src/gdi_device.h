// The engine device: one printer driver instance (its PDEV and band
// surface) behind a device context.
#pragma once

#include "gdi_objects.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qor::gdi {

struct Device final : Object {
    static constexpr Kind kKind = Kind::Device;
    Kind kind() const override { return kKind; }

    HMODULE module = nullptr;
    std::array<PFN, INDEX_LAST + 1> entries{};
    DHPDEV dhpdev = nullptr;
    HDEV hdev = nullptr;  // this device's own handle, given to the driver
    HSURF hsurf = nullptr;
    SURFOBJ* surface = nullptr;
    GDIINFO caps{};
    DEVINFO info{};
    std::atomic<bool> aborted{false};

    template <class F>
    F entry(ULONG index) const {
        return index <= INDEX_LAST ? reinterpret_cast<F>(entries[index]) : nullptr;
    }
};

// Loads the driver module, enables it and creates its PDEV and band surface.
// Null (with the last error) when any step fails.
std::shared_ptr<Device> create_device(const std::u16string& driver_path, const DEVMODEW* devmode,
                                      const std::u16string& device_name, HANDLE printer);

// Disables the PDEV and its surface, releases the driver module and the
// device's handle. Safe to call twice.
void destroy_device(Device& device);

// The driver's PDEV is moved on to a new device mode: a second device is
// created and DrvResetPDEV hands the old one's state over.
std::shared_ptr<Device> reset_device(const std::shared_ptr<Device>& old,
                                     const std::u16string& driver_path, const DEVMODEW* devmode,
                                     const std::u16string& device_name, HANDLE printer);

}  // namespace qor::gdi
