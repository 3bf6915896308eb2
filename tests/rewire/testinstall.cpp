#include "testinstall.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}
} // namespace

std::string libraryPath() {
    return RWB_TEST_LIBRARY;
}
std::string libraryMissingExportPath() {
    return RWB_TEST_LIBRARY_MISSING_EXPORT;
}

CTestInstall::CTestInstall() {
    std::string pattern = (fs::temp_directory_path() / "rwb-rewire-XXXXXX").string();
    rootFolder = mkdtemp(pattern.data()) ? pattern : std::string();
    fs::create_directories(domain(0));
    fs::create_directories(domain(1));
    std::string path = domain(0) + ":" + domain(1);
    setenv("REWIRE_SUPPORT_PATH", path.c_str(), 1);
}

CTestInstall::~CTestInstall() {
    unsetenv("REWIRE_SUPPORT_PATH");
    std::error_code ignored;
    if (!rootFolder.empty()) fs::remove_all(rootFolder, ignored);
}

std::string CTestInstall::domain(int index) const {
    return rootFolder + (index == 0 ? "/local" : "/network");
}

std::string CTestInstall::rewireFolder(int index) const {
    std::string folder = domain(index) + "/Propellerhead Software/ReWire";
    fs::create_directories(folder);
    return folder;
}

std::string CTestInstall::addBundle(int domainIndex, const std::string& fileName,
                                    const std::string& version, const std::string& registry,
                                    const std::string& library) {
    std::string folder = rewireFolder(domainIndex) + "/" + fileName;
    writeBundle(folder, version, registry, library);
    return folder;
}

void CTestInstall::writeBundle(const std::string& folder, const std::string& version,
                               const std::string& registry, const std::string& library) {
    fs::create_directories(folder);
    writeText(folder + "/Info.ini", "[Bundle]\nVersion=" + version + "\nExecutable=ReWire.so\n");
    // A copy, not a link: each bundle is then its own loaded object with its own folder.
    fs::copy_file(library.empty() ? libraryPath() : library, folder + "/ReWire.so",
                  fs::copy_options::overwrite_existing);
    if (!registry.empty()) writeText(folder + "/devices.ini", registry);
}
