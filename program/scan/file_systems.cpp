#include "program/scan/file_systems.h"

#include <mutex>

namespace dravik::scan {

namespace {

// Installed before a scan starts and read by the scan thread; the entries
// themselves never change.
std::mutex g_tableLock;
std::span<const FileSystemReader> g_table;

}  // namespace

void InstallFileSystems(std::span<const FileSystemReader> table) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    g_table = table;
}

std::span<const FileSystemReader> FileSystems() {
    std::lock_guard<std::mutex> hold(g_tableLock);
    return g_table;
}

const FileSystemReader* FindFileSystem(FileSystemKind kind) {
    for (const FileSystemReader& entry : FileSystems())
        if (entry.kind == kind) return &entry;
    return nullptr;
}

}  // namespace dravik::scan
