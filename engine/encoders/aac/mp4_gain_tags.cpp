#include "engine/encoders/aac/mp4_gain_tags.h"

#include <optional>
#include <string_view>
#include <vector>

#include "engine/encoders/aac/mp4_atoms.h"
#include "engine/encoders/tags/gain_texts.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

constexpr std::string_view kFullBoxPrefix("\0\0\0\0", 4);
constexpr std::string_view kItunesMean = "com.apple.iTunes";
// The handler a metadata atom of iTunes items names: "mdir" by "appl".
constexpr std::string_view kMetadataHandler(
    "\0\0\0\0"
    "\0\0\0\0mdirappl\0\0\0\0\0\0\0\0\0",
    25);
constexpr std::string_view kUtf8DataType("\0\0\0\1\0\0\0\0", 8);

bool IsGainItem(std::string_view item) {
  const std::optional<std::string> name = ChildBody(item, "name");
  return name && name->size() >= kFullBoxPrefix.size() &&
         IsReplayGainName(std::string_view(*name).substr(kFullBoxPrefix.size()));
}

std::optional<std::string> FreeformItem(std::string_view name, const std::string& value) {
  const auto mean = MakeAtom("mean", std::string(kFullBoxPrefix) + std::string(kItunesMean));
  const auto named = MakeAtom("name", std::string(kFullBoxPrefix) + std::string(name));
  const auto data = MakeAtom("data", std::string(kUtf8DataType) + value);
  if (!mean || !named || !data) return std::nullopt;
  return MakeAtom("----", *mean + *named + *data);
}

// The item list with its gain items replaced by these.
std::optional<std::string> EditedItemList(std::string_view items, const GainTags& gains) {
  const auto atoms = ListAtoms(items, 0, items.size());
  if (!atoms) return std::nullopt;
  std::string out;
  for (const Mp4Atom& atom : *atoms) {
    const std::string_view item = items.substr(atom.offset, atom.size);
    const std::string_view body = item.substr(atom.headerSize);
    if (atom.type == "----" && IsGainItem(body)) continue;
    out.append(item);
  }
  for (const ReplayGainItem& gain : ReplayGainItems(gains)) {
    const std::optional<std::string> item = FreeformItem(gain.lowerName, gain.value);
    if (!item) return std::nullopt;
    out.append(*item);
  }
  return out;
}

// The index (moov) with its item list edited: udta, meta (with its handler) and ilst made
// where they are missing. A meta atom is a full box in MP4 files and a plain container in
// QuickTime files; either is kept as it is.
std::optional<std::string> EditedIndex(std::string_view moov, uint32_t headerSize,
                                       const GainTags& gains) {
  const std::string_view moovBody = moov.substr(headerSize);
  const std::string udta = ChildBody(moovBody, "udta").value_or(std::string());
  std::string meta =
      ChildBody(udta, "meta")
          .value_or(std::string(kFullBoxPrefix) + *MakeAtom("hdlr", kMetadataHandler));
  const bool plainContainer = meta.size() >= 8 && meta.compare(4, 4, "hdlr") == 0;
  const size_t prefix = plainContainer ? 0 : kFullBoxPrefix.size();
  if (meta.size() < prefix) return std::nullopt;
  const std::string_view metaBody = std::string_view(meta).substr(prefix);
  const std::string items = ChildBody(metaBody, "ilst").value_or(std::string());

  const std::optional<std::string> newItems = EditedItemList(items, gains);
  if (!newItems) return std::nullopt;
  const auto newMetaBody = ReplaceChild(metaBody, "ilst", *newItems);
  if (!newMetaBody) return std::nullopt;
  const auto newUdta = ReplaceChild(udta, "meta", meta.substr(0, prefix) + *newMetaBody);
  if (!newUdta) return std::nullopt;
  const auto newMoovBody = ReplaceChild(moovBody, "udta", *newUdta);
  if (!newMoovBody) return std::nullopt;
  return MakeAtom("moov", *newMoovBody);
}

bool Damaged() {
  SetFailureNote("its MP4 atoms are damaged, so it cannot take gain tags");
  return false;
}

}  // namespace

bool WriteMp4GainTags(const std::string& path, const GainTags& gains) {
  FinishedFile file;
  if (!file.Open(path)) return false;
  const std::optional<std::vector<Mp4Atom>> atoms = ListFileAtoms(file);
  if (!atoms) return Damaged();
  size_t index = 0;
  while (index < atoms->size() && (*atoms)[index].type != "moov") ++index;
  if (index == atoms->size()) return Damaged();
  const Mp4Atom& moov = (*atoms)[index];
  // The free space right after the index is the index's to use.
  uint64_t room = moov.size;
  size_t next = index + 1;
  for (; next < atoms->size() && ((*atoms)[next].type == "free" || (*atoms)[next].type == "skip");
       ++next) {
    room += (*atoms)[next].size;
  }

  const std::optional<std::string> old = file.Read(moov.offset, moov.size);
  if (!old) return Damaged();
  std::optional<std::string> edited = EditedIndex(*old, moov.headerSize, gains);
  if (!edited) return Damaged();

  if (edited->size() == room || (edited->size() < room && room - edited->size() >= 8)) {
    if (edited->size() < room) *edited += FreeAtom(static_cast<uint32_t>(room - edited->size()));
    return OverwriteInPlace(path, moov.offset, *edited);
  }

  // Everything after the index moves by delta: chunk offsets that point there follow it.
  const uint64_t oldEnd = moov.offset + room;
  const int64_t delta =
      static_cast<int64_t>(edited->size() + kMp4GainRoom) - static_cast<int64_t>(room);
  for (size_t i = next; i < atoms->size(); ++i) {
    const std::string& type = (*atoms)[i].type;
    if (type == "moof" || type == "mfra" || type == "sidx") {
      SetFailureNote("it is a fragmented MP4 file, which cannot take gain tags here");
      return false;
    }
  }
  if (!ShiftChunkOffsets(*edited, oldEnd, delta)) return Damaged();
  *edited += FreeAtom(kMp4GainRoom);
  return RewriteFile(path, file,
                     {FilePiece::Kept(0, moov.offset), FilePiece::Own(std::move(*edited)),
                      FilePiece::Kept(oldEnd, file.Size() - oldEnd)});
}

}  // namespace sonorell
