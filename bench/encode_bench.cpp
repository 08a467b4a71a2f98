// Compressed output through the batch command against the reference encoders on the same
// input, in one run: LAME's own program at the same constant bit rate, oggenc at the same
// nominal bit rate, opusenc (libopusenc, as ours) at the same bit rate with its output synced
// to disk as ours is, ffmpeg's AAC encoder (the one ours is built on) at the same average bit
// rate, flac at the same compression level (its output synced too), and for AMR-WB ffmpeg's
// decoding and resampling to 16 kHz mono followed by a reference AMR-WB encoder program when
// the machine has one (Debian ships none, so then the peer is the decoding and resampling
// alone). Wall time and peak memory of both.
// Usage: sonorell_bench_encode CLI_PATH [minutes] [only]
// only: run just the jobs whose name holds this text ("Opus").
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace fs = std::filesystem;
using bench::Measured;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [minutes] [only]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int minutes = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::string only = argc > 3 ? argv[3] : "";
  const std::string dir = (fs::temp_directory_path() / "sonorell-bench-encode").string();
  const std::string home = dir + "/home";
  const std::string ours = dir + "/ours";
  fs::create_directories(home);

  const std::string input = dir + "/in-" + std::to_string(minutes) + "min.wav";
  if (!fs::exists(input)) {
    if (!bench::MakePinkNoiseWav(input, minutes * 60, home)) {
      std::fprintf(stderr, "sox could not make the input\n");
      return 1;
    }
  }
  // Every run starts from an empty output folder, so no run renames around an old output.
  const auto clear = [&] {
    std::error_code ec;
    fs::remove_all(ours, ec);
    fs::create_directories(ours, ec);
  };

  struct Job {
    const char* name;
    const char* peerName;
    std::vector<std::string> ours;
    std::vector<std::string> peer;
    double target = 1.10;  // ratio to stay within
  };
  const std::vector<Job> jobs{
      {"-> MP3 128 kbit/s CBR",
       "lame",
       {cli, "convert", "--format", "mp3", "--bitrate", "128", "--out", ours, input},
       {"lame", "--quiet", "-b", "128", "--cbr", input, ours + "/lame.mp3"}},
      // The cost of measuring the loudness while the file converts: the same conversion
      // with and without ReplayGain tags, split across the cores (where every core already
      // encodes) and in one pass.
      {"-> MP3 128k with ReplayGain",
       "no gain",
       {cli, "convert", "--format", "mp3", "--bitrate", "128", "--replaygain", "track", "--out",
        ours, input},
       {cli, "convert", "--format", "mp3", "--bitrate", "128", "--out", ours, input},
       1.05},
      {"-> MP3 128k, one pass, with ReplayGain",
       "no gain",
       {cli, "convert", "--format", "mp3", "--bitrate", "128", "--no-split", "--replaygain",
        "track", "--out", ours, input},
       {cli, "convert", "--format", "mp3", "--bitrate", "128", "--no-split", "--out", ours, input},
       1.05},
      {"-> Ogg Vorbis 128 kbit/s",
       "oggenc",
       {cli, "convert", "--format", "ogg", "--bitrate", "128", "--out", ours, input},
       {"oggenc", "-Q", "-b", "128", "--managed", "-o", ours + "/oggenc.ogg", input}},
      // The same libvorbis set-up as ours (nominal bit rate, management off), for a
      // like-for-like view: oggenc's managed mode encodes every packet at several sizes.
      {"-> Ogg Vorbis 128 kbit/s",
       "oggenc*",
       {cli, "convert", "--format", "ogg", "--bitrate", "128", "--out", ours, input},
       {"oggenc", "-Q", "-b", "128", "-o", ours + "/oggenc.ogg", input}},
      // Ours syncs the file before it takes its name; the peer syncs its output too.
      {"-> Opus 128 kbit/s",
       "opusenc+sync",
       {cli, "convert", "--format", "opus", "--bitrate", "128", "--out", ours, input},
       {"sh", "-c", "opusenc --quiet --bitrate 128 \"$0\" \"$1\" && sync \"$1\"", input,
        ours + "/opusenc.opus"}},
      {"-> M4A AAC 128 kbit/s ABR",
       "ffmpeg",
       {cli, "convert", "--format", "m4a", "--bitrate", "128", "--out", ours, input},
       {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", input, "-c:a", "aac", "-b:a", "128k",
        ours + "/ffmpeg.m4a"},
       1.15},
      {"-> WMA 128 kbit/s",
       "ffmpeg",
       {cli, "convert", "--format", "wma", "--rate", "44100", "--bitrate", "128", "--stereo",
        "--out", ours, input},
       {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", input, "-c:a", "wmav2", "-b:a", "128k",
        ours + "/ffmpeg.wma"}},
      // Ours syncs each finished output to disk before it counts as converted; the peer's
      // file is synced too, so both pay for it.
      {"-> FLAC level 5",
       "flac -5",
       {cli, "convert", "--format", "flac", "--quality", "5", "--out", ours, input},
       {"sh", "-c",
        "flac -s -f -5 -o '" + ours + "/flac.flac' '" + input + "' && sync '" + ours +
            "/flac.flac'"}},
  };
  std::vector<Job> allJobs = jobs;
  // AMR-WB at 23.85 kbit/s (mode 8).
  const bool referenceAmrWb = bench::Run("command -v amrwb-enc >/dev/null 2>&1");
  Job amr{"-> AWB 16 kHz mono",
          referenceAmrWb ? "ffm+enc" : "ffm-dec",
          {cli, "convert", "--format", "awb", "--quality", "8", "--out", ours, input},
          {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", input, "-ar", "16000", "-ac", "1", "-f",
           "s16le", ours + "/ffmpeg.raw"},
          1.15};
  if (!referenceAmrWb) amr.target = 1e9;  // decoding alone is a floor, not a peer encoder
  if (referenceAmrWb) {
    amr.peer = {"sh", "-c",
                "ffmpeg -nostdin -v error -y -i '" + input +
                    "' -ar 16000 -ac 1 -f wav - | "
                    "amrwb-enc -m 8 - '" +
                    ours + "/ref.awb'"};
  }
  allJobs.push_back(amr);

  std::printf("%-48s %10s %8s %10s %7s %10s %10s\n", "job", "sonorell s", "peer", "peer s", "ratio",
              "ours KiB", "peer KiB");
  bool allWithinTarget = true;
  for (const Job& job : allJobs) {
    if (!only.empty() && std::string(job.name).find(only) == std::string::npos) continue;
    Measured oursBest;
    Measured peerBest;
    bench::BestOf3InTurns(job.ours, job.peer, home, clear, oursBest, peerBest);
    if (oursBest.seconds < 0 || peerBest.seconds < 0) {
      std::fprintf(stderr, "%s: a conversion failed\n", job.name);
      return 1;
    }
    const std::string label = std::to_string(minutes) + " min 44.1 kHz stereo " + job.name;
    const double ratio = oursBest.seconds / peerBest.seconds;  // below 1: we are faster
    std::printf("%-48s %10.3f %8s %10.3f %6.2fx %10ld %10ld\n", label.c_str(), oursBest.seconds,
                job.peerName, peerBest.seconds, ratio, oursBest.peakKb, peerBest.peakKb);
    bench::PrintResult(label + " vs " + job.peerName, oursBest.seconds, peerBest.seconds,
                       job.target, oursBest.peakKb);
    allWithinTarget = allWithinTarget && ratio <= job.target;
  }
  std::printf("oggenc*: without --managed, the set-up Sonorell uses\n");
  if (!referenceAmrWb) {
    std::printf("ffm-dec: no AMR-WB encoder program here; the peer only decodes and resamples\n");
  }
  std::printf(
      "target: within 1.10x (MP3, Ogg, Opus, WMA, FLAC) and 1.15x (AAC, AMR) of the peer: %s\n",
      allWithinTarget ? "met" : "NOT met");
  clear();
  return 0;
}
