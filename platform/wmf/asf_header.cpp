#include "platform/wmf/asf_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/files/unique_fd.h"

namespace platform::wm {
namespace {

using Guid = std::array<uint8_t, 16>;

// GUIDs are stored Data1..Data3 little-endian, then Data4 as it is.
constexpr Guid MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, std::array<uint8_t, 8> d4) {
  return Guid{static_cast<uint8_t>(d1),
              static_cast<uint8_t>(d1 >> 8),
              static_cast<uint8_t>(d1 >> 16),
              static_cast<uint8_t>(d1 >> 24),
              static_cast<uint8_t>(d2),
              static_cast<uint8_t>(d2 >> 8),
              static_cast<uint8_t>(d3),
              static_cast<uint8_t>(d3 >> 8),
              d4[0],
              d4[1],
              d4[2],
              d4[3],
              d4[4],
              d4[5],
              d4[6],
              d4[7]};
}

constexpr Guid kHeaderObject =
    MakeGuid(0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
constexpr Guid kFileProperties =
    MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
constexpr Guid kStreamProperties =
    MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
constexpr Guid kHeaderExtension =
    MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
constexpr Guid kExtendedStreamProperties =
    MakeGuid(0x14E6A5CB, 0xC672, 0x4332, {0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A});
constexpr Guid kContentDescription =
    MakeGuid(0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
constexpr Guid kExtendedContentDescription =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50});
constexpr Guid kMetadata =
    MakeGuid(0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA});
constexpr Guid kMetadataLibrary =
    MakeGuid(0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54});
constexpr Guid kAudioMedia =
    MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B});
constexpr Guid kVideoMedia =
    MakeGuid(0xBC19EFC0, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B});

constexpr size_t kObjectHeader = 24;  // GUID and 64-bit size
constexpr size_t kHeaderObjectFixed = 30;
constexpr size_t kFilePropertiesSize = 104;
// Within the file properties object.
constexpr size_t kFileSizeOffset = 40;
constexpr size_t kPlayDurationOffset = 64;
constexpr size_t kPrerollOffset = 80;
constexpr size_t kMaxBitrateOffset = 100;

// The five fields of the content description, in their stored order.
constexpr std::array<const char16_t*, 5> kContentNames{u"Title", u"Author", u"Copyright",
                                                       u"Description", u"Rating"};

// Little-endian reads within one span; every read is checked by the caller's Has().
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Has(size_t n) const { return n <= bytes_.size() - pos_; }
  size_t Pos() const { return pos_; }
  size_t Left() const { return bytes_.size() - pos_; }
  void Skip(size_t n) { pos_ += n; }
  uint64_t Le(size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }
  std::span<const uint8_t> Take(size_t n) {
    const std::span<const uint8_t> part = bytes_.subspan(pos_, n);
    pos_ += n;
    return part;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

uint64_t Le(std::span<const uint8_t> bytes, size_t offset, size_t n) {
  Cursor c(bytes);
  c.Skip(offset);
  return c.Le(n);
}

bool IsGuid(std::span<const uint8_t> bytes, const Guid& guid) {
  return bytes.size() >= 16 && std::memcmp(bytes.data(), guid.data(), 16) == 0;
}

// One object: its GUID and whole bytes (header included).
struct Object {
  std::span<const uint8_t> bytes;
  bool Is(const Guid& guid) const { return IsGuid(bytes, guid); }
  std::span<const uint8_t> Body() const { return bytes.subspan(kObjectHeader); }
};

// The objects that follow one another in a region, each within it; nullopt when one is
// shorter than an object header or runs past the region.
std::optional<std::vector<Object>> SplitObjects(std::span<const uint8_t> region) {
  std::vector<Object> objects;
  Cursor c(region);
  while (c.Left() > 0) {
    if (!c.Has(kObjectHeader)) return std::nullopt;
    const uint64_t size = Le(region, c.Pos() + 16, 8);
    if (size < kObjectHeader || size > c.Left()) return std::nullopt;
    objects.push_back({c.Take(static_cast<size_t>(size))});
  }
  return objects;
}

std::u16string Utf16Name(std::span<const uint8_t> bytes) {
  std::u16string name;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

std::vector<uint8_t> Bytes(std::span<const uint8_t> s) {
  return {s.begin(), s.end()};
}

bool ReadContentDescription(std::span<const uint8_t> body, std::vector<AsfAttribute>& out) {
  Cursor c(body);
  if (!c.Has(10)) return false;
  std::array<size_t, 5> lengths{};
  for (size_t& length : lengths) length = static_cast<size_t>(c.Le(2));
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (!c.Has(lengths[i])) return false;
    const std::span<const uint8_t> value = c.Take(lengths[i]);
    if (!value.empty()) out.push_back({kContentNames[i], WMT_TYPE_STRING, Bytes(value), 0});
  }
  return true;
}

// ASF files number their value types differently from the runtime's calls: 0 text,
// 1 bytes, 2 BOOL, 3 DWORD, 4 QWORD, 5 WORD, 6 GUID.
constexpr std::array<WMT_ATTR_DATATYPE, 7> kStoredTypes{
    WMT_TYPE_STRING, WMT_TYPE_BINARY, WMT_TYPE_BOOL, WMT_TYPE_DWORD,
    WMT_TYPE_QWORD,  WMT_TYPE_WORD,   WMT_TYPE_GUID};

std::optional<WMT_ATTR_DATATYPE> FromStored(uint64_t stored) {
  if (stored >= kStoredTypes.size()) return std::nullopt;
  return kStoredTypes[stored];
}

uint16_t ToStored(WMT_ATTR_DATATYPE type) {
  for (size_t i = 0; i < kStoredTypes.size(); ++i) {
    if (kStoredTypes[i] == type) return static_cast<uint16_t>(i);
  }
  return 1;  // bytes
}

bool ReadExtendedContentDescription(std::span<const uint8_t> body, std::vector<AsfAttribute>& out) {
  Cursor c(body);
  if (!c.Has(2)) return false;
  const uint64_t count = c.Le(2);
  for (uint64_t i = 0; i < count; ++i) {
    if (!c.Has(2)) return false;
    const auto nameLength = static_cast<size_t>(c.Le(2));
    if (!c.Has(nameLength)) return false;
    const std::u16string name = Utf16Name(c.Take(nameLength));
    if (!c.Has(4)) return false;
    const uint64_t type = c.Le(2);
    const auto valueLength = static_cast<size_t>(c.Le(2));
    if (!c.Has(valueLength)) return false;
    const std::span<const uint8_t> value = c.Take(valueLength);
    if (const std::optional<WMT_ATTR_DATATYPE> t = FromStored(type)) {
      out.push_back({name, *t, Bytes(value), 0});
    }
  }
  return true;
}

// The metadata and metadata library objects share one record shape.
bool ReadMetadataRecords(std::span<const uint8_t> body, std::vector<AsfAttribute>& out) {
  Cursor c(body);
  if (!c.Has(2)) return false;
  const uint64_t count = c.Le(2);
  for (uint64_t i = 0; i < count; ++i) {
    if (!c.Has(12)) return false;
    c.Skip(2);  // reserved or language index
    const auto stream = static_cast<uint16_t>(c.Le(2));
    const auto nameLength = static_cast<size_t>(c.Le(2));
    const uint64_t type = c.Le(2);
    const uint64_t valueLength = c.Le(4);
    if (!c.Has(nameLength)) return false;
    const std::u16string name = Utf16Name(c.Take(nameLength));
    if (valueLength > c.Left()) return false;
    const std::span<const uint8_t> value = c.Take(static_cast<size_t>(valueLength));
    if (const std::optional<WMT_ATTR_DATATYPE> t = FromStored(type)) {
      std::vector<uint8_t> v = Bytes(value);
      if (*t == WMT_TYPE_BOOL) v.resize(4, 0);  // 16 bits here, a 32-bit BOOL to callers
      out.push_back({name, *t, std::move(v), stream});
    }
  }
  return true;
}

bool ReadStreamProperties(std::span<const uint8_t> body, std::vector<AsfStream>& out) {
  Cursor c(body);
  if (!c.Has(54)) return false;
  const std::span<const uint8_t> type = c.Take(16);
  c.Skip(16 + 8 + 4 + 4);  // error correction type, time offset, the two data lengths
  const auto number = static_cast<uint16_t>(c.Le(2) & 0x7F);
  MajorType major = MajorType::kOther;
  if (IsGuid(type, kAudioMedia)) major = MajorType::kAudio;
  if (IsGuid(type, kVideoMedia)) major = MajorType::kVideo;
  for (const AsfStream& s : out) {
    if (s.number == number) return true;  // described twice (extended properties)
  }
  out.push_back({number, major});
  return true;
}

bool ReadHeaderExtension(std::span<const uint8_t> body, AsfHeader& header) {
  Cursor c(body);
  if (!c.Has(22)) return false;
  c.Skip(18);
  const uint64_t dataSize = c.Le(4);
  if (dataSize > c.Left()) return false;
  const std::optional<std::vector<Object>> objects =
      SplitObjects(body.subspan(c.Pos(), static_cast<size_t>(dataSize)));
  if (!objects) return false;
  for (const Object& o : *objects) {
    if (o.Is(kMetadata) || o.Is(kMetadataLibrary)) {
      if (!ReadMetadataRecords(o.Body(), header.attributes)) return false;
    } else if (o.Is(kExtendedStreamProperties)) {
      // Streams described here carry their stream properties object after 64 fixed bytes,
      // the stream names and the payload extension systems.
      Cursor e(o.Body());
      if (!e.Has(64)) return false;
      e.Skip(60);
      const uint64_t names = e.Le(2);
      const uint64_t systems = e.Le(2);
      for (uint64_t i = 0; i < names; ++i) {
        if (!e.Has(4)) return false;
        e.Skip(2);
        const auto length = static_cast<size_t>(e.Le(2));
        if (!e.Has(length)) return false;
        e.Skip(length);
      }
      for (uint64_t i = 0; i < systems; ++i) {
        if (!e.Has(22)) return false;
        e.Skip(18);
        const uint64_t length = e.Le(4);
        if (length > e.Left()) return false;
        e.Skip(static_cast<size_t>(length));
      }
      if (e.Left() > 0) {
        const std::optional<std::vector<Object>> inner = SplitObjects(o.Body().subspan(e.Pos()));
        if (!inner) return false;
        for (const Object& s : *inner) {
          if (s.Is(kStreamProperties) && !ReadStreamProperties(s.Body(), header.streams)) {
            return false;
          }
        }
      }
    }
  }
  return true;
}

void PutLe(std::vector<uint8_t>& out, uint64_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutGuid(std::vector<uint8_t>& out, const Guid& guid) {
  out.insert(out.end(), guid.begin(), guid.end());
}

void PutUtf16z(std::vector<uint8_t>& out, const std::u16string& text) {
  for (const char16_t unit : text) PutLe(out, unit, 2);
  PutLe(out, 0, 2);
}

void PatchLe(std::vector<uint8_t>& out, size_t offset, uint64_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::optional<std::vector<uint8_t>> ContentDescriptionObject(
    std::span<const AsfAttribute> attributes) {
  std::array<const AsfAttribute*, 5> fields{};
  bool any = false;
  for (const AsfAttribute& a : attributes) {
    for (size_t i = 0; i < kContentNames.size(); ++i) {
      if (a.stream == 0 && a.name == kContentNames[i]) {
        if (a.type != WMT_TYPE_STRING || a.value.size() > 0xFFFF) return std::nullopt;
        fields[i] = &a;
        any = true;
      }
    }
  }
  std::vector<uint8_t> out;
  if (!any) return out;
  PutGuid(out, kContentDescription);
  PutLe(out, 0, 8);
  for (const AsfAttribute* f : fields) PutLe(out, f ? f->value.size() : 0, 2);
  for (const AsfAttribute* f : fields) {
    if (f) out.insert(out.end(), f->value.begin(), f->value.end());
  }
  PatchLe(out, 16, out.size(), 8);
  return out;
}

bool IsContentName(const std::u16string& name) {
  for (const char16_t* n : kContentNames) {
    if (name == n) return true;
  }
  return false;
}

std::optional<std::vector<uint8_t>> ExtendedContentObject(
    std::span<const AsfAttribute> attributes) {
  std::vector<uint8_t> out;
  size_t count = 0;
  for (const AsfAttribute& a : attributes) count += IsContentName(a.name) ? 0 : 1;
  if (count == 0) return out;
  if (count > 0xFFFF) return std::nullopt;
  PutGuid(out, kExtendedContentDescription);
  PutLe(out, 0, 8);
  PutLe(out, count, 2);
  for (const AsfAttribute& a : attributes) {
    if (IsContentName(a.name)) continue;
    if ((a.name.size() + 1) * 2 > 0xFFFF || a.value.size() > 0xFFFF || a.stream != 0) {
      return std::nullopt;
    }
    PutLe(out, (a.name.size() + 1) * 2, 2);
    PutUtf16z(out, a.name);
    PutLe(out, ToStored(a.type), 2);
    PutLe(out, a.value.size(), 2);
    out.insert(out.end(), a.value.begin(), a.value.end());
  }
  PatchLe(out, 16, out.size(), 8);
  return out;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadAsfHeaderBytes(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::vector<uint8_t> bytes(kHeaderObjectFixed);
  if (::pread(fd.get(), bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
      !IsGuid(bytes, kHeaderObject)) {
    return std::nullopt;
  }
  const uint64_t size = Le(bytes, 16, 8);
  if (size < kHeaderObjectFixed || size > kMaxAsfHeaderBytes ||
      size > static_cast<uint64_t>(info.st_size)) {
    return std::nullopt;
  }
  bytes.resize(static_cast<size_t>(size));
  size_t done = kHeaderObjectFixed;
  while (done < bytes.size()) {
    const ssize_t got =
        ::pread(fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got <= 0) return std::nullopt;
    done += static_cast<size_t>(got);
  }
  return bytes;
}

std::optional<AsfHeader> ParseAsfHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderObjectFixed || !IsGuid(bytes, kHeaderObject)) return std::nullopt;
  AsfHeader header;
  header.headerSize = Le(bytes, 16, 8);
  if (header.headerSize < kHeaderObjectFixed || header.headerSize > bytes.size()) {
    return std::nullopt;
  }
  const std::optional<std::vector<Object>> objects = SplitObjects(bytes.subspan(
      kHeaderObjectFixed, static_cast<size_t>(header.headerSize) - kHeaderObjectFixed));
  if (!objects) return std::nullopt;
  std::vector<AsfAttribute> content;
  std::vector<AsfAttribute> others;
  bool sawFileProperties = false;
  for (const Object& o : *objects) {
    bool ok = true;
    if (o.Is(kFileProperties)) {
      if (o.bytes.size() < kFilePropertiesSize) return std::nullopt;
      header.fileSize = Le(o.bytes, kFileSizeOffset, 8);
      header.playDuration = Le(o.bytes, kPlayDurationOffset, 8);
      header.prerollMs = Le(o.bytes, kPrerollOffset, 8);
      header.maxBitrate = static_cast<uint32_t>(Le(o.bytes, kMaxBitrateOffset, 4));
      sawFileProperties = true;
    } else if (o.Is(kStreamProperties)) {
      ok = ReadStreamProperties(o.Body(), header.streams);
    } else if (o.Is(kContentDescription)) {
      ok = ReadContentDescription(o.Body(), content);
    } else if (o.Is(kExtendedContentDescription)) {
      ok = ReadExtendedContentDescription(o.Body(), others);
    } else if (o.Is(kHeaderExtension)) {
      AsfHeader extension;
      ok = ReadHeaderExtension(o.Body(), extension);
      others.insert(others.end(), extension.attributes.begin(), extension.attributes.end());
      for (const AsfStream& s : extension.streams) header.streams.push_back(s);
    }
    if (!ok) return std::nullopt;
  }
  if (!sawFileProperties) return std::nullopt;
  header.attributes = std::move(content);
  header.attributes.insert(header.attributes.end(), others.begin(), others.end());
  return header;
}

std::optional<std::vector<uint8_t>> RewriteHeader(std::span<const uint8_t> bytes,
                                                  std::span<const AsfAttribute> attributes,
                                                  std::optional<uint64_t> soundDuration) {
  const std::optional<AsfHeader> old = ParseAsfHeader(bytes);
  if (!old) return std::nullopt;
  const std::optional<std::vector<Object>> objects = SplitObjects(
      bytes.subspan(kHeaderObjectFixed, static_cast<size_t>(old->headerSize) - kHeaderObjectFixed));
  const std::optional<std::vector<uint8_t>> content = ContentDescriptionObject(attributes);
  const std::optional<std::vector<uint8_t>> extended = ExtendedContentObject(attributes);
  if (!objects || !content || !extended) return std::nullopt;

  std::vector<uint8_t> out(bytes.begin(), bytes.begin() + kHeaderObjectFixed);
  uint64_t count = 0;
  size_t filePropertiesAt = 0;
  for (const Object& o : *objects) {
    if (o.Is(kContentDescription) || o.Is(kExtendedContentDescription)) continue;
    if (o.Is(kFileProperties)) filePropertiesAt = out.size();
    out.insert(out.end(), o.bytes.begin(), o.bytes.end());
    ++count;
  }
  // Attributes follow the file and stream properties, as Windows Media files have them.
  for (const std::vector<uint8_t>* part : {&*content, &*extended}) {
    if (part->empty()) continue;
    out.insert(out.end(), part->begin(), part->end());
    ++count;
  }
  PatchLe(out, 16, out.size(), 8);
  PatchLe(out, 24, count, 4);
  if (soundDuration) {
    PatchLe(out, filePropertiesAt + kPlayDurationOffset, *soundDuration + old->prerollMs * 10'000,
            8);
  }
  // A header written for streaming leaves the file size 0; it stays so.
  if (old->fileSize >= old->headerSize) {
    PatchLe(out, filePropertiesAt + kFileSizeOffset, old->fileSize - old->headerSize + out.size(),
            8);
  }
  return out;
}

}  // namespace platform::wm
