#include "program/scan/catalogue_lock.h"

namespace dravik::scan {

std::recursive_mutex& CatalogueLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace dravik::scan
