#pragma once
// Files the till cannot afford to lose half-written: the counters file, its archived copies and the
// receipt journal. Each is written to a temporary file in the target's own folder, flushed to the disk,
// and only then put in place with one rename or link, after which the folder entry itself is flushed. A
// crash or power cut at any moment leaves either the old file or the new one, never a torn one.

#include <string>
#include <string_view>

namespace velmofile {

// Replaces (or creates) aPath with aContent.
void WriteFileAtomically(const std::string& aPath, std::string_view aContent);

// Creates aPath with aContent; fails with the system's "File exists" message when aPath already exists,
// leaving the existing file untouched.
void CreateFileAtomically(const std::string& aPath, std::string_view aContent);

// Creates aFolder with all missing parents, flushing each new entry into its parent folder so the
// folders survive a power cut together with the files about to be written into them. Failures raise the
// system's message.
void CreateFoldersDurably(const std::string& aFolder);

// Whole content of a file; a file that cannot be opened or read raises the system's message.
std::string ReadWholeFile(const std::string& aPath);

}  // namespace velmofile
