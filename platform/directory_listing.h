// Listing a folder's direct entries, and the path arithmetic around it. Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The names of every direct entry of the folder at `path` (files, folders, links and hidden
// entries alike; "." and ".." left out), in the order the file system gives them. Nothing when
// the path does not exist, is not a folder, or may not be read. A relative path is taken from
// the current working directory.
std::optional<std::vector<std::string>> listDirectory(const std::string& path);

// `folder` joined with one entry name, as a path that opens that entry.
std::string appendPathComponent(const std::string& folder, const std::string& name);

// The text after the last "/" of a path (trailing slashes ignored).
std::string lastPathComponent(const std::string& path);

// The part of an entry name after its last full stop; empty when the name has none.
std::string pathExtension(const std::string& name);

}  // namespace platform
