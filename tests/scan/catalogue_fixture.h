// Catalogue tests run with guarded allocation on: every block the
// catalogue takes is counted, and writing past a name or an extent list
// damages a guard word that the release then reports. Each test must leave
// no block behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/port/shell_port.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"
#include "support/temp_dir.h"

namespace dravik::test {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLog_ = diag::LogPath();
        diag::SetLogPath(dir_.File("scan.DBG"));
        diag::SetHeapFaultHandler([this](const std::string& what) { heapFaults_.push_back(what); });
        diag::TrackAllocations = true;
        liveBefore_ = diag::LiveGuardedBlocks();
    }
    void TearDown() override {
        port::InstallShellPort(nullptr);  // a test's recorder may be gone
        scan::ClearTrackList(false);
        EXPECT_EQ(diag::LiveGuardedBlocks(), liveBefore_) << "blocks left behind";
        EXPECT_TRUE(heapFaults_.empty()) << heapFaults_.front();
        diag::TrackAllocations = false;
        diag::DebugMode = false;
        diag::SetHeapFaultHandler(nullptr);
        scan::SetLabelTextSource(nullptr);
        diag::SetLogPath(savedLog_);
    }

    std::size_t LiveBlocks() const { return diag::LiveGuardedBlocks() - liveBefore_; }

    // The log lines without their time stamps.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> lines;
        std::string text = dir_.Read("scan.DBG");
        std::size_t start = 0;
        for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
            lines.push_back(text.substr(start + 13, at - start - 13));
        return lines;
    }

    // A node linked at the end of the track list.
    scan::TrackNode* AddTrack(std::uint8_t number, std::int32_t start, std::int32_t end, std::uint8_t control = 4) {
        scan::TrackNode* node = scan::NewTrackNode();
        node->number = number;
        node->start = start;
        node->end = end;
        node->control = control;
        node->session = 1;
        scan::AppendTrackNode(node);
        return node;
    }
    // A directory root attached to `track`.
    scan::FoundItem* AddRoot(scan::TrackNode* track, std::string_view name = "\\ DISC (Session 1)") {
        scan::FoundItem* root = scan::NewFoundItem(name, scan::kRootNameRoom);
        root->flags = scan::ItemDirectory;
        scan::AttachRootItem(track, root);
        return root;
    }
    // An item appended to `dir`.
    static scan::FoundItem* Add(scan::FoundItem* dir, std::string_view name, std::int32_t start = 0,
                                std::uint32_t size = 0, std::uint16_t flags = 0) {
        scan::FoundItem* item = scan::NewFoundItem(name);
        item->start = start;
        item->size = size;
        item->flags = flags;
        scan::AppendItem(dir, item);
        return item;
    }
    static std::vector<std::string> Names(const scan::FoundItem* dir) {
        std::vector<std::string> names;
        for (const scan::FoundItem* item = dir->firstChild; item; item = item->next) names.emplace_back(item->Name());
        return names;
    }
    // prev/next/parent/track agree all through the directory.
    static void ExpectConsistent(const scan::FoundItem* dir) {
        const scan::FoundItem* previous = nullptr;
        for (const scan::FoundItem* item = dir->firstChild; item; item = item->next) {
            EXPECT_EQ(item->prev, previous) << item->Name();
            EXPECT_EQ(item->parent, dir) << item->Name();
            EXPECT_EQ(item->track, dir->track) << item->Name();
            previous = item;
        }
    }

    TempDir dir_;
    std::string savedLog_;
    std::size_t liveBefore_ = 0;
    std::vector<std::string> heapFaults_;
};

}  // namespace dravik::test
