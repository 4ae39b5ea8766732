#include "program/app/recent_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravik::app {
namespace {

using List = std::vector<std::string>;

TEST(RecentImagesTest, TheImageOpenedLastComesFirstOnceAndTheListIsCut) {
    struct Row {
        const char* what;
        List before;
        std::string path;
        std::size_t limit;
        List after;
    } rows[] = {
        {"into an empty list", {}, "/a.iso", 8, {"/a.iso"}},
        {"a new image goes first", {"/a.iso", "/b.iso"}, "/c.iso", 8, {"/c.iso", "/a.iso", "/b.iso"}},
        {"a listed image moves first", {"/a.iso", "/b.iso", "/c.iso"}, "/c.iso", 8, {"/c.iso", "/a.iso", "/b.iso"}},
        {"the oldest falls off", {"/a.iso", "/b.iso", "/c.iso"}, "/d.iso", 3, {"/d.iso", "/a.iso", "/b.iso"}},
        {"empty entries are dropped", {"", "/a.iso", ""}, "/b.iso", 8, {"/b.iso", "/a.iso"}},
        {"an empty path adds nothing", {"/a.iso"}, "", 8, {"/a.iso"}},
        {"duplicates in the stored list go", {"/a.iso", "/b.iso", "/a.iso"}, "/a.iso", 8, {"/a.iso", "/b.iso"}},
    };
    for (const Row& row : rows) EXPECT_EQ(WithImageFirst(row.before, row.path, row.limit), row.after) << row.what;
}

}  // namespace
}  // namespace dravik::app
