#pragma once
#include <string>

// Creates a new folder in folder named base, or base followed by 1, 2, ...
// while a folder of that name exists. Returns the path made, empty when it
// could not be made.
std::string MakeNumberedFolder(const std::string& folder, const std::string& base);
