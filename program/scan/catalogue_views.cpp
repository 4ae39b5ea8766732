#include "program/scan/catalogue_views.h"

#include <mutex>

namespace dravik::scan {

namespace {

std::mutex& HooksLock() {
    static std::mutex lock;
    return lock;
}
CatalogueViewHooks& Hooks() {
    static CatalogueViewHooks hooks;
    return hooks;
}
// A copy, so that a hook runs without the hooks' lock held.
CatalogueViewHooks CurrentHooks() {
    std::lock_guard<std::mutex> hold(HooksLock());
    return Hooks();
}

}  // namespace

void InstallCatalogueViewHooks(CatalogueViewHooks hooks) {
    std::lock_guard<std::mutex> hold(HooksLock());
    Hooks() = std::move(hooks);
}

void ShowItemInTree(FoundItem* item) {
    if (auto show = CurrentHooks().showInTree) show(item);
}

void ClearCatalogueViews() {
    if (auto clear = CurrentHooks().clearViews) clear();
}

}  // namespace dravik::scan
