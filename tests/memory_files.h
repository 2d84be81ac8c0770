// memory_files.h - a file system in memory behind every entry of g_system, for the fuzz targets and
// the suites: files served from memory, files and directories made in memory, nothing on disk.
// Every call that would create or change something outside the one folder it allows is recorded
// in OutsideWrites, the one record of such changes, which OutsideWriteGuard also fills for runs on
// the real file system.
//
//   MemoryFiles files("/mem/out");            // while it lives, the module sees only memory
//   files.AddFile("/mem/a.uue", bytes);        // the parents of a file are made with it
//   ... run the module on \mem\a.uue with \mem\out as output ...
//   files.TakeOutside();                       // paths changed outside /mem/out, if any
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "uuarc.h"

// The fuzz targets' coverage is the module's: the branches of the path arithmetic here would
// only add noise to it and time to every call.
#if defined(__clang__)
#define UUARC_NOT_TRACED __attribute__((no_sanitize("coverage")))
#else
#define UUARC_NOT_TRACED
#endif

namespace uuarc::test {

// The paths changed (or, for an open, meant to be) outside the one folder a run may change. The
// folder itself counts as outside too.
class OutsideWrites {
public:
    // `folder` is normal: "/" separators, no "." or ".." components; a trailing slash is dropped.
    static void Allow(std::string_view folder) {
        folder_.assign(folder);
        while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
        seen_.clear();
    }
    // `normal` is `native_path` in normal form.
    UUARC_NOT_TRACED static void Check(std::string_view normal, const char* native_path) {
        if (normal.size() <= folder_.size() + 1 || normal.compare(0, folder_.size(), folder_) != 0 ||
            normal[folder_.size()] != '/') {
            seen_.push_back(native_path);
        }
    }
    // What was recorded since the last call.
    static std::vector<std::string> Take() { return std::exchange(seen_, {}); }

private:
    static inline std::string folder_;
    static inline std::vector<std::string> seen_;
};

class MemoryFiles {
public:
    // `allowed` is a native folder without a trailing slash; it and its parents exist at once.
    explicit MemoryFiles(std::string allowed) {
        allowed_ = Normal(allowed);
        real_ = g_system;
        g_system = {Open,          Read,   Write,  Close,         Length,         Query,
                    QueryHandle,   Find,   SetAttributes, MakeDirectory, Rename, Remove,
                    OpenFolder,    FolderWritable, Link,   SeekStart,     SetPermissions, Reopen};
        Reset();
    }
    ~MemoryFiles() { g_system = real_; }
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    // Forgets every file, handle and record of what happened but the allowed folder and its
    // parents. The room the records took stays for the next input: a fuzz target that resets
    // after each input then allocates next to nothing in the next, and frees in it what it
    // allocates, so libFuzzer does not rerun it to look for a leak.
    UUARC_NOT_TRACED void Reset() {
        for (size_t at = 0; at < live_nodes_;) {
            const std::string& path = nodes_[at].path;
            const bool keep = nodes_[at].directory && allowed_.compare(0, path.size(), path) == 0 &&
                              (path.size() == allowed_.size() || path == "/" || allowed_[path.size()] == '/');
            if (keep) {
                ++at;
            } else {
                Drop(nodes_[at]);
            }
        }
        live_handles_ = 0;
        OutsideWrites::Allow(allowed_);
        AddDirectories(allowed_);
    }

    // A file with `bytes`, its parent folders made as needed.
    UUARC_NOT_TRACED void AddFile(const std::string& path, std::string_view bytes, uint32_t permissions = 0644) {
        const std::string normal(Normal(path));
        AddDirectories(Parent(normal));
        Node* node = Lookup(normal);
        if (node == nullptr) node = &Make(normal, false, permissions);
        node->bytes.assign(bytes.data(), bytes.size());
    }

    // The bytes of a file, or nullptr when there is none under the path.
    static const std::string* Contents(const std::string& path) {
        const Node* node = Lookup(Normal(path));
        return node != nullptr && !node->directory ? &node->bytes : nullptr;
    }

    // Every path in the tree, directories included, in order.
    static std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (size_t at = 0; at < live_nodes_; ++at) paths.push_back(nodes_[at].path);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    // The paths changed (or, for an open, meant to be) outside the allowed folder since the last call.
    static std::vector<std::string> TakeOutside() { return OutsideWrites::Take(); }

private:
    // The tree is a short list: the fuzz targets hold a few files and folders, a few hundred at
    // most, and a scan that compares lengths first costs less than a map's string comparisons.
    // Entries [0, live) are in use; those after keep their strings' room for reuse.
    struct Node {
        std::string path;  // normal (see Normal)
        bool directory = false;
        std::string bytes;
        uint32_t permissions = 0644;
        uint64_t index = 0;
    };
    struct OpenFile {
        FileHandle handle = kNoHandle;
        std::string path;
        size_t offset = 0;
    };

    // The path with "." and ".." taken out and no empty or trailing component, as the system
    // would resolve it where no link is in the way (and here none can be). Built in `out`, which
    // lasts until the next call with it; a path that does not fit is cut, never overrun.
    using PathBuffer = char[kNativePathSize + 1];
    UUARC_NOT_TRACED static std::string_view Normal(std::string_view path, PathBuffer& out) {
        size_t used = 0;
        size_t at = 0;
        while (at < path.size()) {
            size_t end = at;
            while (end < path.size() && path[end] != '/') ++end;
            const size_t length = end - at;
            if (length == 2 && path[at] == '.' && path[at + 1] == '.') {
                while (used > 0 && out[used - 1] != '/') --used;
                if (used > 0) --used;
            } else if (length > 0 && !(length == 1 && path[at] == '.') && used + 1 + length <= kNativePathSize) {
                out[used++] = '/';
                std::memcpy(out + used, path.data() + at, length);
                used += length;
            }
            at = end + 1;
        }
        if (used == 0) out[used++] = '/';
        return std::string_view(out, used);
    }
    static std::string_view Normal(std::string_view path) { return Normal(path, scratch_); }
    UUARC_NOT_TRACED static std::string_view Parent(std::string_view normal) {
        size_t slash = normal.size();
        while (slash > 0 && normal[slash - 1] != '/') --slash;
        return slash <= 1 ? std::string_view("/") : std::string_view(normal.data(), slash - 1);
    }
    UUARC_NOT_TRACED static void AddDirectories(std::string_view normal) {
        if (normal != "/") AddDirectories(Parent(normal));
        if (Lookup(normal) == nullptr) Make(normal, true, 0755);
    }

    UUARC_NOT_TRACED static Node* Lookup(std::string_view normal) {
        for (size_t at = 0; at < live_nodes_; ++at) {
            Node& node = nodes_[at];
            if (node.path.size() == normal.size() && std::memcmp(node.path.data(), normal.data(), normal.size()) == 0) {
                return &node;
            }
        }
        return nullptr;
    }
    // A new entry; pointers to entries taken before do not survive it.
    UUARC_NOT_TRACED static Node& Make(std::string_view normal, bool directory, uint32_t permissions) {
        if (live_nodes_ == nodes_.size()) nodes_.emplace_back();
        Node& node = nodes_[live_nodes_++];
        node.path.assign(normal.data(), normal.size());
        node.directory = directory;
        node.bytes.clear();
        node.permissions = permissions;
        node.index = next_index_++;
        return node;
    }
    // Takes the entry out; the last one in use moves into its place.
    UUARC_NOT_TRACED static void Drop(Node& node) {
        Node& last = nodes_[--live_nodes_];
        if (&node != &last) std::swap(node, last);
    }
    static bool IsDirectory(std::string_view normal) {
        const Node* node = Lookup(normal);
        return node != nullptr && node->directory;
    }
    // Records a change outside the allowed folder; the folder itself counts as outside too.
    UUARC_NOT_TRACED static std::string_view Changing(const char* native_path, PathBuffer& out = scratch_) {
        const std::string_view normal = Normal(native_path, out);
        OutsideWrites::Check(normal, native_path);
        return normal;
    }
    UUARC_NOT_TRACED static FileHandle Handing(std::string_view normal) {
        if (live_handles_ == handles_.size()) handles_.emplace_back();
        OpenFile& open = handles_[live_handles_++];
        open.handle = next_handle_++;
        open.path.assign(normal);
        open.offset = 0;
        return open.handle;
    }
    UUARC_NOT_TRACED static OpenFile* OpenOf(FileHandle handle) {
        for (size_t at = 0; at < live_handles_; ++at) {
            if (handles_[at].handle == handle) return &handles_[at];
        }
        return nullptr;
    }
    static Node* NodeOf(FileHandle handle, OpenFile** open = nullptr) {
        OpenFile* found = OpenOf(handle);
        if (found == nullptr) return nullptr;
        if (open != nullptr) *open = found;
        return Lookup(found->path);
    }

    // Paths here are always whole, so the folder handles that the module holds are not needed to
    // find anything: a folder is served as a handle on the directory, and files without a name
    // are not made (the module then names its files at once).
    UUARC_NOT_TRACED static FileHandle Open(FileHandle, const char* native_path, OpenHow how, const FileInfo* like) {
        const std::string_view normal = how == OpenHow::Read ? Normal(native_path) : Changing(native_path);
        Node* node = Lookup(normal);
        switch (how) {
            case OpenHow::Read: return node != nullptr && !node->directory ? Handing(normal) : kNoHandle;
            case OpenHow::WriteProbe:
                return node != nullptr && !node->directory && (node->permissions & 0200) != 0 ? Handing(normal) : kNoHandle;
            case OpenHow::WriteTruncate:
                if (node != nullptr) {
                    if (node->directory || (node->permissions & 0200) == 0) return kNoHandle;
                    node->bytes.clear();
                    return Handing(normal);
                }
                break;
            case OpenHow::Overwrite:
                if (node == nullptr || node->directory || like == nullptr || node->index != like->index) return kNoHandle;
                node->permissions = like->permissions;
                node->bytes.clear();
                return Handing(normal);
            case OpenHow::CreateUnnamed:
            case OpenHow::CreatePrivate:  // no file here has a second name: nothing is written in place
            case OpenHow::StandardOutput:
            case OpenHow::NullDevice: return kNoHandle;
            case OpenHow::CreateNew:
            case OpenHow::CreateLike:
                if (node != nullptr) return kNoHandle;
                break;
        }
        if (!IsDirectory(Parent(normal))) return kNoHandle;
        Make(normal, false, how == OpenHow::CreateLike && like != nullptr ? like->permissions & 0777 : 0644);
        return Handing(normal);
    }
    static int64_t Read(FileHandle handle, void* data, size_t count) {
        OpenFile* open = nullptr;
        const Node* node = NodeOf(handle, &open);
        if (node == nullptr) return -1;
        const size_t piece = open->offset < node->bytes.size() ? std::min(count, node->bytes.size() - open->offset) : 0;
        std::memcpy(data, node->bytes.data() + open->offset, piece);
        open->offset += piece;
        return static_cast<int64_t>(piece);
    }
    static int64_t Write(FileHandle handle, const void* data, size_t count) {
        OpenFile* open = nullptr;
        Node* node = NodeOf(handle, &open);
        if (node == nullptr) return -1;
        node->bytes.replace(open->offset, count, static_cast<const char*>(data), count);
        open->offset += count;
        return static_cast<int64_t>(count);
    }
    static bool Close(FileHandle handle) {
        OpenFile* open = OpenOf(handle);
        if (open == nullptr) return false;
        OpenFile& last = handles_[--live_handles_];
        if (open != &last) std::swap(*open, last);
        return true;
    }
    static int64_t Length(FileHandle handle) {
        const Node* node = NodeOf(handle);
        return node != nullptr ? static_cast<int64_t>(node->bytes.size()) : -1;
    }
    // Attributes as the POSIX back end reports them; every file was last written at one moment.
    static void Describe(const Node& node, FileInfo* info) {
        info->kind = node.directory ? FileKind::Directory : FileKind::Regular;
        info->attributes = node.directory ? kAttrDirectory : kAttrArchive | ((node.permissions & 0200) ? 0 : kAttrReadOnly);
        info->permissions = node.permissions;
        info->size = static_cast<int64_t>(node.bytes.size());
        info->last_write = kLastWrite;
        info->volume = 1;
        info->index = node.index;
    }
    static bool Query(FileHandle, const char* native_path, bool, FileInfo* info) {
        const Node* node = Lookup(Normal(native_path));
        if (node == nullptr) return false;
        Describe(*node, info);
        return true;
    }
    static FileHandle Reopen(FileHandle handle) {
        const OpenFile* open = OpenOf(handle);
        if (open == nullptr) return kNoHandle;
        const std::string path = open->path;  // Handing may move the open files
        return Handing(path);
    }
    static bool QueryHandle(FileHandle handle, FileInfo* info) {
        const Node* node = NodeOf(handle);
        if (node == nullptr) return false;
        Describe(*node, info);
        return true;
    }
    // The name is the path's last component as it was handed in, as the POSIX back end gives it.
    static bool Find(FileHandle, const char* native_path, FindData* record) {
        const char* slash = std::strrchr(native_path, '/');
        const char* name = slash != nullptr ? slash + 1 : native_path;
        const size_t name_length = std::strlen(name);
        const Node* node = Lookup(Normal(native_path));
        if (node == nullptr || name_length == 0 || name_length >= sizeof record->file_name) return false;
        FileInfo info;
        Describe(*node, &info);
        std::memset(record, 0, sizeof *record);
        std::memcpy(record->file_name, name, name_length + 1);
        record->attributes = info.attributes;
        const FileTime time = {static_cast<uint32_t>(kLastWrite), static_cast<uint32_t>(kLastWrite >> 32)};
        record->creation_time = record->last_access_time = record->last_write_time = time;
        record->size_low = static_cast<uint32_t>(node->bytes.size());
        return true;
    }
    static bool SetAttributes(const char* native_path, uint32_t attributes) {
        Node* node = Lookup(Changing(native_path));
        if (node == nullptr) return false;
        node->permissions = (attributes & kAttrReadOnly) ? node->permissions & ~0200u : node->permissions | 0200u;
        return true;
    }
    static bool MakeDirectory(FileHandle, const char* native_path) {
        const std::string_view normal = Changing(native_path);
        if (Lookup(normal) != nullptr || !IsDirectory(Parent(normal))) return false;
        Make(normal, true, 0755);
        return true;
    }
    // Open handles keep their file under its new name, as on POSIX.
    static bool Rename(FileHandle, const char* native_from, const char* native_to) {
        const std::string_view from = Changing(native_from, scratch_from_);
        const std::string_view to = Changing(native_to);
        Node* source = Lookup(from);
        Node* target = Lookup(to);
        if (source == nullptr || source->directory || (target != nullptr && target->directory) ||
            !IsDirectory(Parent(to))) {
            return false;
        }
        if (target != nullptr) {
            std::swap(target->bytes, source->bytes);
            target->permissions = source->permissions;
            target->index = source->index;
            Drop(*source);
        } else {
            source->path = to;
        }
        for (size_t at = 0; at < live_handles_; ++at) {
            if (handles_[at].path == from) handles_[at].path = to;
        }
        return true;
    }
    static bool Remove(FileHandle, const char* native_path) {
        Node* node = Lookup(Changing(native_path));
        if (node == nullptr || node->directory) return false;
        Drop(*node);
        return true;
    }
    static FileHandle OpenFolder(FileHandle, const char* native_path, bool) {
        const std::string_view normal = Normal(native_path);
        return IsDirectory(normal) ? Handing(normal) : kNoHandle;
    }
    static bool FolderWritable(FileHandle) { return true; }
    static bool Link(FileHandle, FileHandle, const char*) { return false; }
    static bool SeekStart(FileHandle handle) {
        OpenFile* open = OpenOf(handle);
        if (open != nullptr) open->offset = 0;
        return open != nullptr;
    }
    static bool SetPermissions(FileHandle handle, uint32_t permissions) {
        Node* node = NodeOf(handle);
        if (node != nullptr) node->permissions = permissions & 0777;
        return node != nullptr;
    }

    // 2024-01-01 00:00 UTC in 100 ns ticks since 1601.
    static constexpr uint64_t kLastWrite = 133485408000000000u;

    static inline std::string allowed_;
    static inline SystemCalls real_;
    static inline std::vector<Node> nodes_;
    static inline size_t live_nodes_ = 0;
    static inline std::vector<OpenFile> handles_;
    static inline size_t live_handles_ = 0;
    static inline PathBuffer scratch_;
    static inline PathBuffer scratch_from_;
    static inline uint64_t next_index_ = 1;
    static inline FileHandle next_handle_ = 1000;
};

// While it lives, records in OutsideWrites every path outside `allowed` (a folder) that
// the module opens for writing, makes as a directory or changes the attributes of. Seen at the
// system-call table, so a write anywhere on the machine is caught, not only in the test's folder.
class OutsideWriteGuard {
public:
    explicit OutsideWriteGuard(const std::string& allowed) {
        OutsideWrites::Allow(std::filesystem::path(allowed).lexically_normal().string());
        real_ = g_system;
        g_system.open = Open;
        g_system.make_directory = MakeDirectory;
        g_system.set_attributes = SetAttributes;
        g_system.rename = Rename;
        g_system.remove = Remove;
    }
    ~OutsideWriteGuard() { g_system = real_; }
    OutsideWriteGuard(const OutsideWriteGuard&) = delete;
    OutsideWriteGuard& operator=(const OutsideWriteGuard&) = delete;

private:
    static void Check(const char* native_path) {
        OutsideWrites::Check(std::filesystem::path(native_path).lexically_normal().string(), native_path);
    }
    // The module passes the whole path also where it works relative to a held folder.
    static FileHandle Open(FileHandle folder, const char* native_path, OpenHow how, const FileInfo* like) {
        if (how != OpenHow::Read) Check(native_path);
        return real_.open(folder, native_path, how, like);
    }
    static bool Rename(FileHandle folder, const char* native_from, const char* native_to) {
        Check(native_from);
        Check(native_to);
        return real_.rename(folder, native_from, native_to);
    }
    static bool Remove(FileHandle folder, const char* native_path) {
        Check(native_path);
        return real_.remove(folder, native_path);
    }
    static bool MakeDirectory(FileHandle folder, const char* native_path) {
        Check(native_path);
        return real_.make_directory(folder, native_path);
    }
    static bool SetAttributes(const char* native_path, uint32_t attributes) {
        Check(native_path);
        return real_.set_attributes(native_path, attributes);
    }

    static inline SystemCalls real_;
};

}  // namespace uuarc::test
