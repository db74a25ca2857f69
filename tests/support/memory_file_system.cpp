#include "support/memory_file_system.hpp"

#include <algorithm>
#include <cstring>
#include <functional>

namespace pl2html {

PathStatus MemoryFileSystem::Stat(const std::string& path) {
  if (folders.count(path) != 0) return {PathKind::Directory, 0};
  if (devices.count(path) != 0) return {PathKind::Device, 0};
  auto found = files.find(path);
  if (found == files.end()) {
    lastError_ = "No such file or directory";  // as stat() leaves errno
    return {PathKind::Missing, 0};
  }
  return {PathKind::File, static_cast<std::int64_t>(found->second.size())};
}

FileHandle MemoryFileSystem::OpenForReading(const std::string& path) {
  if (files.count(path) == 0 || unreadable.count(path) != 0) {
    lastError_ = "Permission denied";
    return 0;
  }
  ++opens;
  FileHandle handle = nextHandle_++;
  handles_[handle] = Handle{path, 0};
  return handle;
}

FileHandle MemoryFileSystem::CreateExclusive(const std::string& path) {
  if (failAllCreates || uncreatable.count(path) != 0 || files.count(path) != 0 ||
      folders.count(path) != 0) {
    lastError_ = "Permission denied";
    return 0;
  }
  files[path];
  ++opens;
  FileHandle handle = nextHandle_++;
  handles_[handle] = Handle{path, 0};
  return handle;
}

FileHandle MemoryFileSystem::OpenForWriting(const std::string& path) {
  if (devices.count(path) == 0) {
    lastError_ = "No such device or address";
    return 0;
  }
  ++opens;
  FileHandle handle = nextHandle_++;
  handles_[handle] = Handle{path, 0, true};
  return handle;
}

std::string* MemoryFileSystem::Target(FileHandle file) {
  if (file == kStdin) return &standardInput;
  if (file == kStdout) return &standardOutput;
  if (file == kStderr) return &standardError;
  auto found = handles_.find(file);
  if (found == handles_.end()) return nullptr;
  if (found->second.device) return &devices[found->second.path];
  return &files[found->second.path];
}

std::int64_t MemoryFileSystem::Read(FileHandle file, char* buffer, std::size_t size) {
  std::string* bytes = Target(file);
  if (bytes == nullptr) return -1;
  std::size_t& position = file == kStdin ? stdinPosition_ : handles_[file].position;
  if (readFailsAfter >= 0 && bytesRead_ >= readFailsAfter) {
    lastError_ = "Input/output error";
    return -1;
  }
  std::size_t take = std::min(size, bytes->size() - std::min(position, bytes->size()));
  if (readChunk != 0) take = std::min(take, readChunk);
  if (readFailsAfter >= 0) {
    take = std::min(take, static_cast<std::size_t>(readFailsAfter - bytesRead_));
  }
  if (take == 0 && readFailsAfter >= 0 && position < bytes->size()) {
    lastError_ = "Input/output error";
    return -1;
  }
  if (take != 0) std::memcpy(buffer, bytes->data() + position, take);
  position += take;
  bytesRead_ += static_cast<std::int64_t>(take);
  return static_cast<std::int64_t>(take);
}

bool MemoryFileSystem::Write(FileHandle file, const char* data, std::size_t size) {
  std::string* bytes = Target(file);
  if (bytes == nullptr) return false;
  if (writeFailsAfter >= 0 && bytesWritten_ + static_cast<std::int64_t>(size) > writeFailsAfter) {
    lastError_ = "No space left on device";
    return false;
  }
  bytes->append(data, size);
  bytesWritten_ += static_cast<std::int64_t>(size);
  return true;
}

bool MemoryFileSystem::Close(FileHandle file) {
  if (file == kStdin || file == kStdout || file == kStderr) return true;
  ++closes;
  return handles_.erase(file) != 0;
}

bool MemoryFileSystem::Delete(const std::string& path) {
  return files.erase(path) != 0;
}

bool MemoryFileSystem::Replace(const std::string& from, const std::string& to) {
  auto found = files.find(from);
  if (failReplace || found == files.end() || folders.count(to) != 0) {
    lastError_ = "Permission denied";
    return false;
  }
  std::string bytes = std::move(found->second);
  files.erase(found);
  files[to] = std::move(bytes);
  return true;
}

bool MemoryFileSystem::ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
  if (folders.count(path) == 0 || unlistable.count(path) != 0) {
    lastError_ = "Permission denied";
    return false;
  }
  const std::string prefix = path + separator_;
  auto addChildren = [&](const auto& names, PathKind kind) {
    for (auto at = names.lower_bound(prefix); at != names.end(); ++at) {
      const std::string& name = [&]() -> const std::string& {
        if constexpr (requires { at->first; }) {
          return at->first;
        } else {
          return *at;
        }
      }();
      if (name.compare(0, prefix.size(), prefix) != 0) break;
      if (name.find(separator_, prefix.size()) == std::string::npos) {
        entries.push_back({name.substr(prefix.size()), kind, false});
      }
    }
  };
  addChildren(folders, PathKind::Directory);
  addChildren(files, PathKind::File);
  addChildren(devices, PathKind::Device);
  return true;
}

bool MemoryFileSystem::Identify(const std::string& path, FileIdentity& identity) {
  if (Stat(path).kind == PathKind::Missing) return false;
  identity = {1, std::hash<std::string>{}(path)};
  return true;
}

bool MemoryFileSystem::CreateFolder(const std::string& path) {
  if (uncreatableFolders.count(path) != 0 || files.count(path) != 0) {
    lastError_ = "Permission denied";
    return false;
  }
  folders.insert(path);
  return true;
}

}  // namespace pl2html
