#pragma once

// Sources with cover pictures and extra tags, written by third-party tools (ffmpeg, metaflac,
// opusenc, oggenc and python3-mutagen), and the images they carry.
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// Runs a Python script under MutagenPython in folder; false when it fails.
inline bool RunMutagen(const std::string& folder, const std::string& script) {
  const std::string python = MutagenPython();
  if (python.empty()) return false;
  return CommandOutput("cd " + ShellQuote(folder) + " && " + python + " -c " + ShellQuote(script))
      .has_value();
}

inline bool RunIn(const std::string& folder, const std::string& command) {
  return CommandOutput("cd " + ShellQuote(folder) + " && " + command).has_value();
}

// tone.wav (one second of 16-bit stereo), front.jpg and back.png in folder.
inline bool MakeToneAndImages(const std::string& folder) {
  return RunIn(folder, "sox -n -b 16 -r 44100 -c 2 tone.wav synth 1 sine 440") &&
         MakeImage(folder + "/front.jpg", 64, 48) && MakeImage(folder + "/back.png", 32, 32);
}

// Beside tone.wav, front.jpg and back.png: six sources that carry pictures and the extra
// tags (album artist "Ensemble Ébène", disc 2 of 3, track 4 of 12), each written by another
// program: a.mp3 (ffmpeg; a back cover before the front one "Front of the sleeve"), b.flac
// (metaflac; front "Front é"), c.m4a (ffmpeg), d.opus (opusenc; a back cover only, "Back
// only"), e.ogg (oggenc and mutagen; front "Ogg front"), f.wma (ffmpeg and mutagen; front
// "WMA front", no track total).
inline bool MakeCoveredSources(const std::string& folder) {
  // ID3v2: a back cover before the front one; FFmpeg's muxer takes the type from "comment".
  if (!(RunIn(folder,
              "ffmpeg -nostdin -v error -y -i tone.wav -i back.png -i front.jpg -map 0 -map 1 "
              "-map 2 -c:v copy -disposition:v attached_pic "
              "-metadata:s:v:0 comment='Cover (back)' -metadata:s:v:1 comment='Cover (front)' "
              "-metadata:s:v:1 title='Front of the sleeve' -metadata album_artist='Ensemble "
              "Ébène' -metadata disc=2/3 -metadata track=4/12 a.mp3")))
    return false;
  if (!(RunIn(folder,
              "sox tone.wav b.flac && metaflac --set-tag='ALBUMARTIST=Ensemble Ébène' "
              "--set-tag=DISCNUMBER=2 --set-tag=DISCTOTAL=3 --set-tag=TRACKNUMBER=4 "
              "--set-tag=TRACKTOTAL=12 --import-picture-from='4|image/png|Back||back.png' "
              "--import-picture-from='3|image/jpeg|Front é||front.jpg' b.flac")))
    return false;
  if (!(RunIn(folder,
              "ffmpeg -nostdin -v error -y -i tone.wav -i front.jpg -map 0 -map 1 -c:a aac "
              "-c:v copy -disposition:v attached_pic -metadata album_artist='Ensemble Ébène' "
              "-metadata disc=2/3 -metadata track=4/12 c.m4a")))
    return false;
  // Only a back cover: the first picture is taken, with its own type.
  if (!(RunIn(folder,
              "opusenc --quiet --picture '4|image/png|Back only||back.png' "
              "--comment 'ALBUMARTIST=Ensemble Ébène' --comment DISCNUMBER=2 "
              "--comment TOTALDISCS=3 --comment TRACKNUMBER=4 --comment TOTALTRACKS=12 "
              "tone.wav d.opus")))
    return false;
  if (!(RunIn(folder,
              "oggenc -Q -c 'ALBUMARTIST=Ensemble Ébène' -c DISCNUMBER=2/3 "
              "-c TRACKNUMBER=4/12 -o e.ogg tone.wav")))
    return false;
  if (!(RunMutagen(folder, R"(
import base64
from mutagen.flac import Picture
from mutagen.oggvorbis import OggVorbis
p = Picture()
p.type, p.mime, p.desc, p.data = 3, 'image/jpeg', 'Ogg front', open('front.jpg', 'rb').read()
f = OggVorbis('e.ogg')
f['METADATA_BLOCK_PICTURE'] = [base64.b64encode(p.write()).decode()]
f.save()
)")))
    return false;
  if (!(RunIn(folder, "ffmpeg -nostdin -v error -y -i tone.wav -c:a wmav2 f.wma"))) return false;
  if (!(RunMutagen(folder, R"(
import struct
from mutagen.asf import ASF, ASFByteArrayAttribute
data = open('front.jpg', 'rb').read()
text = lambda s: s.encode('utf-16-le') + b'\0\0'
f = ASF('f.wma')
f['WM/Picture'] = [ASFByteArrayAttribute(
    struct.pack('<bI', 3, len(data)) + text('image/jpeg') + text('WMA front') + data)]
f['WM/AlbumArtist'] = ['Ensemble Ébène']
f['WM/PartOfSet'] = ['2/3']
f.save()
)")))
    return false;

  return true;
}

// Sources whose pictures cannot be carried: text.flac (a picture block holding text),
// damaged.flac (a picture block whose MIME length runs past its end), big.mp3 (a 30 MB
// "JPEG" in its ID3v2 tag, album artist "Kept").
inline bool MakeUncarriableCovers(const std::string& folder) {
  // A picture block whose bytes are text; a second file whose block's MIME length runs
  // past its end (FFmpeg passes over it); a 30 MB "JPEG" in an ID3v2 tag.
  if (!(RunIn(folder, "sox tone.wav text.flac && sox tone.wav damaged.flac"))) return false;
  if (!(RunMutagen(folder, R"(
from mutagen.flac import FLAC, Picture
p = Picture()
p.type, p.mime, p.data = 3, 'image/jpeg', b'Liner notes, typed out: not a picture at all.'
f = FLAC('text.flac')
f.add_picture(p)
f.save()
p.data = open('front.jpg', 'rb').read()
f = FLAC('damaged.flac')
f.add_picture(p)
f.save()
b = bytearray(open('damaged.flac', 'rb').read())
at = b.index(b'\0\0\0\x03\0\0\0\x0aimage/jpeg')
b[at + 4:at + 8] = b'\xff\xff\xff\xff'
open('damaged.flac', 'wb').write(b)
open('big.jpg', 'wb').write(open('front.jpg', 'rb').read() + bytes(30 * 1024 * 1024))
)")))
    return false;
  if (!(RunIn(folder,
              "ffmpeg -nostdin -v error -y -i tone.wav -i big.jpg -map 0 -map 1 -c:v copy "
              "-disposition:v attached_pic -metadata:s:v comment='Cover (front)' "
              "-metadata album_artist=Kept big.mp3")))
    return false;

  return true;
}

}  // namespace sonorell::testing
