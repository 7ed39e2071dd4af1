// The engine's object table: device contexts, engine devices, surfaces,
// palettes, fonts, brushes and pens behind opaque handles, so a stale or
// forged handle is refused instead of dereferenced.
#pragma once

#include "qor/ddi.h"

#include <memory>

namespace qor::gdi {

enum class Kind : uint32_t { Dc = 1, Device, Surface, Palette, Font, Brush, Pen };

class Object {
public:
    virtual ~Object() = default;
    virtual Kind kind() const = 0;
};

HANDLE insert_object(std::shared_ptr<Object> object);
// Stock objects live for the whole process at fixed handles.
HANDLE insert_stock(int index, std::shared_ptr<Object> object);
std::shared_ptr<Object> lookup_object(HANDLE handle);
bool remove_object(HANDLE handle);
bool is_stock(HANDLE handle);
HANDLE stock_handle(int index);


template <class T>
std::shared_ptr<T> lookup(HANDLE handle) {
    auto object = lookup_object(handle);
    if (!object || object->kind() != T::kKind) return nullptr;
    return std::static_pointer_cast<T>(object);
}

}  // namespace qor::gdi
