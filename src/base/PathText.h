#pragma once
#include <string>

// Folders are written with a trailing "/" everywhere in the program; an
// empty text becomes "/".
inline std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// The working folder with its trailing "/"; "/" when it cannot be read.
std::string CurrentFolder();
