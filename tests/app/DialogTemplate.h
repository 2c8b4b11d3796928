#pragma once

// Reads an extended dialog template (DLGTEMPLATEEX) back from the module's
// resources, field by field, so tests can see what windres stored.

#include <windows.h>

#include <string>
#include <vector>

struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    // Predefined classes stored as ordinals are given by name ("Button").
    std::wstring className;
    std::wstring text;
    WORD extraCount = 0;
};

struct DialogTemplate {
    WORD version = 0;
    WORD signature = 0;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu;      // empty: no menu
    std::wstring className; // empty: the system's dialog class
    std::wstring caption;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring typeface;
    std::vector<DialogItemTemplate> items;
};

// False, with a reason, when the bytes are not a complete extended template.
bool ParseDialogTemplate(const BYTE* data, std::size_t size, DialogTemplate& result, std::string& error);

// The bytes of a resource of this module in one language; empty when absent.
std::vector<BYTE> LoadResourceBytes(LPCWSTR type, WORD id, WORD language);
