// Reading one file of a zip archive without writing it anywhere: how a
// fetched archive is checked against its list entry before it counts as
// fetched or is mirrored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// Receives the inflated bytes in order; false stops the reading.
using EntryDataSink = std::function<bool(const void* data, size_t size)>;

// Inflates the entry named exactly `entryName` of the archive at `zipPath`
// (engine form) into `sink`. True when the entry exists, is a file, and its
// data inflated whole to its stored size and CRC-32; `size` (may be null)
// gets that size.
bool ReadArchiveEntry(const char* zipPath, std::string_view entryName, const EntryDataSink& sink,
                      uint64_t* size);
