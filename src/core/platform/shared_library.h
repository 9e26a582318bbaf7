#pragma once

// Entries of shared libraries loaded at run time.

#include <string>

enum class ELibraryLookup
{
    Found,
    LibraryMissing, // the library could not be loaded
    EntryMissing,   // it was loaded but lacks the entry (and was unloaded again)
};

// Loads libraryName (it stays loaded once the entry is found) and looks entryName up.
// entry is null unless the result is Found.
ELibraryLookup FindLibraryEntry(const std::string& libraryName, const char* entryName, void*& entry);
