#pragma once
// Folders and names as the edit boxes hold them ("folder text": no trailing
// "/", so "/" itself is the empty text), and the file-system questions the
// engines ask.

#include <cstdint>
#include <string>

namespace mv {

// Drops one trailing "/".
std::string FolderText(std::string folder);
// "<folder>/mv" + number as "%6.6d" + ".wav".
std::string PieceName(const std::string& folder, int32_t number);

// Any name of exactly the pattern mv??????.wav in the folder.
bool HasNumberedFiles(const std::string& folder);
// The source is one of the folder's numbered outputs ("mv" digits ".wav"),
// however its path is spelt.
bool IsNumberedOutput(const std::string& source, const std::string& folder);
// Both names reach the same file (or would, for a file not yet there).
bool SameFile(const std::string& a, const std::string& b);

bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);

// Space available to the user on the file system holding the folder (or its
// nearest existing parent); -1 when it cannot be read.
int64_t FreeSpace(const std::string& folder);
// Identifies that file system; equal keys share their space.
uint64_t FileSystemKey(const std::string& folder);

}  // namespace mv
