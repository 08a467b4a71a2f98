#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonorell {

// The hidden files a staged output is written to beside its target until it is complete:
// ".sonorell-<host>-<pid>-<8 hex digits>-<n>.part". Output folders may be shared by several
// machines (a batch sliced over the nodes of a cluster), where process ids repeat; the host
// name keeps the machines' parts apart, so that each only ever removes its own.

// This machine's name as part names carry it: letters, digits and '-' only (anything else
// becomes '-'), at most 40 characters; "host" when the system gives none.
std::string PartHostName();

// The name of the counter-th part of process pid on host, with the process's random seed.
std::string PartFileName(const std::string& host, int pid, uint32_t seed, unsigned counter);

// The process of host whose part fileName is, or nothing when it is not a part of host's.
// A library's own file beside a part (the part's name and a suffix) counts as that part.
std::optional<int> PartOwner(std::string_view fileName, const std::string& host);

// Removes the parts of this machine's process pid from folders, once it has ended without
// finishing them. Only regular files go: links, folders and every other part stay.
void RemovePartsOf(const std::vector<std::string>& folders, int pid);

// Removes the parts of this machine's processes that are gone (a run that was killed), so a
// rerun does not leave them behind. Live processes' parts and other machines' parts stay.
void RemoveStaleParts(const std::vector<std::string>& folders);

}  // namespace sonorell
