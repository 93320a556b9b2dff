#pragma once
#include <string>

class Settings;

// The store that older versions kept their options in, as an INI stand-in:
// $XDG_CONFIG_HOME/Quorvel/Vexa2/registry.ini, section [Vexa2], one value
// per option name, booleans as 0/1. It is read once into a new settings
// file and then deleted.

// The stand-in's path; empty when no configuration folder can be found.
std::string RegistryStorePath();
bool RegistryStoreExists(const std::string& path);
// Copies every value the store holds into settings, in the store's value
// order. Values that cannot be read as their type are skipped.
void ReadRegistryStore(const std::string& path, Settings& settings);
// Deletes the store's file and then its folder and the vendor folder above
// it when they are empty. Returns an empty string, or why the file could not
// be deleted.
std::string DeleteRegistryStore(const std::string& path);
