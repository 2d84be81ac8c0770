// notify.cpp - the host's callbacks, called from one place (notify.h).
#include "operations/notify.h"

namespace uuarc {

void NotifyFileName(const Job& job, const char* source, const char* target) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.file_name != nullptr) callbacks.file_name(callbacks.file_name_user, source, target);
}

void NotifyOutputOpen(const Job& job, int64_t length) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, length, UUARC_SIGNAL_OUTPUT_OPEN);
}

void NotifyBytesDelivered(const Job& job, int64_t bytes) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, bytes, UUARC_SIGNAL_BYTES_DELIVERED);
}

void NotifySourceChanged(const Job& job, int64_t bytes) {
#if !defined(_WIN32) || defined(_WIN64)
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, bytes, UUARC_SIGNAL_SOURCE_CHANGED);
#else
    (void)job;
    (void)bytes;
#endif
}
#if defined(UUARC_SIGNAL_ENTRY_DONE)
void NotifyEntryDone(const Job& job, uint16_t status) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, status, UUARC_SIGNAL_ENTRY_DONE);
}
#endif

void NotifyFactField(const Job& job, int32_t code, int64_t value) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.signal != nullptr) callbacks.signal(callbacks.signal_user, value, code);
}

bool CanAskToReplace(const Job& job) { return job.callbacks->ok_to_replace != nullptr; }

int32_t AskToReplace(const Job& job, FindData* existing, FindData* incoming) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.ok_to_replace == nullptr) return 0;
    return callbacks.ok_to_replace(callbacks.ok_to_replace_user, existing, incoming);
}

ProgressPacer StartProgress(int64_t size, int64_t first_after) {
    ProgressPacer pacer;
    pacer.size = size;
    pacer.step = size / 100;
    pacer.threshold = first_after;
    return pacer;
}

void ReportProgress(const Job& job, ProgressPacer& pacer) {
    const Callbacks& callbacks = *job.callbacks;
    if (callbacks.progress != nullptr) {
        callbacks.progress(callbacks.progress_user, ProgressPercent(pacer.done, pacer.size),
                           static_cast<int32_t>(pacer.since_last));
    }
    pacer.threshold += pacer.step;
    pacer.since_last = 0;
}

int32_t ProgressPercent(int64_t done, int64_t size) {
    if (size <= 0 || done >= size) return 100;
    if (done <= 0) return 0;
    return static_cast<int32_t>(done * 100 / size);
}

}  // namespace uuarc
