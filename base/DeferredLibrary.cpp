#include "base/DeferredLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace base {

bool LoadDeferredLibrary(const char* soname, const char* probe) {
  if (dlsym(RTLD_DEFAULT, probe)) return true;
  // Global, so that the program's calls find the functions, and those of
  // the libraries that come with it.
  if (dlopen(soname, RTLD_NOW | RTLD_GLOBAL)) return true;
  const char* reason = dlerror();
  std::fprintf(stderr, "zarek.exe: cannot load %s: %s\n", soname, reason ? reason : "no reason given");
  return false;
}

}  // namespace base
