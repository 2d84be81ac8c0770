// notify.h - every call an operation makes to the host: the names being worked on, the signal
// that the output is open, the replace question and the paced progress reports. A callback that
// the host has not registered is skipped; only the replace question's answer is read.
#pragma once

#include <cstdint>

#include "operations/job.h"

namespace uuarc {

// SetFileNameProc: the file being read and the one being written (or the entry's name).
void NotifyFileName(const Job& job, const char* source, const char* target);

// SetSignalProc: the output is open; `length` is the archive's length (code 2).
void NotifyOutputOpen(const Job& job, int64_t length);

// SetSignalProc: a standard output or null output has taken `bytes` bytes, all it will (code 3).
void NotifyBytesDelivered(const Job& job, int64_t bytes);

// SetSignalProc: creation ends with status 5 because the source did not hold the size that the
// header states (code 4) after `bytes` were read. Not in the 32-bit Windows build: the hosts of
// that module know no code but the one that says the output is open.
void NotifySourceChanged(const Job& job, int64_t bytes);

// SetSignalProc: one field of a fact (facts.h), `code` a UUARC_SIGNAL_FACT code. Called only
// where the host asked for facts.
void NotifyFactField(const Job& job, int32_t code, int64_t value);

#if defined(UUARC_SIGNAL_ENTRY_DONE)
// SetSignalProc: a file of a text of several files is done, with `status` (code 5).
void NotifyEntryDone(const Job& job, uint16_t status);
#endif

// Whether the host asks to be asked before a file is replaced (OkToReplaceProc is registered).
bool CanAskToReplace(const Job& job);

// OkToReplaceProc: 0 lets the module replace the existing file, as does a host without the
// callback; any other value is the host's refusal, passed back as it came.
int32_t AskToReplace(const Job& job, FindData* existing, FindData* incoming);

// Progress for both directions: the bytes of a file of `size` bytes (the archive while
// extracting, the source while creating) are counted as they are taken in, and a report goes out
// each time the count passes the next hundredth of the size, with the percentage and the bytes
// since the report before.
struct ProgressPacer {
    int64_t size = 0;
    int64_t step = 0;       // a hundredth of the size
    int64_t done = 0;
    int64_t threshold = 0;  // the count that the next report waits for
    int64_t since_last = 0;
};

// A pacer for `size` bytes whose first report comes once the count passes `first_after`.
ProgressPacer StartProgress(int64_t size, int64_t first_after);

// Reports the count (ProgressPercent of it, and the bytes since the report before) and sets the
// next threshold. AdvanceProgress calls it when the count has passed the threshold.
void ReportProgress(const Job& job, ProgressPacer& pacer);

// Counts `bytes` more and reports when the count has passed the threshold. Inline: the decoding
// and encoding loops count every line, and only about one in a hundred lines is reported.
inline void AdvanceProgress(const Job& job, ProgressPacer& pacer, int64_t bytes) {
    pacer.done += bytes;
    pacer.since_last += bytes;
    if (pacer.done > pacer.threshold) ReportProgress(job, pacer);
}

// How many more bytes the count may take before the next report is due (0: the next one makes it).
inline int64_t BytesBeforeReport(const ProgressPacer& pacer) {
    return pacer.threshold > pacer.done ? pacer.threshold - pacer.done : 0;
}

// A progress percentage for `done` of `size` bytes, between 0 and 100, also when the size was
// unknown (0) or smaller than what was read.
int32_t ProgressPercent(int64_t done, int64_t size);

}  // namespace uuarc
