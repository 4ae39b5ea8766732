#include "support/kernel_udf_writer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace dravik::test {

namespace {

namespace fs = std::filesystem;

constexpr char kKernel[] = "/usr/bin/linux.uml";
constexpr char kModules[] = "/usr/lib/uml/modules";
constexpr int kBootSeconds = 180;

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A Python expression for `text` whatever bytes it holds.
std::string PythonText(const std::string& text) {
    static const char* digits = "0123456789abcdef";
    std::string out = "bytes.fromhex('";
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "').decode()";
}

std::string PythonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items) out += PythonText(item) + ",";
    return out + "]";
}

// The guest's init: insmod without kmod (finit_module through libc), the
// mount, the copies, a report file, and power off.
std::string InitProgram(const std::string& mountPoint, const std::string& report,
                        const std::vector<KernelWriteStep>& steps, const std::string& mountOptions,
                        const std::string& copyOut) {
    std::ostringstream p;
    p << "#!/usr/bin/python3\n"
         "import ctypes, os, shutil, subprocess\n"
         "os.environ['PATH'] = '/usr/sbin:/usr/bin:/sbin:/bin'\n"
         "libc = ctypes.CDLL(None, use_errno=True)\n"
         "out = []\n"
         "mods = '"
      << kModules
      << "/' + os.uname().release\n"
         "for m in ('kernel/lib/crc-itu-t.ko', 'kernel/drivers/cdrom/cdrom.ko', 'kernel/fs/udf/udf.ko'):\n"
         "    path = os.path.join(mods, m)\n"
         "    if not os.path.exists(path): continue\n"
         "    fd = os.open(path, os.O_RDONLY)\n"
         "    if libc.syscall(313, fd, b'', 0) != 0: out.append('finit_module %s: %d' % (m, ctypes.get_errno()))\n"
         "    os.close(fd)\n"
         "mnt = "
      << PythonText(mountPoint)
      << "\n"
         "opts = "
      << PythonText(mountOptions)
      << "\n"
         "rc = subprocess.call(['mount', '-t', 'udf'] + (['-o', opts] if opts else []) + ['/dev/ubda', mnt])\n"
         "out.append('mount %d' % rc)\n"
         "steps = [";
    for (const KernelWriteStep& step : steps)
    {
        std::vector<std::string> pairs;
        for (const auto& [from, to] : step.append) {
            pairs.push_back(from);
            pairs.push_back(to);
        }
        p << "(" << PythonText(step.copyFrom) << ", " << PythonList(step.remove) << ", " << PythonList(pairs) << "),";
    }
    p << "]\n"
         "if rc == 0:\n"
         "    for source, gone, appends in steps:\n"
         "        if source:\n"
         "            r = subprocess.call(['cp', '-r', source + '/.', mnt + '/'])\n"
         "            out.append('copy %d' % r); rc |= r\n"
         "        for g in gone:\n"
         "            p = os.path.join(mnt, g)\n"
         "            shutil.rmtree(p) if os.path.isdir(p) else os.remove(p)\n"
         "        for i in range(0, len(appends), 2):\n"
         "            with open(os.path.join(mnt, appends[i + 1]), 'ab') as f: f.write(open(appends[i], 'rb').read())\n"
         "        libc.sync()\n"
         "    out_folder = "
      << PythonText(copyOut)
      << "\n"
         "    if out_folder:\n"
         "        r = subprocess.call(['cp', '-r', mnt + '/.', out_folder + '/'])\n"
         "        out.append('copy out %d' % r); rc |= r\n"
         "    r = subprocess.call(['umount', mnt]); out.append('umount %d' % r); rc |= r\n"
         "open("
      << PythonText(report) << ", 'w').write('\\n'.join(out) + '\\nRESULT %d\\n' % rc)\n"
         "libc.sync()\n"
         "libc.reboot(0x4321fedc)\n";
    return p.str();
}

}  // namespace

namespace {

KernelWriteResult RunKernel(const std::string& image, const std::vector<KernelWriteStep>& steps,
                            const std::string& mountOptions, const std::string& copyOut, std::string& why) {
    if (!fs::exists(kKernel)) {
        why = std::string(kKernel) + " is not installed (Debian package user-mode-linux)";
        return KernelWriteResult::kNoKernel;
    }
    if (!fs::exists(kModules) || fs::is_empty(kModules)) {
        why = std::string("no user-mode Linux modules in ") + kModules;
        return KernelWriteResult::kNoKernel;
    }
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) {
        why = "python3 is needed for the guest's init program";
        return KernelWriteResult::kNoKernel;
    }
    TempDir work;
    const std::string mountPoint = work.File("mnt");
    fs::create_directories(mountPoint);
    const std::string report = work.File("report.txt");
    const std::string init = work.Write("init.py", InitProgram(mountPoint, report, steps, mountOptions, copyOut));
    fs::permissions(init, fs::perms::owner_all);
    const std::string command = "timeout " + std::to_string(kBootSeconds) + " " + kKernel +
                                " mem=96M rootfstype=hostfs rootflags=/ rw ubd0" + (mountOptions.rfind("ro", 0) == 0 ? "r=" : "=") +
                                Quoted(fs::absolute(image).string()) +
                                " init=" + Quoted(init) + " con=null con0=fd:0,fd:1 </dev/null >" +
                                Quoted(work.File("console.txt")) + " 2>&1";
    std::system(command.c_str());
    const std::string result = work.Read("report.txt");
    if (result.empty()) {
        const std::string console = work.Read("console.txt");
        why = "the user-mode kernel did not run its init program here: " +
              console.substr(console.size() > 2000 ? console.size() - 2000 : 0);
        return KernelWriteResult::kNoKernel;
    }
    if (result.find("RESULT 0\n") == std::string::npos) {
        why = result + work.Read("console.txt");
        return KernelWriteResult::kFailed;
    }
    return KernelWriteResult::kWritten;
}

}  // namespace

KernelWriteResult WriteWithKernel(const std::string& image, const std::vector<KernelWriteStep>& steps,
                                  std::string& why) {
    return RunKernel(image, steps, "", "", why);
}

KernelWriteResult ReadWithKernel(const std::string& image, const std::string& options, const std::string& folder,
                                 std::string& why) {
    fs::create_directories(folder);
    return RunKernel(image, {}, options.empty() ? "ro" : "ro," + options, fs::absolute(folder).string(), why);
}

}  // namespace dravik::test
