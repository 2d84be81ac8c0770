// output_file.h - the creation of an output file, shared by extraction and archive creation: the
// host's replace question, the open that creates the missing directories on the way, and the
// replacing of an existing file, which keeps the old one until the new one is whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "operations/job.h"
#include "uuarc.h"

namespace uuarc {

// Longest output path that fits the find-data record's name field, terminator not counted, and
// the buffers that hold one.
constexpr size_t kMaxOutputPath = UUARC_MAX_OUTPUT_PATH;
constexpr size_t kOutputNameSize = 264;

// One output goes through these in turn: OutputPathWritable, ConfirmReplace, OpenOutputFile,
// FinishOutputFile. The directory it goes in is opened once, by the first, and held until the
// last (or until a refusal on the way), so that the question, the open and the final rename are
// all about that one directory, whatever is renamed or linked on its path meanwhile.
//
// The directories of the path: those of its first `trusted` bytes (the host's output folder, or
// the whole folder of a target the host named) are taken as the path resolves, links and all;
// each directory below them (from a stored name) is entered relative to the one above and never
// through a link (POSIX: openat with O_NOFOLLOW; Win32: a junction or symbolic link is refused).
//
// How an output is written:
//   - a new file (nothing under the name) is made under its name at once, which claims the name
//     before anything is decoded; it stays with what was written, whatever happens after. On
//     POSIX it is made with the permission bits of `pending.new_mode` and the owner's read and
//     write where that is set, 0666 otherwise, less the umask either way; at the end the bits
//     that the mode lacks are taken off the open file (never setuid, setgid or sticky).
//   - replacing by rename, the usual way: a new file without a name where the system offers that
//     (Linux: O_TMPFILE in the target's directory, linked in beside the target at the end), else
//     "~uu" and five hex digits beside the target from the start; it has the old file's
//     permission bits from the start (never wider, never setuid, setgid or sticky) and, when root
//     runs the module, its owner and group; it takes the name by an atomic rename only when the
//     operation ends well. Until then the old file is as it was; a failure leaves it so.
//   - replacing in place, where a rename would make another file of it: the existing file has
//     more than one hard link, or the caller may write the file but not make names in its folder.
//     The new content is first made whole in a private file that has no name (beside the target
//     where names may be made there, else in the system's temporary folder). Only at the end is
//     the file itself opened for writing without following a link, checked to be the file the
//     question was about (volume and index), cut to nothing and written from the private file,
//     with the signals that end the process held. A failure before that leaves the old file as
//     it was; one during the copy leaves it cut short.
// A run that is killed while it replaces a file leaves no name behind where files without a name
// are made; elsewhere at most the one "~uu" file beside the target (never for the in-place way).

// Whether a file may be written under `path`: true when nothing is there or a regular file is
// (which may then be replaced), and for a symbolic link, which is asked about as a file is and
// then never written (OpenOutputFile). False for a directory, a device, a FIFO, a socket, a path
// whose last component is empty (it ends in a separator), and a path whose directories below its
// first `trusted` bytes pass through a link or something else than a directory. Opens the
// directory of the path, where it exists, for the calls that follow; changes nothing on disk.
bool OutputPathWritable(Job& job, const char* path, size_t trusted);

// Asks OkToReplaceProc, when it is registered and a file exists under `path` in the directory that
// OutputPathWritable opened, whether that file may be replaced by one of about `size_estimate`
// bytes. 0: go ahead; any other value is the host's refusal, passed back as it came, and the
// directory is let go (nothing is written). After a yes the new file takes the attributes that a
// reset to "archive" gives (writable); the old file is not touched until the new one replaces it.
int32_t ConfirmReplace(Job& job, const char* path, int64_t size_estimate);

// Opens `path` with `mode` ("wb" or "wt") into the job's output stream, the way the header above says.
// Missing directories are made one component at a time. A file that was not there when the
// question was asked, or another one than it was about, is not written (a refusal). Without the
// host's yes a file that cannot be written as it is (read-only) is not replaced. Status 0 with the
// stream open, or 5 with no stream and nothing left behind but the directories made.
void OpenOutputFile(Job& job, const char* path, const char* mode);

// The usual output, the quick way: a new file made at once under `path` (with the mode that
// `pending.new_mode` gives, as OpenOutputFile makes a new file) where nothing is there yet and every
// directory of the path is one of the host's, within its first `trusted` bytes, that exists. There
// is nothing to ask about and nothing to rename, so the folder is not held; the open itself refuses
// whatever is there, a link included. Status untouched either way. False, nothing made, otherwise:
// the caller then takes the usual way, from OutputPathWritable on.
bool OpenNewOutputFile(Job& job, const char* path, const char* mode, size_t trusted);

// Opens the sink that the host's settings name (standard output or the null device) into the
// job's output stream with `mode` ("wb" for a decoded file, "wt" for an encoded one): no file, no
// question, no rename. Status 0 with the stream open, or 5.
void OpenOutputSink(Job& job, const char* mode);

// Closes the job's output stream and lets the directory go. With `keep`, a file that replaces
// another takes its name now, or is copied over it in place; without, it is dropped and the old
// file stays as it was. A new file (nothing replaced) stays either way, with what was written. A
// sink is flushed and the host told how many bytes it took.
// False when not everything written reached the disk or the file could not take its name or be
// copied; the old file then stays too, but after a copy that failed part-way.
bool FinishOutputFile(Job& job, bool keep);

// Lets the directory go where an operation ends before FinishOutputFile; nothing when none is held.
void ReleaseOutputFolder(Job& job);

}  // namespace uuarc
