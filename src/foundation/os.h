// Time, folder, file and shell helpers. Implemented per platform under src/platform.
#pragma once

#include "foundation/str.h"
#include "foundation/stringlist.h"

class CStream;

extern const char folderSeparator;

/// Milliseconds of a monotonic clock, wrapping at 32 bits: subtract two readings.
int asTimeInMS();
void asSleep(int ms);

CStr addSep(const CStr& path);
/// HOME, or the user's home from the password database when HOME is unset.
CStr getHomeFolder();
CStr getDesktopFolder();
/// The per-user cache folder ~/.cache/Lumiwerk, created when missing; the system temp folder
/// when there is no cache folder.
CStr getTempFolder();
void getSystemFolders(CStringList* paths);
void getDefaultFolders(CStringList* names, CStringList* paths);
bool folderExists(const CStr& path);
bool fileExists(const CStr& path);
bool isReadOnly(const CStr& path);
bool isRemovable(const CStr& path);
int getFileSize(const CStr& path);
bool isFolderEmpty(const CStr& path);
/// Lists a folder's visible entries; bundles count as files; mask like ".PNG.JPG".
void readDir(const CStr& folder, const CStr& mask, CStringList* files, CStringList* folders,
             bool deep);
void hasFileExt(const CStr& folder, const CStr& mask, bool& found);
/// A directory the file browser shows as one item (NAME.bundle).
bool isPackage(const CStr& path);

void createDir(const CStr& path);
void copyFile(const CStr& from, const CStr& to);
void copyFile2(const CStr& from, const CStr& to);
void showFolder(const CStr& path);
void showFile(const CStr& path);
bool launch(const CStr& path, const CStr& unused);
bool appRunning(const CStr& name);
void streamToStrs(CStream* stream, CStringList* lines);

CStr stripValue(const CStr& s);
void order(int& a, int& b);
float asRand();

class CFileManager {
public:
    static void deleteFile(const CStr& path);
    static void deleteFolder(const CStr& path);
};
