// standard_streams.h - pipes and the scratch space they need. The module reads an archive more than
// once and always writes to a file, so standard input (and an archive that is a pipe or a FIFO,
// or /dev/stdin) is copied once into a private temporary folder, and output meant for standard
// output is written there and copied out. Everything lives in a folder of its own, mode 0700,
// remembered as a leftover with its files.
#pragma once

#include <cstdio>
#include <string>

#include "host/cleanup.h"

namespace uuarc_host {

// How standard input is named in messages and listings.
constexpr const char* kStandardInputName = "standard input";
constexpr const char* kStandardOutputName = "standard output";

// A private temporary folder and the files made in it, all settled together.
struct Scratch {
    std::string folder;          // native, without a trailing separator; empty: none yet
    LeftoverId folder_id = kNoLeftover;
    LeftoverId file_ids[2] = {kNoLeftover, kNoLeftover};
};

// Makes the folder. False after a message; `code` is then the exit code.
bool MakeScratch(Scratch& scratch, int& code);

// Remembers the file `path` inside the scratch folder for removal with it.
bool RememberScratchFile(Scratch& scratch, const std::string& path, int& code);

// Removes the files and the folder.
void SettleScratch(Scratch& scratch);

// Copies `from` (named `shown` in messages) into the new private file `name` in the scratch
// folder; `path` gets the file's path. False after a message; `code` is then the exit code.
bool CopyIntoScratch(std::FILE* from, const std::string& shown, Scratch& scratch, const std::string& name,
                     std::string& path, int& code);

// An archive as the module gets it: a plain file as named, or a private copy of one that cannot
// be read twice.
struct ArchiveInput {
    std::string shown;           // as the user named it
    std::string path;            // the native path to hand to the module
    Scratch scratch;             // holds the copy, if one was made
};

// Standard input ("-") is copied at once; any other operand goes to the module as it is named.
// False after a message; `code` is then the exit code.
bool PrepareArchive(const std::string& operand, ArchiveInput& input, int& code);

// After the module refused to open the archive (status 5), which it does without opening anything
// but a regular file: a pipe, a FIFO or standard input by another name (/dev/stdin) is copied
// once into the scratch folder, and true says that `input.path` names the copy. A device other
// than standard input is refused (5, exit 3) after a message: false with `code` the exit code.
// Anything else is the module's refusal to explain: false with `code` -1.
bool CopyRefusedArchive(ArchiveInput& input, int& code);

// Copies the file at `path` to standard output. False after a message (exit code 5 in `code`)
// when standard output takes the bytes no longer, or 3 when the file cannot be read.
bool CopyToStandardOutput(const std::string& path, int& code);

// Flushes standard output; false when something written to it did not go out, after a message
// the first time.
bool FlushStandardOutput();

// A write to standard output has failed: nothing more is worth writing there.
bool StandardOutputFailed();

// The module's writes into standard output failed (it said so with its status, and the host
// with its message): nothing more is written there.
void StandardOutputLost();

}  // namespace uuarc_host
