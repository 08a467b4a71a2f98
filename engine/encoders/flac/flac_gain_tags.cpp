#include "engine/encoders/flac/flac_gain_tags.h"

#include <FLAC/metadata.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "engine/encoders/tags/gain_comment_fields.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

struct ChainDeleter {
  void operator()(FLAC__Metadata_Chain* chain) const { FLAC__metadata_chain_delete(chain); }
};
struct IteratorDeleter {
  void operator()(FLAC__Metadata_Iterator* iterator) const {
    FLAC__metadata_iterator_delete(iterator);
  }
};
struct BlockDeleter {
  void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

bool Fail(const std::string& reason) {
  SetFailureNote("the FLAC comments could not be rewritten: " + reason);
  return false;
}

bool FailWith(FLAC__Metadata_Chain* chain) {
  switch (FLAC__metadata_chain_status(chain)) {
    case FLAC__METADATA_CHAIN_STATUS_NOT_A_FLAC_FILE:
      return Fail("it is no FLAC file");
    case FLAC__METADATA_CHAIN_STATUS_BAD_METADATA:
      return Fail("its metadata is damaged");
    case FLAC__METADATA_CHAIN_STATUS_ERROR_OPENING_FILE:
    case FLAC__METADATA_CHAIN_STATUS_READ_ERROR:
    case FLAC__METADATA_CHAIN_STATUS_SEEK_ERROR:
      return Fail("the file could not be read");
    case FLAC__METADATA_CHAIN_STATUS_MEMORY_ALLOCATION_ERROR:
      return Fail("there is not enough memory");
    default:
      return Fail("the file could not be written");
  }
}

bool IsGainEntry(const FLAC__StreamMetadata_VorbisComment_Entry& entry) {
  return IsGainComment(std::string_view(reinterpret_cast<const char*>(entry.entry), entry.length));
}

// The file's VORBIS_COMMENT block; a new one after STREAMINFO when it has none.
FLAC__StreamMetadata* CommentBlock(FLAC__Metadata_Chain* chain) {
  std::unique_ptr<FLAC__Metadata_Iterator, IteratorDeleter> iterator(FLAC__metadata_iterator_new());
  if (!iterator) return nullptr;
  FLAC__metadata_iterator_init(iterator.get(), chain);
  do {
    if (FLAC__metadata_iterator_get_block_type(iterator.get()) ==
        FLAC__METADATA_TYPE_VORBIS_COMMENT) {
      return FLAC__metadata_iterator_get_block(iterator.get());
    }
  } while (FLAC__metadata_iterator_next(iterator.get()));
  FLAC__metadata_iterator_init(iterator.get(), chain);
  std::unique_ptr<FLAC__StreamMetadata, BlockDeleter> block(
      FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
  if (!block || !FLAC__metadata_iterator_insert_block_after(iterator.get(), block.get())) {
    return nullptr;
  }
  return block.release();  // the chain owns it now
}

}  // namespace

bool WriteFlacGainTags(const std::string& path, const GainTags& gains) {
  std::unique_ptr<FLAC__Metadata_Chain, ChainDeleter> chain(FLAC__metadata_chain_new());
  if (!chain) return Fail("there is not enough memory");
  if (!FLAC__metadata_chain_read(chain.get(), path.c_str())) return FailWith(chain.get());
  FLAC__StreamMetadata* comments = CommentBlock(chain.get());
  if (comments == nullptr) return Fail("there is not enough memory");
  for (uint32_t i = comments->data.vorbis_comment.num_comments; i-- > 0;) {
    if (IsGainEntry(comments->data.vorbis_comment.comments[i]) &&
        !FLAC__metadata_object_vorbiscomment_delete_comment(comments, i)) {
      return Fail("there is not enough memory");
    }
  }
  for (const CommentField& field : GainCommentFields(gains, GainCommentStyle::kReplayGain)) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, field.name,
                                                                        field.value.c_str())) {
      return Fail("there is not enough memory");
    }
    if (!FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, /*copy=*/false)) {
      std::free(entry.entry);  // still ours when it was not taken
      return Fail("there is not enough memory");
    }
  }
  // Padding anywhere among the blocks is gathered at the end, where libFLAC takes room from.
  FLAC__metadata_chain_sort_padding(chain.get());
  if (!FLAC__metadata_chain_write(chain.get(), /*use_padding=*/true,
                                  /*preserve_file_stats=*/false)) {
    return FailWith(chain.get());
  }
  return true;
}

}  // namespace sonorell
