#include "registry_hive.h"

#include <memory>

#include "hive_file.h"
#include "hive_locations.h"

namespace dravik::platform {

namespace {

const char* HiveTitle(HiveRoot root) {
    return root == HiveRoot::CurrentUser ? "Dravik per-user settings" : "Dravik machine-wide settings";
}

template <typename Key>
Key* Walk(Key* node, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        if (node == nullptr) break;
        node = node->FindSubkey(part);
    }
    return node;
}

}  // namespace

long RegistryKey::Create(HiveRoot root, std::string_view path, KeyAccess access, RegistryKey& key) {
    return OpenOrCreate(root, path, access, true, key);
}

long RegistryKey::Open(HiveRoot root, std::string_view path, KeyAccess access, RegistryKey& key) {
    return OpenOrCreate(root, path, access, false, key);
}

long RegistryKey::OpenOrCreate(HiveRoot root, std::string_view path, KeyAccess access, bool create,
                               RegistryKey& key) {
    key.Close();
    RegistryKey opened;
    if (!SplitKeyPath(path, opened.parts_)) return kRegInvalidParameter;
    HiveLocations locations = CurrentHiveLocations();
    opened.hivePath_ = root == HiveRoot::CurrentUser ? locations.userHive : locations.machineHive;
    opened.hiveTitle_ = HiveTitle(root);
    opened.access_ = access;

    bool writable = CanWriteHiveFile(opened.hivePath_);
    if (access == KeyAccess::Full && !writable) return kRegAccessDenied;

    std::shared_ptr<const HiveKey> content;
    if (long result = ReadHiveFile(opened.hivePath_, content)) return result;
    if (Walk(content.get(), opened.parts_) == nullptr) {
        if (!create) return kRegNotFound;
        if (!writable) return kRegAccessDenied;
        long result = UpdateHiveFile(opened.hivePath_, opened.hiveTitle_, [&](HiveKey& hive) {
            HiveKey* node = &hive;
            for (const std::string& part : opened.parts_) node = &node->SubkeyCreated(part);
            return kRegSuccess;
        });
        if (result != kRegSuccess) return result;
    }
    key = std::move(opened);
    return kRegSuccess;
}

void RegistryKey::Close() {
    hivePath_.clear();
    hiveTitle_.clear();
    parts_.clear();
    access_ = KeyAccess::Query;
}

template <typename Use>
long RegistryKey::WithNode(Use use) const {
    if (!IsOpen()) return kRegInvalidHandle;
    std::shared_ptr<const HiveKey> content;
    if (long result = ReadHiveFile(hivePath_, content)) return result;
    const HiveKey* node = Walk(content.get(), parts_);
    if (node == nullptr) return kRegKeyDeleted;
    return use(*node);
}

template <typename Change>
long RegistryKey::Modify(Change change) {
    if (!IsOpen()) return kRegInvalidHandle;
    if (access_ != KeyAccess::Full) return kRegAccessDenied;
    return UpdateHiveFile(hivePath_, hiveTitle_, [&](HiveKey& hive) -> long {
        HiveKey* node = Walk(&hive, parts_);
        if (node == nullptr) return kRegKeyDeleted;
        return change(*node);
    });
}

long RegistryKey::QueryValue(std::string_view name, RegistryValue& value) const {
    return WithNode([&](const HiveKey& node) {
        const HiveValue* found = node.FindValue(name);
        if (found == nullptr) return kRegNotFound;
        value.type = found->type;
        value.data = found->data;
        return kRegSuccess;
    });
}

long RegistryKey::SetValue(std::string_view name, uint32_t type, std::string_view data) {
    if (name.size() > kMaxValueNameBytes) return kRegInvalidParameter;
    return Modify([&](HiveKey& node) {
        node.SetValue(name, type, std::string(data));
        return kRegSuccess;
    });
}

long RegistryKey::DeleteValue(std::string_view name) {
    return Modify([&](HiveKey& node) { return node.RemoveValue(name) ? kRegSuccess : kRegNotFound; });
}

long RegistryKey::DeleteSubkey(std::string_view name) {
    std::vector<std::string> parts;
    if (!SplitKeyPath(name, parts) || parts.empty()) return kRegInvalidParameter;
    std::string last = parts.back();
    parts.pop_back();
    return Modify([&](HiveKey& node) {
        HiveKey* parent = Walk(&node, parts);
        return parent != nullptr && parent->RemoveSubkey(last) ? kRegSuccess : kRegNotFound;
    });
}

long RegistryKey::EnumValueName(uint32_t index, std::string& name) const {
    return WithNode([&](const HiveKey& node) {
        if (index >= node.values.size()) return kRegNoMoreItems;
        name = node.values[index].name;
        return kRegSuccess;
    });
}

long RegistryKey::EnumSubkeyName(uint32_t index, std::string& name) const {
    return WithNode([&](const HiveKey& node) {
        if (index >= node.subkeys.size()) return kRegNoMoreItems;
        name = node.subkeys[index].name;
        return kRegSuccess;
    });
}

}  // namespace dravik::platform
