// Marks the classes that libzoltdev.so exports; everything else stays hidden.
#pragma once

#define ZOLTDEV_API __attribute__((visibility("default")))
