#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/jobs/file_list.h"
#include "engine/jobs/intake_progress.h"
#include "engine/sources/source_factory.h"

namespace sonorell {

// Texts of intake.
inline constexpr const char* kSearchingFilesText = "Searching files...";
inline constexpr const char* kChooseFolderTitle = "Please choose a folder:";
inline constexpr const char* kSelectFileFirstText = "You should select a file at least.";
inline constexpr const char* kNoFilesInListText = "There aren't files in list.";
inline constexpr const char* kMoreFilesMarker = "<more files>...\n";
inline constexpr int kMaxListedFailures = 30;
inline constexpr const char* kCdAudioNote =
    "IMPORTANT: please DO NOT add CDA file from hard drive, but add CDA file from CD drive.";
inline constexpr const char* kFlashNote =
    "Flash files (.swf, .flv) hold their sound in a form Sonorell cannot read; convert them "
    "with a Flash video converter first.";
inline constexpr const char* kSupportLine =
    "Please send these files to the Sonorell support address given in Help, so that they can "
    "be supported.";

// "Adding file %d of %d..."
std::string AddingFileLine(int number, int count);

// The filter rows of the Add Files dialog: 50 labels, "All Files (*.*)" first.
std::span<const char* const> AddFilesFilterLabels();

// What intake needs of the window that owns the list.
class IntakeHost {
 public:
  virtual ~IntakeHost() = default;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // The list gained a row (shown and scrolled into view).
  virtual void RowAdded(int row) = 0;
  // An exclamation message box titled "Sonorell".
  virtual void ShowWarning(const std::string& text) = 0;
};

// Result of probing one path.
enum class AddResult { kAdded, kAlreadyListed, kNotDecodable };

// Opens a path with the source factory in probe mode and reads its properties: the
// extension gives the input type. Nothing for a path no decoder opens, which may leave a
// note (CD audio copied from a disc, Flash files) in note.
std::optional<SourceFile> ProbeSourceFile(const std::string& path, std::string& note,
                                          const SourceFactoryHooks& hooks = {});

// Probes a path and lists it: the extension gives the input type, the source factory
// opens it (probe mode) and its properties fill the row. A path no decoder opens may leave
// a note (CD audio copied from a disc, Flash files) in note.
AddResult AddSourceFile(FileList& list, const std::string& path, std::string& note,
                        const SourceFactoryHooks& hooks = {});

// How intake learns the properties of the index-th path when it is not probed in this
// process: the answer of a probe worker (waiting for it as needed); nothing when no decoder
// opened it or its probe crashed or hung.
using PathProbe = std::function<std::optional<SourceFile>(size_t index, std::string& note)>;

// Adds every path with the progress window on screen, the main window disabled, Cancel
// honoured after each file; then names the paths no decoder opened (30 at most) in one
// message. Paths already listed are not probed again. Without a probe each path is probed
// in this process. Returns the number of rows added.
int LoadFileList(FileList& list, const std::vector<std::string>& paths, IntakeProgress& progress,
                 IntakeHost& host, const SourceFactoryHooks& hooks = {},
                 const PathProbe& probe = {});

// The message shown after an intake with failures: "Failed to load the following
// files.\n\n" with the failure text, then the note, or the support line without one.
std::string FailureMessage(const std::string& failureText, const std::string& note);

// The paths a drop (or a folder search) gives: folders are searched with their whole tree,
// files go through the extension filter. Only regular files are taken; Cancel on the
// progress window (serviced during the walk) stops the search with what was found.
std::vector<std::string> CollectDroppedPaths(const std::vector<std::string>& items, bool filterOn,
                                             const std::vector<std::string>& extensionFilter,
                                             IntakeProgress* progress);

}  // namespace sonorell
