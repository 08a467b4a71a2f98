#pragma once

// What other programs read from an ASF file's attributes: the WM/Picture image through
// ffmpeg's attached-picture stream, mutagen and exiftool, and mutagen's attribute texts.
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"

namespace sonorell::testing {

// An image file of about size ("400x300") made by ffmpeg, in the format its name asks for;
// noise, so that it compresses badly. Its bytes, empty when it could not be made.
inline std::string MakeNoiseImage(const std::string& path, const std::string& size) {
  if (!CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i \"nullsrc=s=" + size +
                     ",geq=random(1)*255:128:128\" -frames:v 1 -q:v 2 " + ShellQuote(path))) {
    return {};
  }
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::optional<std::string> ExiftoolPicture(const std::string& path) {
  return CommandOutput("exiftool -b -Picture " + ShellQuote(path));
}

// Runs a mutagen script on the file (argv[1]) and gives its standard output.
inline std::optional<std::string> MutagenScript(const std::string& script,
                                                const std::string& path) {
  const std::string python = MutagenPython();
  if (python.empty()) return std::nullopt;
  return CommandOutput(python + " -c " + ShellQuote(script) + " " + ShellQuote(path));
}

// The image bytes of every WM/Picture mutagen finds, each as the picture type, the MIME type
// and description, and the image, in a line of its own: "3 image/png desc <hex>".
inline std::optional<std::string> MutagenPictures(const std::string& path) {
  return MutagenScript(
      "import sys, struct, mutagen.asf\n"
      "f = mutagen.asf.ASF(sys.argv[1])\n"
      "for p in f.get('WM/Picture', []):\n"
      "    v = p.value\n"
      "    kind, size = struct.unpack_from('<BI', v)\n"
      "    rest = v[5:]\n"
      "    texts = []\n"
      "    for _ in range(2):\n"
      "        end = next(i for i in range(0, len(rest), 2) if rest[i:i+2] == b'\\0\\0')\n"
      "        texts.append(rest[:end].decode('utf-16-le'))\n"
      "        rest = rest[end + 2:]\n"
      "    assert len(rest) == size\n"
      "    print(kind, texts[0], texts[1], rest.hex())\n",
      path);
}

// Every attribute mutagen finds as "name=value" lines (texts as they are, others by repr).
inline std::optional<std::string> MutagenAttributes(const std::string& path) {
  return MutagenScript(
      "import sys, mutagen.asf\n"
      "f = mutagen.asf.ASF(sys.argv[1])\n"
      "for k, vs in f.tags.items():\n"
      "    for v in vs:\n"
      "        if k != 'WM/Picture': print(k + '=' + str(v.value))\n",
      path);
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out.push_back(digits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(digits[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

// The md5 of the file's decoded sound, as ffmpeg gives it.
inline std::string FfmpegDecodeMd5(const std::string& path) {
  return CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a -f md5 -")
      .value_or("no decode");
}

}  // namespace sonorell::testing
