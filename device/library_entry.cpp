// Load and unload of libzoltdev.so. The library's own start and end work is
// added here as the device object grows.
