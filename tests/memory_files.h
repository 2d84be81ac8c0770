// memory_files.h - a file system in memory behind every entry of g_system, for the fuzz targets and
// the suites: files served from memory, files and directories made in memory, nothing on disk.
// Every call that would create or change something outside the one folder it allows is recorded.
//
//   MemoryFiles files("/mem/out");            // while it lives, the module sees only memory
//   files.AddFile("/mem/a.uue", bytes);        // the parents of a file are made with it
//   ... run the module on \mem\a.uue with \mem\out as output ...
//   files.TakeOutside();                       // paths changed outside /mem/out, if any
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "module/uuarc.h"
#include "platform/platform.h"

// The fuzz targets' coverage is the module's: the branches of the path arithmetic here would
// only add noise to it and time to every call.
#if defined(__clang__)
#define UUARC_NOT_TRACED __attribute__((no_sanitize("coverage")))
#else
#define UUARC_NOT_TRACED
#endif

namespace uuarc::test {

class MemoryFiles {
public:
    // `allowed` is a native folder without a trailing slash; it and its parents exist at once.
    explicit MemoryFiles(std::string allowed) {
        Normal(allowed, allowed_);
        real_ = g_system;
        g_system = {Open, Read, Write, Close, Length, Query, QueryHandle, Find, SetAttributes, MakeDirectory, Rename, Remove};
        Reset();
    }
    ~MemoryFiles() { g_system = real_; }
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    // Forgets every file, handle and record of what happened but the allowed folder and its
    // parents, which stay as they were made: a fuzz target that resets at the end of each input
    // frees in it all that it took, which keeps libFuzzer from suspecting a leak every time.
    void Reset() {
        for (auto node = nodes_.begin(); node != nodes_.end();) {
            const bool keep = node->second.directory && allowed_.compare(0, node->first.size(), node->first) == 0 &&
                              (node->first.size() == allowed_.size() || node->first == "/" ||
                               allowed_[node->first.size()] == '/');
            node = keep ? std::next(node) : nodes_.erase(node);
        }
        handles_.clear();
        outside_.clear();
        AddDirectories(allowed_);
    }

    // A file with `bytes`, its parent folders made as needed.
    void AddFile(const std::string& path, std::string_view bytes, uint32_t permissions = 0644) {
        const std::string normal = Normal(path);
        AddDirectories(Parent(normal));
        Node& node = nodes_[normal];
        node = Node{false, std::string(bytes), permissions, next_index_++};
    }

    // The bytes of a file, or nullptr when there is none under the path.
    static const std::string* Contents(const std::string& path) {
        const auto found = nodes_.find(Normal(path));
        return found != nodes_.end() && !found->second.directory ? &found->second.bytes : nullptr;
    }

    // Every path in the tree, directories included, in order.
    static std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (const auto& [path, node] : nodes_) paths.push_back(path);
        return paths;
    }

    // The paths changed (or, for an open, meant to be) outside the allowed folder since the last call.
    static std::vector<std::string> TakeOutside() { return std::exchange(outside_, {}); }

private:
    struct Node {
        bool directory = false;
        std::string bytes;
        uint32_t permissions = 0644;
        uint64_t index = 0;
    };
    struct OpenFile {
        std::string path;
        size_t offset = 0;
    };

    // The path with "." and ".." taken out and no empty or trailing component, as the system
    // would resolve it where no link is in the way (and here none can be). Built in `out`, whose
    // room stays from call to call: a fuzz target calls this for every path the module touches.
    UUARC_NOT_TRACED static const std::string& Normal(std::string_view path, std::string& out) {
        out.clear();
        size_t at = 0;
        while (at < path.size()) {
            size_t end = at;
            while (end < path.size() && path[end] != '/') ++end;
            const size_t length = end - at;
            if (length == 2 && path[at] == '.' && path[at + 1] == '.') {
                size_t last = out.size();
                while (last > 0 && out[last - 1] != '/') --last;
                out.resize(last > 0 ? last - 1 : 0);
            } else if (length > 0 && !(length == 1 && path[at] == '.')) {
                out += '/';
                out.append(path.data() + at, length);
            }
            at = end + 1;
        }
        if (out.empty()) out = "/";
        return out;
    }
    static const std::string& Normal(std::string_view path) { return Normal(path, scratch_); }
    static std::string_view Parent(std::string_view normal) {
        const size_t slash = normal.rfind('/');
        return slash == 0 ? "/" : normal.substr(0, slash);
    }
    void AddDirectories(std::string_view normal) {
        if (normal != "/") AddDirectories(Parent(normal));
        if (nodes_.find(normal) == nodes_.end()) nodes_.emplace(std::string(normal), Node{true, {}, 0755, next_index_++});
    }

    static Node* Lookup(std::string_view normal) {
        const auto found = nodes_.find(normal);
        return found != nodes_.end() ? &found->second : nullptr;
    }
    static bool IsDirectory(std::string_view normal) {
        const Node* node = Lookup(normal);
        return node != nullptr && node->directory;
    }
    // Records a change outside the allowed folder; the folder itself counts as outside too.
    static const std::string& Changing(const char* native_path, std::string& out = scratch_) {
        const std::string& normal = Normal(native_path, out);
        if (normal.size() <= allowed_.size() + 1 || normal.compare(0, allowed_.size(), allowed_) != 0 ||
            normal[allowed_.size()] != '/') {
            outside_.push_back(native_path);
        }
        return normal;
    }
    static FileHandle Handing(const std::string& normal) {
        const FileHandle handle = next_handle_++;
        handles_[handle] = OpenFile{normal, 0};
        return handle;
    }

    static FileHandle Open(const char* native_path, OpenHow how, const FileInfo* like) {
        const std::string& normal = how == OpenHow::Read ? Normal(native_path) : Changing(native_path);
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
            case OpenHow::CreateNew:
            case OpenHow::CreateLike:
                if (node != nullptr) return kNoHandle;
                break;
        }
        if (!IsDirectory(Parent(normal))) return kNoHandle;
        const uint32_t permissions = how == OpenHow::CreateLike && like != nullptr ? like->permissions & 0777 : 0644;
        nodes_[normal] = Node{false, {}, permissions, next_index_++};
        return Handing(normal);
    }
    static Node* NodeOf(FileHandle handle, OpenFile** open = nullptr) {
        const auto found = handles_.find(handle);
        if (found == handles_.end()) return nullptr;
        if (open != nullptr) *open = &found->second;
        return Lookup(found->second.path);
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
    static bool Close(FileHandle handle) { return handles_.erase(handle) == 1; }
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
    static bool Query(const char* native_path, bool, FileInfo* info) {
        const Node* node = Lookup(Normal(native_path));
        if (node == nullptr) return false;
        Describe(*node, info);
        return true;
    }
    static bool QueryHandle(FileHandle handle, FileInfo* info) {
        const Node* node = NodeOf(handle);
        if (node == nullptr) return false;
        Describe(*node, info);
        return true;
    }
    static bool Find(const char* native_path, FindData* record) {
        const Node* node = Lookup(Normal(native_path));
        if (node == nullptr) return false;
        FileInfo info;
        Describe(*node, &info);
        std::memset(record, 0, sizeof *record);
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
    static bool MakeDirectory(const char* native_path) {
        const std::string& normal = Changing(native_path);
        if (Lookup(normal) != nullptr || !IsDirectory(Parent(normal))) return false;
        nodes_[normal] = Node{true, {}, 0755, next_index_++};
        return true;
    }
    static bool Rename(const char* native_from, const char* native_to) {
        const std::string& from = Changing(native_from, scratch_from_);
        const std::string& to = Changing(native_to);
        const Node* source = Lookup(from);
        const Node* target = Lookup(to);
        if (source == nullptr || source->directory || (target != nullptr && target->directory) ||
            !IsDirectory(Parent(to))) {
            return false;
        }
        Node moved = *source;
        nodes_.erase(nodes_.find(from));
        nodes_.insert_or_assign(to, std::move(moved));
        for (auto& [handle, open] : handles_) {
            if (open.path == from) open.path = to;
        }
        return true;
    }
    static bool Remove(const char* native_path) {
        const std::string& normal = Changing(native_path);
        const Node* node = Lookup(normal);
        if (node == nullptr || node->directory) return false;
        nodes_.erase(nodes_.find(normal));
        return true;
    }

    // 2024-01-01 00:00 UTC in 100 ns ticks since 1601.
    static constexpr uint64_t kLastWrite = 133485408000000000u;

    static inline std::string allowed_;
    static inline SystemCalls real_;
    static inline std::map<std::string, Node, std::less<>> nodes_;
    static inline std::string scratch_;
    static inline std::string scratch_from_;
    static inline std::map<FileHandle, OpenFile> handles_;
    static inline std::vector<std::string> outside_;
    static inline uint64_t next_index_ = 1;
    static inline FileHandle next_handle_ = 1000;
};

}  // namespace uuarc::test
