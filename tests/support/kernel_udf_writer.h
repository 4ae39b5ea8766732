// Puts files into a UDF image, or copies them out, with the Linux kernel's
// own UDF driver, run as an ordinary process through user-mode Linux: the
// host's root folder is the guest's root (hostfs), the image is its first
// block device, and a small init program loads the UDF modules, mounts the
// image and copies the given folders in (or the volume's tree out). No loop
// device, no root mount, no privileges needed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace dravik::test {

struct KernelWriteStep {
    std::string copyFrom;              // a folder whose contents are copied into the volume's root
    std::vector<std::string> remove;   // then these paths (relative to the volume's root) are removed
    // then each host file is appended to the volume's file (volume path second)
    std::vector<std::pair<std::string, std::string>> append;
};

enum class KernelWriteResult { kWritten, kNoKernel, kFailed };

// Runs the steps in order on `image` (a UDF volume, e.g. made by mkudffs).
// kNoKernel when user-mode Linux or its modules are not installed or the
// kernel cannot boot here (`why` says which); kFailed when it booted but
// the mount or a copy failed (`why` holds the guest's output).
KernelWriteResult WriteWithKernel(const std::string& image, const std::vector<KernelWriteStep>& steps,
                                  std::string& why);

// Mounts `image` read-only with the kernel's UDF driver (`options` are
// added to "ro", e.g. "lastblock=400") and copies its whole tree into
// `folder` on the host: an independent reader to check the project's own
// disc builders against.
KernelWriteResult ReadWithKernel(const std::string& image, const std::string& options, const std::string& folder,
                                 std::string& why);

}  // namespace dravik::test
