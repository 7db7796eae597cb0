// Handles: 32-bit tagged table indices, never pointers.
//
//   bits  0-15  the slot in the object's table
//   bits 16-23  the slot's generation, changed each time the slot is reused
//   bits 24-30  the kind of object
//
// Win64 programs may keep GDI handles in 32-bit fields (OLE_HANDLE), as real
// Win32 handles allow, so every handle must survive a round trip through 32
// bits; bit 31 stays clear, so sign extension (LongToHandle) changes nothing.
// A value of another kind, a stale generation or a slot out of range is
// recognised without touching memory it names.
#ifndef RAINBOW_PLATFORM_HANDLES_H
#define RAINBOW_PLATFORM_HANDLES_H

#include <stdint.h>

#include <mutex>
#include <vector>

namespace plat {

enum HandleKind : uint32_t {
  kWindowHandle = 0x11,
  kDcHandle = 0x21,
  kGdiHandle = 0x31,  // brushes and bitmaps share one table, as in Win32
  kIconHandle = 0x41,
  kKernelHandle = 0x51,  // threads and files
  kGlobalHandle = 0x61,  // movable global memory blocks
};

const uint32_t kHandleSlots = 0x10000;
const uint32_t kGenerations = 0x100;

template <typename H>
H make_handle(HandleKind kind, uint32_t slot, uint32_t generation) {
  const uint32_t v =
      static_cast<uint32_t>(kind) << 24 | (generation % kGenerations) << 16 | (slot % kHandleSlots);
  return reinterpret_cast<H>(static_cast<uintptr_t>(v));
}

// Splits `h` into slot and generation; false unless it is a handle of `kind`
// (bits above 31 included: a pointer is never mistaken for a handle).
template <typename H>
bool split_handle(H h, HandleKind kind, uint32_t* slot, uint32_t* generation) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if ((v >> 24) != static_cast<uintptr_t>(kind)) return false;
  *slot = static_cast<uint32_t>(v & 0xFFFF);
  *generation = static_cast<uint32_t>((v >> 16) & 0xFF);
  return true;
}

// A table of objects of one kind named by handles, its slots reused with a
// new generation, so that a handle to something deleted stays invalid.
// Every member but `lock` is for a caller holding `lock`.
template <typename T, HandleKind Kind>
struct HandleTable {
  struct Slot {
    uint32_t generation = 0;
    bool used = false;
    T value = T();
  };
  std::mutex lock;
  std::vector<Slot> slots;

  explicit HandleTable(uint32_t size) : slots(size) {}

  // The object a live handle names, or null.
  template <typename H>
  T* find(H h) {
    uint32_t slot = 0, generation = 0;
    if (!split_handle(h, Kind, &slot, &generation) || slot >= slots.size()) return nullptr;
    Slot& s = slots[slot];
    return s.used && s.generation % kGenerations == generation ? &s.value : nullptr;
  }
  // Stores `value` in a free slot from `first` on; null when the table is full.
  template <typename H>
  H add(T value, uint32_t first = 0) {
    for (uint32_t i = first; i < slots.size(); ++i) {
      if (slots[i].used) continue;
      slots[i].used = true;
      slots[i].value = std::move(value);
      return make_handle<H>(Kind, i, slots[i].generation);
    }
    return nullptr;
  }
  // Frees the slot a live handle names (check it with find first); the old
  // handle stops working.  Returns the object, so that the caller can
  // destroy it after unlocking.
  template <typename H>
  T remove(H h) {
    uint32_t slot = 0, generation = 0;
    split_handle(h, Kind, &slot, &generation);
    Slot& s = slots[slot];
    T gone = std::move(s.value);
    s.value = T();
    s.used = false;
    ++s.generation;
    return gone;
  }
  template <typename H>
  H handle_of(uint32_t slot) const {
    return make_handle<H>(Kind, slot, slots[slot].generation);
  }
};

}  // namespace plat

#endif  // RAINBOW_PLATFORM_HANDLES_H
