#include "platform/overlay/overlay_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "platform/pe_version.h"

namespace act {
namespace {

constexpr uint32_t kSettableAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

// A name's key: its folded letters in UTF-8, with the bytes of a host name
// that are no UTF-8 kept as they are (FoldFileName holds each as a lone low
// surrogate), so that two such names never share a key.
std::string Folded(const std::string& name) {
  const std::u16string folded = FoldFileName(name);
  std::string key;
  size_t start = 0;
  for (size_t i = 0; i <= folded.size(); ++i) {
    const bool escaped = i < folded.size() && folded[i] >= 0xDC80 && folded[i] <= 0xDCFF &&
                         (i == 0 || folded[i - 1] < 0xD800 || folded[i - 1] > 0xDBFF);
    if (i < folded.size() && !escaped) continue;
    key += Utf16ToUtf8(std::u16string_view(folded).substr(start, i - start));
    if (escaped) key += static_cast<char>(folded[i] - 0xDC00);
    start = i + 1;
  }
  return key;
}

}  // namespace

// A file's bytes: those of a base file until the first write, then its own
// in memory. Shared by every entry and open file that stand for the file.
struct OverlayFileSystem::Content {
  Content(Tally& memory, uint64_t id, std::string base_path)
      : memory(memory), id(id), base_path(std::move(base_path)),
        in_memory(this->base_path.empty()) {}
  ~Content() {
    if (in_memory) memory.Add(-int64_t(bytes.size()));
  }
  Tally& memory;
  const uint64_t id;
  const std::string base_path;  // empty for a file made in the overlay
  bool in_memory;
  std::optional<uint64_t> base_size;  // asked once
  std::vector<uint8_t> bytes;
  uint64_t generation = 0;  // moves on with every change, for stamps
};

class OverlayFileSystem::File : public RandomAccessFile {
 public:
  File(OverlayFileSystem& fs, std::shared_ptr<Content> content, std::string path, bool writable)
      : fs_(fs), content_(std::move(content)), path_(std::move(path)), writable_(writable) {}

  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    Content& c = *content_;
    if (!c.in_memory) {
      if (!base_) base_ = fs_.base_.OpenRandomAccess(c.base_path, false);
      return base_->ReadAt(offset, buffer, n);
    }
    if (offset >= c.bytes.size()) return 0;
    size_t got = size_t(std::min<uint64_t>(n, c.bytes.size() - offset));
    std::memcpy(buffer, c.bytes.data() + offset, got);
    return got;
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    CheckWritable();
    Content& c = *content_;
    fs_.Materialise(c);
    const uint64_t old_size = c.bytes.size();
    if (offset + n > old_size) c.bytes.resize(size_t(offset + n));
    if (n > 0) std::memcpy(c.bytes.data() + offset, data, n);
    fs_.Resized(c, old_size);
  }
  uint64_t Size() override { return fs_.SizeOf(*content_); }
  void Truncate(uint64_t size) override {
    CheckWritable();
    Content& c = *content_;
    fs_.Materialise(c);
    const uint64_t old_size = c.bytes.size();
    c.bytes.resize(size_t(size));
    fs_.Resized(c, old_size);
  }
  void Sync() override {}
  const std::string& path() const override { return path_; }

 private:
  void CheckWritable() {
    if (!writable_) throw Error(kErrPermissionDenied, path_ + " is open for reading only");
  }
  OverlayFileSystem& fs_;
  std::shared_ptr<Content> content_;
  std::string path_;
  bool writable_;
  std::unique_ptr<RandomAccessFile> base_;  // reads until the first write
};

void OverlayFileSystem::Tally::Add(int64_t delta) {
  now += delta;
  peak = std::max(peak, now);
}

OverlayFileSystem::OverlayFileSystem(FileSystem& base) : base_(base) {}

// Entries go first: their contents give their bytes back to memory_.
OverlayFileSystem::~OverlayFileSystem() { entries_.clear(); }

// --- Paths ---------------------------------------------------------------

OverlayFileSystem::Where OverlayFileSystem::Parse(const std::string& path) {
  Where w;
  size_t i = 0;
  if (path.size() >= 2 && path[1] == ':') {
    w.drive = path.substr(0, 2);
    i = 2;
  }
  w.names = PathNames(std::string_view(path).substr(i));
  // A host path ("/tmp/x") keeps its own form for the base.
  const bool host = w.drive.empty() && !path.empty() && path[0] == '/';
  w.text = host ? "" : w.drive;
  for (const std::string& name : w.names) w.text += (host ? "/" : "\\") + name;
  if (w.names.empty()) w.text += host ? "/" : "\\";
  w.key = DriveKey(w);
  for (const std::string& name : w.names) w.key += "\\" + Folded(name);
  return w;
}

std::string OverlayFileSystem::DriveKey(const Where& where) {
  std::string key = where.drive;
  for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

OverlayFileSystem::Where OverlayFileSystem::Child(const Where& folder, const std::string& name) {
  Where w = folder;
  const bool host = folder.drive.empty() && !folder.text.empty() && folder.text[0] == '/';
  if (!IsPathSeparator(w.text.back())) w.text += host ? "/" : "\\";
  w.text += name;
  w.names.push_back(name);
  w.key += "\\" + Folded(name);
  return w;
}

OverlayFileSystem::Where OverlayFileSystem::Parent(const Where& path) {
  Where w;
  w.drive = path.drive;
  w.key = DriveKey(path);
  w.text = path.drive.empty() && !path.text.empty() && path.text[0] == '/' ? "/" : w.drive + "\\";
  for (size_t i = 0; i + 1 < path.names.size(); ++i) w = Child(w, path.names[i]);
  return w;
}

OverlayFileSystem::Found OverlayFileSystem::Find(const Where& where) {
  auto it = entries_.find(where.key);
  if (it != entries_.end()) {
    switch (it->second.kind) {
      case Entry::Kind::kHidden: return {};
      case Entry::Kind::kFolder: return {Kind::kFolder, &it->second};
      case Entry::Kind::kFile: return {Kind::kFile, &it->second};
    }
  }
  // Below anything the overlay holds (a hidden place, a file, a folder made
  // here) there is only what the overlay holds itself.
  for (size_t at = where.key.find('\\'); at != std::string::npos;
       at = where.key.find('\\', at + 1)) {
    if (entries_.count(where.key.substr(0, at))) return {};
  }
  if (base_.FolderExists(where.text)) return {Kind::kFolder, nullptr};
  if (base_.FileExists(where.text)) return {Kind::kFile, nullptr};
  return {};
}

std::vector<std::string> OverlayFileSystem::List(const Where& folder) {
  std::vector<std::string> names;
  std::set<std::string> held;
  const std::string prefix = folder.key + "\\";
  for (auto it = entries_.lower_bound(prefix);
       it != entries_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (it->first.find('\\', prefix.size()) != std::string::npos) continue;  // deeper down
    held.insert(it->first);
    if (it->second.kind != Entry::Kind::kHidden) names.push_back(it->second.name);
  }
  if (!Find(folder).entry) {
    for (const std::string& name : base_.ListFolder(folder.text))
      if (!held.count(Child(folder, name).key)) names.push_back(name);
  }
  return names;
}

// Where a copy or move of source to destination lands: inside the
// destination folder when the destination ends in a separator (the folder
// must exist), else at the destination itself (its parent must exist).
OverlayFileSystem::Where OverlayFileSystem::CopyTarget(const Where& source,
                                                       const std::string& destination) {
  Where to = Parse(destination);
  if (!destination.empty() && IsPathSeparator(destination.back())) {
    if (Find(to).kind != Kind::kFolder) throw Error(kErrPathNotFound, destination);
    return source.names.empty() ? to : Child(to, source.names.back());
  }
  if (Find(Parent(to)).kind != Kind::kFolder) throw Error(kErrPathNotFound, destination);
  return to;
}

// --- Contents --------------------------------------------------------------

std::shared_ptr<OverlayFileSystem::Content> OverlayFileSystem::NewContent(std::string base_path) {
  auto content = std::make_shared<Content>(memory_, next_content_id_++, std::move(base_path));
  content->generation = ++generation_;
  return content;
}

uint64_t OverlayFileSystem::SizeOf(Content& content) {
  if (content.in_memory) return content.bytes.size();
  if (!content.base_size) content.base_size = base_.GetFileStamp(content.base_path).size;
  return *content.base_size;
}

uint32_t OverlayFileSystem::AttributesOf(const Where& path, const Found& found) {
  if (!found.entry) return base_.GetAttributes(path.text);
  if (found.entry->attributes) return *found.entry->attributes;
  const Content& content = *found.entry->content;
  return content.base_path.empty() ? kAttrArchive : base_.GetAttributes(content.base_path);
}

OverlayFileSystem::Entry& OverlayFileSystem::FileEntry(const Where& file, const Found& found) {
  if (found.entry) return *found.entry;
  Entry& entry = entries_[file.key];
  entry = {Entry::Kind::kFile, file.names.back(), NewContent(file.text), std::nullopt};
  return entry;
}

void OverlayFileSystem::Materialise(Content& content) {
  if (content.in_memory) return;
  content.bytes = base_.ReadFileBytes(content.base_path);
  content.in_memory = true;
  memory_.Add(int64_t(content.bytes.size()));
}

void OverlayFileSystem::Resized(Content& content, uint64_t old_size) {
  content.generation = ++generation_;
  memory_.Add(int64_t(content.bytes.size()) - int64_t(old_size));
}

// --- Changes ---------------------------------------------------------------

void OverlayFileSystem::Put(const Where& where, Entry entry) {
  if (entry.name.empty() && !where.names.empty()) entry.name = where.names.back();
  entries_[where.key] = std::move(entry);
}

void OverlayFileSystem::Hide(const Where& where) {
  const std::string prefix = where.key + "\\";
  auto first = entries_.lower_bound(prefix);
  auto last = first;
  while (last != entries_.end() && last->first.compare(0, prefix.size(), prefix) == 0) ++last;
  entries_.erase(first, last);
  entries_[where.key] = Entry{};
}

void OverlayFileSystem::MakeFolder(const Where& where) {
  Put(where, {Entry::Kind::kFolder, where.names.empty() ? "" : where.names.back(), nullptr,
              std::nullopt});
}

void OverlayFileSystem::CopyTree(const Where& from, const Where& to, bool overwrite,
                                 std::vector<std::string>& walk) {
  // A link on the disk back to a folder the copy came through would make it
  // endless; it fails as the disk's own copy fails.
  for (const std::string& outer : walk)
    if (IsSameOrInsideFolder(outer, from.text))
      throw Error(kErrPathFileAccess,
                  from.text + " (a link there leads back into the folders above it)");
  walk.push_back(from.text);
  if (Find(to).kind != Kind::kFolder) MakeFolder(to);
  for (const std::string& name : List(from)) {
    Where child_from = Child(from, name), child_to = Child(to, name);
    if (Find(child_from).kind == Kind::kFolder) {
      if (Find(child_to).kind == Kind::kFile) throw Error(kErrFileAlreadyExists, child_to.text);
      CopyTree(child_from, child_to, overwrite, walk);
    } else {
      if (Find(child_to).kind == Kind::kFolder) throw Error(kErrPermissionDenied, child_to.text);
      CopyOne(child_from, child_to, overwrite);
    }
  }
  walk.pop_back();
}

void OverlayFileSystem::CopyOne(const Where& from, const Where& to, bool overwrite) {
  Found source = Find(from);
  Found there = Find(to);
  if (there.kind == Kind::kFile) {
    if (to.key == from.key) throw Error(kErrPermissionDenied, to.text);
    if (!overwrite) throw Error(kErrFileAlreadyExists, to.text);
    if (AttributesOf(to, there) & kAttrReadOnly) throw Error(kErrPermissionDenied, to.text);
  }
  Entry copy{Entry::Kind::kFile, to.names.back(), nullptr, std::nullopt};
  if (!source.entry) {
    copy.content = NewContent(from.text);
  } else {
    const Content& original = *source.entry->content;
    copy.content = NewContent(original.base_path);
    copy.content->base_size = original.base_size;
    copy.content->in_memory = original.in_memory;
    if (original.in_memory) {
      copy.content->bytes = original.bytes;
      memory_.Add(int64_t(original.bytes.size()));
    }
    copy.attributes = source.entry->attributes;
  }
  Put(to, std::move(copy));
}

OverlayFileSystem::Entry OverlayFileSystem::TakeFile(const Where& file) {
  Found found = Find(file);
  if (found.entry) return *found.entry;
  return {Entry::Kind::kFile, "", NewContent(file.text), std::nullopt};
}

void OverlayFileSystem::MoveTree(const Where& from, const Where& to) {
  MakeFolder(to);
  for (const std::string& name : List(from)) {
    Where child_from = Child(from, name), child_to = Child(to, name);
    if (Find(child_from).kind == Kind::kFolder) {
      MoveTree(child_from, child_to);
    } else {
      Entry moved = TakeFile(child_from);
      moved.name = name;
      Put(child_to, std::move(moved));
    }
  }
}

// --- FileSystem --------------------------------------------------------------

bool OverlayFileSystem::FolderExists(const std::string& path) {
  return Find(Parse(path)).kind == Kind::kFolder;
}

// Which folder a name reaches is the disk's answer while nothing was made
// or hidden here at either name; a folder made here is known by its name.
bool OverlayFileSystem::IsSameOrInsideFolder(const std::string& path, const std::string& folder) {
  Where inner = Parse(path), outer = Parse(folder);
  Found in = Find(inner), out = Find(outer);
  if (in.kind != Kind::kFolder || out.kind != Kind::kFolder) return false;
  if (!in.entry && !out.entry) return base_.IsSameOrInsideFolder(path, folder);
  return inner.key == outer.key || inner.key.rfind(outer.key + "\\", 0) == 0;
}

bool OverlayFileSystem::FileExists(const std::string& path) {
  return Find(Parse(path)).kind == Kind::kFile;
}

void OverlayFileSystem::CopyFolder(const std::string& source, const std::string& destination,
                                   bool overwrite) {
  Where from = Parse(source);
  if (Find(from).kind != Kind::kFolder) throw Error(kErrPathNotFound, source);
  Where to = CopyTarget(from, destination);
  if (Find(to).kind == Kind::kFile) throw Error(kErrFileAlreadyExists, to.text);
  // Copying a folder into itself would never end.
  if (to.key == from.key || to.key.compare(0, from.key.size() + 1, from.key + "\\") == 0)
    throw Error(kErrPermissionDenied, to.text);
  std::vector<std::string> walk;
  CopyTree(from, to, overwrite, walk);
}

void OverlayFileSystem::CopyFile(const std::string& source, const std::string& destination,
                                 bool overwrite) {
  Where from = Parse(source);
  if (Find(from).kind != Kind::kFile) throw Error(kErrFileNotFound, source);
  Where to = CopyTarget(from, destination);
  if (Find(to).kind == Kind::kFolder) throw Error(kErrPermissionDenied, to.text);
  CopyOne(from, to, overwrite);
}

void OverlayFileSystem::MoveFile(const std::string& source, const std::string& destination) {
  Where from = Parse(source);
  if (Find(from).kind != Kind::kFile) throw Error(kErrFileNotFound, source);
  Where to = CopyTarget(from, destination);
  // Only a new letter case for the same entry may move onto an existing name.
  if (to.key != from.key && Find(to).kind != Kind::kNone)
    throw Error(kErrFileAlreadyExists, to.text);
  Entry moved = TakeFile(from);
  moved.name = to.names.back();
  if (to.key != from.key) Hide(from);
  Put(to, std::move(moved));
}

void OverlayFileSystem::ReplaceFile(const std::string& replaced, const std::string& replacement) {
  Where old_file = Parse(replaced), new_file = Parse(replacement);
  Found old_found = Find(old_file);
  if (old_found.kind != Kind::kFile) throw Error(kErrFileNotFound, replaced);
  if (Find(new_file).kind != Kind::kFile) throw Error(kErrFileNotFound, replacement);
  if (Parent(old_file).key != Parent(new_file).key) throw Error(kErrPathFileAccess, replacement);
  const uint32_t attributes = AttributesOf(old_file, old_found);
  Entry moved = TakeFile(new_file);
  moved.name = old_file.names.back();
  moved.attributes = attributes;
  Hide(new_file);
  Put(old_file, std::move(moved));
}

void OverlayFileSystem::MoveFolder(const std::string& source, const std::string& destination) {
  Where from = Parse(source);
  if (Find(from).kind != Kind::kFolder) throw Error(kErrPathNotFound, source);
  Where to = CopyTarget(from, destination);
  if (to.key.compare(0, from.key.size() + 1, from.key + "\\") == 0)
    throw Error(kErrPermissionDenied, to.text);
  if (to.key == from.key) {
    // A new letter case: only a folder made here keeps a name of its own.
    if (Found found = Find(from); found.entry) found.entry->name = to.names.back();
    return;
  }
  if (Find(to).kind != Kind::kNone) throw Error(kErrFileAlreadyExists, to.text);
  MoveTree(from, to);
  Hide(from);
}

void OverlayFileSystem::DeleteFolder(const std::string& path, bool force) {
  Where w = Parse(path);
  if (Find(w).kind != Kind::kFolder) throw Error(kErrPathNotFound, path);
  if (!force) {
    std::function<void(const Where&)> check = [&](const Where& folder) {
      for (const std::string& name : List(folder)) {
        Where child = Child(folder, name);
        Found found = Find(child);
        if (found.kind == Kind::kFolder) check(child);
        else if (AttributesOf(child, found) & kAttrReadOnly)
          throw Error(kErrPermissionDenied, child.text);
      }
    };
    check(w);
  }
  Hide(w);
}

void OverlayFileSystem::DeleteFile(const std::string& path, bool force) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  if (!force && (AttributesOf(w, found) & kAttrReadOnly)) throw Error(kErrPermissionDenied, path);
  Hide(w);
}

void OverlayFileSystem::CreateFolder(const std::string& path) {
  Where w = Parse(path);
  if (Find(w).kind != Kind::kNone) throw Error(kErrFileAlreadyExists, path);
  if (Find(Parent(w)).kind != Kind::kFolder) throw Error(kErrPathNotFound, path);
  MakeFolder(w);
}

// A file's only, as the backends: a folder in its place is no file (53).
uint32_t OverlayFileSystem::GetAttributes(const std::string& path) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  return AttributesOf(w, found);
}

void OverlayFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  FileEntry(w, found).attributes = attributes & kSettableAttributes;
}

std::string OverlayFileSystem::GetFileVersion(const std::string& path) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  if (!found.entry) return base_.GetFileVersion(w.text);
  const Content& content = *found.entry->content;
  if (content.in_memory) return ReadPeFileVersion(content.bytes);
  return base_.GetFileVersion(content.base_path);
}

std::vector<uint8_t> OverlayFileSystem::ReadFileBytes(const std::string& path) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  if (!found.entry) return base_.ReadFileBytes(w.text);
  const Content& content = *found.entry->content;
  return content.in_memory ? content.bytes : base_.ReadFileBytes(content.base_path);
}

void OverlayFileSystem::WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind == Kind::kFolder) throw Error(kErrPermissionDenied, path);
  uint32_t attributes = kAttrArchive;
  if (found.kind == Kind::kFile) {
    attributes = AttributesOf(w, found);
    if (attributes & kAttrReadOnly) throw Error(kErrPermissionDenied, path);
  } else if (Find(Parent(w)).kind != Kind::kFolder) {
    throw Error(kErrPathNotFound, path);
  }
  auto content = NewContent("");
  content->bytes = data;
  memory_.Add(int64_t(data.size()));
  Put(w, {Entry::Kind::kFile, w.names.back(), std::move(content), attributes});
}

std::unique_ptr<RandomAccessFile> OverlayFileSystem::OpenRandomAccess(const std::string& path,
                                                                      bool writable) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  if (writable && (AttributesOf(w, found) & kAttrReadOnly)) throw Error(kErrPermissionDenied, path);
  // Always through an entry, so that every open of the file sees the writes
  // of the others.
  return std::make_unique<File>(*this, FileEntry(w, found).content, path, writable);
}

std::unique_ptr<RandomAccessFile> OverlayFileSystem::CreateRandomAccess(const std::string& path) {
  Where w = Parse(path);
  if (Find(w).kind != Kind::kNone) throw Error(kErrFileAlreadyExists, path);
  if (Find(Parent(w)).kind != Kind::kFolder) throw Error(kErrPathNotFound, path);
  auto content = NewContent("");
  Put(w, {Entry::Kind::kFile, w.names.back(), content, kAttrArchive});
  return std::make_unique<File>(*this, std::move(content), path, true);
}

std::vector<std::string> OverlayFileSystem::ListFolder(const std::string& path) {
  Where w = Parse(path);
  if (Find(w).kind != Kind::kFolder) throw Error(kErrPathNotFound, path);
  return List(w);
}

FileStamp OverlayFileSystem::GetFileStamp(const std::string& path) {
  Where w = Parse(path);
  Found found = Find(w);
  if (found.kind != Kind::kFile) throw Error(kErrFileNotFound, path);
  if (!found.entry) return base_.GetFileStamp(w.text);
  // Every change here moves the generation on: the stamp can be trusted.
  Content& content = *found.entry->content;
  FileStamp stamp;
  stamp.size = SizeOf(content);
  stamp.modified = int64_t(content.generation);
  stamp.file_id = content.id;
  stamp.settled = true;
  return stamp;
}

void OverlayFileSystem::FlushFolder(const std::string& path) {
  if (Find(Parse(path)).kind != Kind::kFolder) throw Error(kErrPathNotFound, path);
}

std::unique_ptr<FileLock> OverlayFileSystem::LockFile(const std::string& path, uint64_t,
                                                      uint64_t) {
  const size_t cut = path.find_last_of('\\');
  if (cut == std::string::npos || !FolderExists(path.substr(0, cut)))
    throw Error(kErrPathNotFound, path);
  return std::make_unique<FileLock>();
}

std::optional<uint64_t> OverlayFileSystem::FreeSpace(const std::string& path) {
  return base_.FreeSpace(path);
}

}  // namespace act
