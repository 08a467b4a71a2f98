#pragma once

// The AMR-NB and AMR-WB encoder libraries as Sonorell calls them: each writes the file named
// in its init call in the storage format of RFC 4867 (the magic "#!AMR\n" or "#!AMR-WB\n",
// then one frame after another). Backed by opencore-amrnb and vo-amrwbenc.
namespace platform {

// AMR-NB modes (bit rates), in the codec's own numbering.
enum Mode : int { MR475 = 0, MR515, MR59, MR67, MR74, MR795, MR102, MR122 };

struct AmrNbEncoder;  // opaque
struct AmrWbEncoder;  // opaque

// None when the mode is not one of the eight or the file cannot be created.
AmrNbEncoder* amrnbenc_init(const char* path, int dtx, Mode mode);
// Encodes one frame of 160 16-bit samples at 8000 Hz and appends it to the file. The bytes
// written, or -1 when encoding or writing failed (the handle then stays failed).
int amrnbenc_encode(AmrNbEncoder* encoder, const short* samples);
// Closes the file and frees the handle (null allowed). 0 when every write succeeded and the
// file closed cleanly, -1 otherwise.
int amrnbenc_quit(AmrNbEncoder* encoder);

// Modes 0..8 are 6.60 to 23.85 kbit/s.
AmrWbEncoder* amrwbenc_init(const char* path, int dtx, int mode);
// One frame of 320 16-bit samples at 16000 Hz; as amrnbenc_encode.
int amrwbenc_encode(AmrWbEncoder* encoder, const short* samples);
int amrwbenc_quit(AmrWbEncoder* encoder);

}  // namespace platform
