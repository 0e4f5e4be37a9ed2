// What kind of file a name stands for, read from its first bytes rather than trusted from its
// name, so that no report or list is ever saved over a video whatever it is called.
//
// Pure functions over the file system; any thread.
#pragma once

#include <string>

namespace kelvor::files {

// The container a file's first bytes announce.
enum class ContainerKind {
    Avi,        // RIFF ... AVI
    RawDv,      // DIF frames back to back: the first block is a DIF header block
    QuickTime,  // an ftyp, moov, mdat, wide, free or skip atom first
    Matroska,   // the EBML magic
    Other,      // anything else, or a file that cannot be read
};
ContainerKind ContainerOf(const std::string& path);
// True for a container that is known and is not AVI (raw DV, QuickTime, Matroska): what the AVI
// header repairs pass over. A file whose first bytes say nothing is not one of them.
inline bool IsKnownOtherThanAvi(ContainerKind kind) {
    return kind != ContainerKind::Avi && kind != ContainerKind::Other;
}

// True when the name ends in one of the extensions DV video comes in: .avi, .dv, .dif, .mov or
// .mkv, in any case.
bool HasDvVideoName(const std::string& path);

// True for an existing regular file that may hold DV video, by its name (HasDvVideoName) or by
// its first bytes (any container but Other): what the list, the folder scans, the drops and the
// playlists take.
bool IsDvVideoCandidate(const std::string& path);

// True for an existing regular file that holds video: a RIFF AVI file, raw DV (its first DIF
// block a header block), QuickTime, Matroska, or any file with a DV video name.
bool IsVideoFile(const std::string& path);

}  // namespace kelvor::files
