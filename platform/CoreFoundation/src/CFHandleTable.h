// The table of live objects behind native handles, and the home of their reference counts.
//
// A slot holds one 64-bit word: the handle of the object in it (upper half) and its reference
// count (lower half). A handle is the slot index (low 22 bits, never 0) with the slot's
// generation above it; a slot gets a new generation each time it is freed. Slots live in
// segments that are never freed, so a stale handle can always be checked safely.
#pragma once
#include <atomic>
#include <cstdint>

namespace cf::handles {

inline constexpr uint32_t indexBits = 21;
inline constexpr uint32_t indexMask = (1u << indexBits) - 1;
inline constexpr uint32_t generationShift = indexBits + 1;

inline uint32_t makeHandle(uint32_t generation, uint32_t index) {
    return generation << generationShift | index << 1;
}
inline uint32_t indexOf(uint32_t handle) {
    return handle >> 1 & indexMask;
}
inline uint32_t generationOf(uint32_t handle) {
    return handle >> generationShift;
}
inline constexpr uint32_t immortalCount = 0xffffffffu;
// A count this high can only come from references that are never dropped: the object is then
// kept for good rather than let the count run into the handle's half of the word.
inline constexpr uint32_t saturatedCount = 0x80000000u;

struct Slot {
    std::atomic<uint64_t> word{0};
    std::atomic<void*> object{nullptr};
};

// A slot for the object, with a count of 1 (or immortal); 0 when the table is full.
uint32_t insert(void* object, bool immortal);
// The slot of a handle that was issued; nullptr for one that never was.
Slot* slotOf(uint32_t handle);
// Frees the slot of an object whose count went to 0; its handle dies now.
void remove(uint32_t handle);
// Makes a live object immortal: its count stays and retain and release do nothing.
void makeImmortal(void* object, uint32_t handle);

inline uint32_t handleOf(uint64_t word) {
    return static_cast<uint32_t>(word >> 32);
}
inline uint32_t countOf(uint64_t word) {
    return static_cast<uint32_t>(word);
}

} // namespace cf::handles
