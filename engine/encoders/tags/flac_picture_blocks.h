#pragma once

#include <string>

namespace sonorell {

// How many PICTURE metadata blocks a FLAC file declares, counted from the block headers
// alone (an ID3v2 tag in front of the stream is stepped over); 0 for anything that is not
// FLAC. Set against the pictures the demuxer could read, it tells a damaged block from none.
int CountFlacPictureBlocks(const std::string& path);

}  // namespace sonorell
