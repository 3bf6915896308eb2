// Installs copies of our ReWire library into a temporary folder tree of support domains and
// points the loader at it for the life of the object.
#pragma once

#include <string>

class CTestInstall {
public:
    CTestInstall();
    ~CTestInstall();
    CTestInstall(const CTestInstall&) = delete;
    CTestInstall& operator=(const CTestInstall&) = delete;

    /// Folder of support domain 0 (local) or 1 (network).
    std::string domain(int index) const;
    /// The ReWire folder "Propellerhead Software/ReWire" of a domain, created on demand.
    std::string rewireFolder(int index) const;
    /// A bundle folder fileName in the domain's ReWire folder holding a copy of the library,
    /// its metadata with version, and a registry when registry is not empty.
    std::string addBundle(int domainIndex, const std::string& fileName,
                          const std::string& version = "1.8.0",
                          const std::string& registry = std::string(),
                          const std::string& library = std::string());
    /// Writes a bundle at folder (any path) with the given contents.
    static void writeBundle(const std::string& folder, const std::string& version,
                            const std::string& registry, const std::string& library);
    std::string root() const { return rootFolder; }

private:
    std::string rootFolder;
};

/// Path of the real library and of the build lacking one export.
std::string libraryPath();
std::string libraryMissingExportPath();
