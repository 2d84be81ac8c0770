// cleanup.cpp - the leftover registry of cleanup.h. It lives in fixed slots of plain bytes, so
// that the interrupt handler can walk it without allocating. A slot is published by its kind, and
// an identity by its flag, each stored after what it publishes: the handler, which interrupts this
// thread, never sees one half made, and a run takes and forgets its files without a system call.
// Only removing one holds the interrupts, so that a file is not removed twice.
#include "host/cleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "host/console.h"
#include "host/system.h"

namespace uuarc_host {

namespace {

constexpr int kSlotCount = 16;
constexpr size_t kSlotPathSize = 4096;

struct Slot {
    volatile std::sig_atomic_t kind = 0;   // a LeftoverKind
    volatile std::sig_atomic_t identified = 0;
    FileIdentity identity;
    char path[kSlotPathSize] = {};
};

Slot g_slots[kSlotCount];

// What is written before this is seen by the interrupt handler before what is written after it.
void Publish() { std::atomic_signal_fence(std::memory_order_seq_cst); }

// Safe in the interrupt handler: system calls only.
void SettleSlot(Slot& slot) {
    Publish();
    switch (static_cast<LeftoverKind>(slot.kind)) {
        case LeftoverKind::kPrivateFile: RemoveFileNow(slot.path); break;
        case LeftoverKind::kFolder: RemoveFolderNow(slot.path); break;
        case LeftoverKind::kOwnFile:
            if (slot.identified) RemoveOwnFileNow(slot.path, slot.identity);
            break;
        case LeftoverKind::kNone: break;
    }
    slot.kind = static_cast<std::sig_atomic_t>(LeftoverKind::kNone);
}

void SettleEverySlot() {
    for (int i = kSlotCount - 1; i >= 0; --i) SettleSlot(g_slots[i]);
}

void OnInterrupt(int signal_number) {
    ProgressInterrupted();
    SettleEverySlot();
    ExitNow(128 + signal_number);
}

bool Valid(LeftoverId id) { return id >= 0 && id < kSlotCount; }

}  // namespace

LeftoverId Remember(LeftoverKind kind, const std::string& path) {
    if (path.size() >= kSlotPathSize) return kNoLeftover;
    LeftoverId id = kNoLeftover;
    // The first free slot above every used one: settling newest first then goes by the index.
    for (int i = kSlotCount - 1; i >= 0 && g_slots[i].kind == 0; --i) id = i;
    if (id != kNoLeftover) {
        Slot& slot = g_slots[id];
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.identified = 0;
        Publish();
        slot.kind = static_cast<std::sig_atomic_t>(kind);
    }
    return id;
}

bool IdentifyLeftover(LeftoverId id, bool must_be_empty) {
    if (!Valid(id) || g_slots[id].kind == 0) return false;
    if (g_slots[id].identified) return true;
    FileIdentity identity;
    if (!IdentifyOwnFile(g_slots[id].path, must_be_empty, identity)) return false;
    IdentifyLeftoverAs(id, identity);
    return true;
}

void IdentifyLeftoverAs(LeftoverId id, const FileIdentity& identity) {
    if (!Valid(id) || g_slots[id].kind == 0 || g_slots[id].identified) return;
    Slot& slot = g_slots[id];
    slot.identity = identity;
    Publish();
    slot.identified = 1;
}

void Forget(LeftoverId& id) {
    if (!Valid(id)) return;
    g_slots[id].kind = static_cast<std::sig_atomic_t>(LeftoverKind::kNone);
    id = kNoLeftover;
}

void Settle(LeftoverId& id) {
    if (!Valid(id)) return;
    HoldInterrupts();
    SettleSlot(g_slots[id]);
    ReleaseInterrupts();
    id = kNoLeftover;
}

void SettleAll() {
    HoldInterrupts();
    SettleEverySlot();
    ReleaseInterrupts();
}

void SettleOnInterrupt() { InstallInterruptHandler(OnInterrupt); }

}  // namespace uuarc_host
