#include "engine/encoders/tags/sidecar_cover.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>
#include <tuple>

namespace sonorell {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kNames[] = {"cover", "folder", "front", "albumart"};
constexpr std::string_view kExtensions[] = {".jpg", ".jpeg", ".png"};

std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

template <size_t N>
int Rank(const std::string_view (&list)[N], std::string_view item) {
  const auto* found = std::find(std::begin(list), std::end(list), item);
  return found == std::end(list) ? -1 : static_cast<int>(found - std::begin(list));
}

}  // namespace

std::string FindSidecarCover(const std::string& sourcePath) {
  std::error_code ec;
  const fs::path folder = fs::path(sourcePath).parent_path();
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  std::string best;
  std::tuple<int, int, std::string> bestRank;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string lower = AsciiLower(p.filename().string());
    const size_t dot = lower.rfind('.');
    if (dot == std::string::npos) continue;
    const int name = Rank(kNames, std::string_view(lower).substr(0, dot));
    const int extension = Rank(kExtensions, std::string_view(lower).substr(dot));
    if (name < 0 || extension < 0) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;  // a folder or a pipe named cover.jpg
    std::tuple<int, int, std::string> rank{name, extension, p.filename().string()};
    if (best.empty() || rank < bestRank) {
      best = p.string();
      bestRank = std::move(rank);
    }
  }
  return best;
}

}  // namespace sonorell
