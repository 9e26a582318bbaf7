#pragma once

// Window tests: a settings file in a temporary folder as the framework's profile store,
// so that placements and widths are written to and read from a real file.

#include <string>

#include "framework/profile.h"
#include "helpers/temp_tree.h"
#include "settings/profile_store.h"

struct CGuiProfile
{
    CGuiProfile() { CwProfile::SetStore(&store); }
    ~CGuiProfile() { CwProfile::SetStore(nullptr); }
    CGuiProfile(const CGuiProfile&) = delete;
    CGuiProfile& operator=(const CGuiProfile&) = delete;

    std::string Text() const { return ReadFileBytes(store.Path()); }
    int Int(const char* section, const char* key, int defaultValue = -12345)
    {
        return store.GetProfileInt(section, key, defaultValue);
    }
    std::string String(const char* section, const char* key)
    {
        return store.GetProfileString(section, key, "<none>");
    }

    CTempTree tree;
    CProfileStore store{tree.WriteFile("Tovix.TVX", "[Setting]\r\nLogLines=200\r\n")};
};
