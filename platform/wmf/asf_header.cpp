#include "platform/wmf/asf_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "platform/files/unique_fd.h"
#include "platform/wmf/asf_objects.h"

namespace platform::wm {
namespace {

using namespace asf;

// The five fields of the content description, in their stored order.
constexpr std::array<const char16_t*, 5> kContentNames{u"Title", u"Author", u"Copyright",
                                                       u"Description", u"Rating"};

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
