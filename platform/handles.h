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

}  // namespace plat

#endif  // RAINBOW_PLATFORM_HANDLES_H
