// Classes that lksupdate.exe exports to other programs of the suite. The
// exports carry GCC's name decoration.
#pragma once

#ifdef _WIN32
#define LKS_EXPORT __declspec(dllexport)
#else
#define LKS_EXPORT __attribute__((visibility("default")))
#endif
