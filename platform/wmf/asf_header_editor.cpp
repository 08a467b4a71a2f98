#include "platform/wmf/asf_header_editor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/replace_file_head.h"
#include "platform/files/unique_fd.h"
#include "platform/wmf/asf_objects.h"

namespace platform::wm {
namespace {

using namespace asf;

// Both the extended content description and the metadata objects hold a 16-bit count and
// then their records.
constexpr size_t kMaxRecords = 0xFFFF;
constexpr size_t kMaxShortValue = 0xFFFF;

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool Removed(const std::u16string& name, const AsfAttributeEdit& edit) {
  for (const std::u16string& r : edit.remove) {
    if (SameName(name, r)) return true;
  }
  return false;
}

// The records an object keeps, as stored, and how many they are.
struct Records {
  std::vector<uint8_t> bytes;
  size_t count = 0;

  void Keep(std::span<const uint8_t> record) {
    bytes.insert(bytes.end(), record.begin(), record.end());
    ++count;
  }
};

// The extended content description's records that the edit keeps: a name length, the name,
// the stored type, a 16-bit value length and the value.
std::optional<Records> KeptDescriptors(std::span<const uint8_t> body,
                                       const AsfAttributeEdit& edit) {
  Cursor c(body);
  if (!c.Has(2)) return std::nullopt;
  const uint64_t count = c.Le(2);
  Records kept;
  for (uint64_t i = 0; i < count; ++i) {
    const size_t start = c.Pos();
    if (!c.Has(2)) return std::nullopt;
    const auto nameLength = static_cast<size_t>(c.Le(2));
    if (!c.Has(nameLength)) return std::nullopt;
    const std::u16string name = Utf16Name(c.Take(nameLength));
    if (!c.Has(4)) return std::nullopt;
    c.Skip(2);
    const auto valueLength = static_cast<size_t>(c.Le(2));
    if (!c.Has(valueLength)) return std::nullopt;
    c.Skip(valueLength);
    if (!Removed(name, edit)) kept.Keep(body.subspan(start, c.Pos() - start));
  }
  return kept;
}

// The metadata or metadata library records that the edit keeps: language index, stream,
// name length, stored type, a 32-bit value length, the name and the value.
std::optional<Records> KeptMetadata(std::span<const uint8_t> body, const AsfAttributeEdit& edit) {
  Cursor c(body);
  if (!c.Has(2)) return std::nullopt;
  const uint64_t count = c.Le(2);
  Records kept;
  for (uint64_t i = 0; i < count; ++i) {
    const size_t start = c.Pos();
    if (!c.Has(12)) return std::nullopt;
    c.Skip(4);
    const auto nameLength = static_cast<size_t>(c.Le(2));
    c.Skip(2);
    const uint64_t valueLength = c.Le(4);
    if (!c.Has(nameLength)) return std::nullopt;
    const std::u16string name = Utf16Name(c.Take(nameLength));
    if (valueLength > c.Left()) return std::nullopt;
    c.Skip(static_cast<size_t>(valueLength));
    if (!Removed(name, edit)) kept.Keep(body.subspan(start, c.Pos() - start));
  }
  return kept;
}

bool Short(const AsfAttribute& a) {
  return a.value.size() <= kMaxShortValue;
}

bool AddDescriptor(Records& records, const AsfAttribute& a) {
  const size_t nameBytes = (a.name.size() + 1) * 2;
  if (nameBytes > 0xFFFF || records.count >= kMaxRecords) return false;
  PutLe(records.bytes, nameBytes, 2);
  PutUtf16z(records.bytes, a.name);
  PutLe(records.bytes, ToStored(a.type), 2);
  PutLe(records.bytes, a.value.size(), 2);
  records.bytes.insert(records.bytes.end(), a.value.begin(), a.value.end());
  ++records.count;
  return true;
}

bool AddLibraryRecord(Records& records, const AsfAttribute& a) {
  const size_t nameBytes = (a.name.size() + 1) * 2;
  // A BOOL is 32 bits to callers and in the extended content description, 16 bits here.
  const size_t valueBytes = a.type == WMT_TYPE_BOOL ? 2 : a.value.size();
  if (nameBytes > 0xFFFF || a.value.size() < valueBytes || valueBytes > 0xFFFFFFFFu ||
      records.count >= kMaxRecords) {
    return false;
  }
  PutLe(records.bytes, 0, 2);  // language index
  PutLe(records.bytes, 0, 2);  // stream 0: the file
  PutLe(records.bytes, nameBytes, 2);
  PutLe(records.bytes, ToStored(a.type), 2);
  PutLe(records.bytes, valueBytes, 4);
  PutUtf16z(records.bytes, a.name);
  records.bytes.insert(records.bytes.end(), a.value.begin(), a.value.begin() + valueBytes);
  ++records.count;
  return true;
}

void PutRecordsObject(std::vector<uint8_t>& out, const Guid& guid, const Records& records) {
  PutGuid(out, guid);
  PutLe(out, kObjectHeader + 2 + records.bytes.size(), 8);
  PutLe(out, records.count, 2);
  out.insert(out.end(), records.bytes.begin(), records.bytes.end());
}

// Adds the edit's attributes of one kind (short or long) to records.
template <typename Add>
bool AddAll(Records& records, const AsfAttributeEdit& edit, bool shortOnes, Add add) {
  for (const AsfAttribute& a : edit.add) {
    if (Short(a) == shortOnes && !add(records, a)) return false;
  }
  return true;
}

bool AnyLong(const AsfAttributeEdit& edit) {
  for (const AsfAttribute& a : edit.add) {
    if (!Short(a)) return true;
  }
  return false;
}

// The header extension with its metadata edited, the long attributes added to its (first)
// metadata library, and its padding dropped. Without one (extension null), a new extension
// holding the metadata library.
std::optional<std::vector<uint8_t>> EditedExtension(const Object* extension,
                                                    const AsfAttributeEdit& edit) {
  std::vector<uint8_t> out;
  PutGuid(out, kHeaderExtension);
  PutLe(out, 0, 8);
  std::vector<Object> objects;
  if (extension != nullptr) {
    const std::span<const uint8_t> body = extension->Body();
    if (body.size() < kHeaderExtensionFixed) return std::nullopt;
    const uint64_t dataSize = Le(body, 18, 4);
    if (dataSize > body.size() - kHeaderExtensionFixed) return std::nullopt;
    std::optional<std::vector<Object>> inner =
        SplitObjects(body.subspan(kHeaderExtensionFixed, static_cast<size_t>(dataSize)));
    if (!inner) return std::nullopt;
    objects = std::move(*inner);
    out.insert(out.end(), body.begin(), body.begin() + 18);
  } else {
    PutGuid(out, kReserved1);
    PutLe(out, 6, 2);
  }
  PutLe(out, 0, 4);  // data size, patched below
  bool addedLong = !AnyLong(edit);
  for (const Object& o : objects) {
    if (o.Is(kPadding)) continue;
    if (o.Is(kMetadata) || o.Is(kMetadataLibrary)) {
      std::optional<Records> kept = KeptMetadata(o.Body(), edit);
      if (!kept) return std::nullopt;
      if (o.Is(kMetadataLibrary) && !addedLong) {
        if (!AddAll(*kept, edit, false, AddLibraryRecord)) return std::nullopt;
        addedLong = true;
      }
      PutRecordsObject(out, o.Is(kMetadata) ? kMetadata : kMetadataLibrary, *kept);
    } else {
      out.insert(out.end(), o.bytes.begin(), o.bytes.end());
    }
  }
  if (!addedLong) {
    Records library;
    if (!AddAll(library, edit, false, AddLibraryRecord)) return std::nullopt;
    PutRecordsObject(out, kMetadataLibrary, library);
  }
  PatchLe(out, 16, out.size(), 8);
  PatchLe(out, kObjectHeader + 18, out.size() - kObjectHeader - kHeaderExtensionFixed, 4);
  return out;
}

// Appends a padding object of exactly bytes (at least an object header) to a header.
void AddPadding(std::vector<uint8_t>& header, size_t bytes) {
  PutGuid(header, kPadding);
  PutLe(header, bytes, 8);
  header.resize(header.size() + bytes - kObjectHeader, 0);
  PatchLe(header, kHeaderCountOffset, Le(header, kHeaderCountOffset, 4) + 1, 4);
  PatchLe(header, 16, header.size(), 8);
}

// Sets the file properties' file size, unless the header leaves it 0 (written for
// streaming).
void SetFileSize(std::vector<uint8_t>& header, uint64_t fileSize) {
  const std::optional<std::vector<Object>> objects =
      SplitObjects(std::span<const uint8_t>(header).subspan(kHeaderObjectFixed));
  if (!objects) return;
  for (const Object& o : *objects) {
    if (!o.Is(kFileProperties) || o.bytes.size() < kFilePropertiesSize) continue;
    const auto at = static_cast<size_t>(o.bytes.data() - header.data()) + kFileSizeOffset;
    if (Le(header, at, 8) != 0) PatchLe(header, at, fileSize, 8);
    return;
  }
}

bool WriteInPlace(const std::string& path, const std::vector<uint8_t>& header) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  size_t done = 0;
  while (done < header.size()) {
    const ssize_t n =
        ::pwrite(fd.get(), header.data() + done, header.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::fsync(fd.get()) == 0 && fd.Close();
}

}  // namespace

std::optional<std::vector<uint8_t>> EditHeader(std::span<const uint8_t> header,
                                               const AsfAttributeEdit& edit) {
  const std::optional<AsfHeader> parsed = ParseAsfHeader(header);
  if (!parsed) return std::nullopt;
  const std::optional<std::vector<Object>> objects = SplitObjects(header.subspan(
      kHeaderObjectFixed, static_cast<size_t>(parsed->headerSize) - kHeaderObjectFixed));
  if (!objects) return std::nullopt;

  std::vector<uint8_t> out(header.begin(), header.begin() + kHeaderObjectFixed);
  size_t count = 0;
  bool editedDescription = false;
  bool editedExtension = false;
  for (const Object& o : *objects) {
    if (o.Is(kPadding)) continue;
    if (o.Is(kExtendedContentDescription) && !editedDescription) {
      std::optional<Records> kept = KeptDescriptors(o.Body(), edit);
      if (!kept || !AddAll(*kept, edit, true, AddDescriptor)) return std::nullopt;
      PutRecordsObject(out, kExtendedContentDescription, *kept);
      editedDescription = true;
    } else if (o.Is(kHeaderExtension) && !editedExtension) {
      const std::optional<std::vector<uint8_t>> extension = EditedExtension(&o, edit);
      if (!extension) return std::nullopt;
      out.insert(out.end(), extension->begin(), extension->end());
      editedExtension = true;
    } else if (o.Is(kExtendedContentDescription)) {
      // A second description (rare): its records are edited, nothing is added to it.
      const std::optional<Records> kept = KeptDescriptors(o.Body(), edit);
      if (!kept) return std::nullopt;
      PutRecordsObject(out, kExtendedContentDescription, *kept);
    } else {
      out.insert(out.end(), o.bytes.begin(), o.bytes.end());
    }
    ++count;
  }
  bool anyShort = false;
  for (const AsfAttribute& a : edit.add) anyShort = anyShort || Short(a);
  if (!editedDescription && anyShort) {
    Records added;
    if (!AddAll(added, edit, true, AddDescriptor)) return std::nullopt;
    PutRecordsObject(out, kExtendedContentDescription, added);
    ++count;
  }
  if (!editedExtension && AnyLong(edit)) {
    const std::optional<std::vector<uint8_t>> extension = EditedExtension(nullptr, edit);
    if (!extension) return std::nullopt;
    out.insert(out.end(), extension->begin(), extension->end());
    ++count;
  }
  PatchLe(out, 16, out.size(), 8);
  PatchLe(out, kHeaderCountOffset, count, 4);
  return out;
}

AsfEditResult EditAsfAttributes(const std::string& path, const AsfAttributeEdit& edit) {
  const std::optional<std::vector<uint8_t>> old = ReadAsfHeaderBytes(path);
  if (!old || !ParseAsfHeader(*old)) return AsfEditResult::kUnreadable;
  struct stat info {};
  std::vector<uint8_t> next(kObjectHeader);
  {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 ||
        ::pread(fd.get(), next.data(), next.size(), static_cast<off_t>(old->size())) !=
            static_cast<ssize_t>(next.size()) ||
        !IsGuid(next, kDataObject)) {
      return AsfEditResult::kUnreadable;
    }
  }
  std::optional<std::vector<uint8_t>> header = EditHeader(*old, edit);
  if (!header || header->size() > kMaxAsfHeaderBytes) return AsfEditResult::kTooLarge;

  const auto fileSize = static_cast<uint64_t>(info.st_size);
  if (header->size() == old->size() || header->size() + kObjectHeader <= old->size()) {
    if (header->size() < old->size()) AddPadding(*header, old->size() - header->size());
    SetFileSize(*header, fileSize);
    return WriteInPlace(path, *header) ? AsfEditResult::kInPlace : AsfEditResult::kFailed;
  }
  if (header->size() + kAsfEditPadding <= kMaxAsfHeaderBytes) {
    AddPadding(*header, kAsfEditPadding);
  }
  SetFileSize(*header, fileSize - old->size() + header->size());
  return ReplaceFileHead(path, old->size(), *header) ? AsfEditResult::kRewritten
                                                     : AsfEditResult::kFailed;
}

}  // namespace platform::wm
