// Enabling a printer driver: its function table, PDEV and band surface.
#include "gdi_device.h"

#include "gdi_module.h"

namespace qor::gdi {
namespace {

bool enable_driver(Device& device, const std::u16string& driver_path) {
    device.module = load_module(driver_path.c_str());
    if (!device.module) return false;
    auto enable = reinterpret_cast<PFN_DrvEnableDriver>(module_entry(device.module, "DrvEnableDriver"));
    if (!enable) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    DRVENABLEDATA data{};
    if (!enable(DDI_DRIVER_VERSION_NT5, sizeof(data), &data)) return false;
    if (data.iDriverVersion < DDI_DRIVER_VERSION_NT5 || !data.pdrvfn) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    for (ULONG i = 0; i < data.c; ++i) {
        if (data.pdrvfn[i].iFunc <= INDEX_LAST) device.entries[data.pdrvfn[i].iFunc] = data.pdrvfn[i].pfn;
    }
    // A printer driver without these cannot print a page.
    for (ULONG index : {INDEX_DrvEnablePDEV, INDEX_DrvCompletePDEV, INDEX_DrvDisablePDEV,
                        INDEX_DrvEnableSurface, INDEX_DrvDisableSurface}) {
        if (!device.entries[index]) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return false;
        }
    }
    return true;
}

std::shared_ptr<Device> enable_device(const std::u16string& driver_path, const DEVMODEW* devmode,
                                      const std::u16string& device_name, HANDLE printer) {
    auto device = std::make_shared<Device>();
    if (!enable_driver(*device, driver_path)) {
        DWORD error = GetLastError();
        destroy_device(*device);
        SetLastError(error ? error : ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    device->hdev = insert_object(device);
    std::u16string name = device_name;
    auto enable_pdev = device->entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV);
    device->dhpdev = enable_pdev(const_cast<DEVMODEW*>(devmode), nullptr, 0, nullptr,
                                 sizeof(device->caps), reinterpret_cast<ULONG*>(&device->caps),
                                 sizeof(device->info), &device->info, device->hdev, name.data(), printer);
    if (!device->dhpdev) {
        DWORD error = GetLastError();
        destroy_device(*device);
        SetLastError(error ? error : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    device->entry<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV)(device->dhpdev, device->hdev);
    return device;
}

bool enable_surface(Device& device) {
    device.hsurf = device.entry<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(device.dhpdev);
    if (!device.hsurf) return false;
    device.surface = EngLockSurface(device.hsurf);
    return device.surface != nullptr;
}

}  // namespace

void destroy_device(Device& device) {
    if (device.dhpdev) {
        if (device.hsurf) device.entry<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(device.dhpdev);
        device.entry<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(device.dhpdev);
    }
    // The default palette was handed to the engine with the device.
    if (device.info.hpalDefault) EngDeletePalette(device.info.hpalDefault);
    device.info.hpalDefault = nullptr;
    device.dhpdev = nullptr;
    device.hsurf = nullptr;
    device.surface = nullptr;
    free_module(device.module);
    device.module = nullptr;
    if (device.hdev) remove_object(device.hdev);
    device.hdev = nullptr;
}

std::shared_ptr<Device> create_device(const std::u16string& driver_path, const DEVMODEW* devmode,
                                      const std::u16string& device_name, HANDLE printer) {
    auto device = enable_device(driver_path, devmode, device_name, printer);
    if (device && !enable_surface(*device)) {
        DWORD error = GetLastError();
        destroy_device(*device);
        SetLastError(error ? error : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return device;
}

std::shared_ptr<Device> reset_device(const std::shared_ptr<Device>& old,
                                     const std::u16string& driver_path, const DEVMODEW* devmode,
                                     const std::u16string& device_name, HANDLE printer) {
    auto device = enable_device(driver_path, devmode, device_name, printer);
    if (!device) return nullptr;
    auto reset = device->entry<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV);
    if (reset && old && old->dhpdev && !reset(old->dhpdev, device->dhpdev)) {
        DWORD error = GetLastError();
        destroy_device(*device);
        SetLastError(error);
        return nullptr;
    }
    if (!enable_surface(*device)) {
        DWORD error = GetLastError();
        destroy_device(*device);
        SetLastError(error ? error : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return device;
}

}  // namespace qor::gdi
