// Marks the plug-in's entry point, the one name the host looks up in the plug-in file; every
// other name stays inside it.
#ifndef PAYGROVE_HOST_EXPORT_H
#define PAYGROVE_HOST_EXPORT_H

#if defined(_WIN32)
#define PGV_EXPORT __declspec(dllexport)
#else
#define PGV_EXPORT __attribute__((visibility("default")))
#endif

#endif
