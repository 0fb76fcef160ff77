#pragma once
// Loads, when first needed, a library that zarek.exe leaves out of its start.

namespace base {

// Makes a library's functions callable from the program: at once when the
// program is linked to it the usual way (the tests are), or by loading it
// by its name for the whole program. zarek.exe is built without some
// libraries on its list of needed ones (app/CMakeLists.txt): its calls into
// them are bound at their first call, and must come after this returns
// true. probe is one of the library's functions. False, with the loader's
// reason on stderr, when the library cannot be loaded.
bool LoadDeferredLibrary(const char* soname, const char* probe);

}  // namespace base
