#pragma once

// Every message of the site store.
namespace site_texts {
inline constexpr const char* kStoreFile = "vexa2sites.dat";
inline constexpr const char* kOldStoreFile = "vexa2sites.old";
// The delete copy keeps this name as it has always been written.
inline constexpr const char* kDeleteCopyFile = "vexa2ites.dat.tmp";

inline constexpr const char* kErrorTitle = "Error";
inline constexpr const char* kCouldNotCreatePrefix = "FATAL ERROR - Could not create ";
inline constexpr const char* kCouldNotCreateListSuffix =
    " - You will not be able to add any sites to your site list.";
inline constexpr const char* kCorruptPrefix = "FATAL ERROR - file ";
inline constexpr const char* kCorruptSuffix = " corrupt - Program may not work properly.";
inline constexpr const char* kCouldNotOpenPrefix = "FATAL ERROR - Could not open ";
inline constexpr const char* kChangesNotWrittenSuffix = " - changes will not be written";
inline constexpr const char* kCannotAddSuffix = " - cannot add new site";

inline constexpr const char* kAddTitle = "Add a Site";
inline constexpr const char* kAddPrompt = "Enter Site Name";
inline constexpr const char* kCloneTitle = "Clone Selected Site";
inline constexpr const char* kRenameTitle = "Rename Selected Site";
inline constexpr const char* kNewNamePrompt = "Enter New Site Name";
inline constexpr const char* kNameNotUnique =
    "Invalid Name - it already exists in the list.  The name must be unique.";

// The anonymous login type's user name and the placeholder address it puts
// into the password box.
inline constexpr const char* kAnonymousUser = "anonymous";
inline constexpr const char* kAnonymousPassword = "vexa-user@example.com";
} // namespace site_texts
