#include "platform/shared_library.h"

#include <dlfcn.h>

ELibraryLookup FindLibraryEntry(const std::string& libraryName, const char* entryName, void*& entry)
{
    entry = nullptr;
    // An empty name would give the program itself.
    void* library = libraryName.empty() ? nullptr : dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return ELibraryLookup::LibraryMissing;
    entry = dlsym(library, entryName);
    if (entry == nullptr) {
        dlclose(library);
        return ELibraryLookup::EntryMissing;
    }
    return ELibraryLookup::Found;
}
